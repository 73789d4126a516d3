#pragma once
// Help context numbers of the windows; the help project maps them to topics.

namespace shell {

inline constexpr int IDH_MainWindow = 10000;
inline constexpr int IDH_Options = 10010;
inline constexpr int IDH_AutologonAccount = 10020;
inline constexpr int IDH_VerifyPassword = 10030;

}  // namespace shell
