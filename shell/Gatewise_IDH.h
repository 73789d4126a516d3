#pragma once
// Help context numbers of the windows, and the topic page that each one shows.
// The help project maps the same names to the same numbers and pages; the
// build checks that the two agree.

namespace shell {

inline constexpr int IDH_MainWindow = 10000;
inline constexpr int IDH_Options = 10010;
inline constexpr int IDH_AutologonAccount = 10020;
inline constexpr int IDH_VerifyPassword = 10030;
inline constexpr int IDH_CheckSettings = 10040;

struct HelpTopic {
    int context;
    const char* page;
};

inline constexpr HelpTopic HelpTopics[] = {
    {IDH_MainWindow, "main_window.htm"},
    {IDH_Options, "options.htm"},
    {IDH_AutologonAccount, "autologon_account.htm"},
    {IDH_VerifyPassword, "verify_password.htm"},
    {IDH_CheckSettings, "not_taking_effect.htm"},
};

}  // namespace shell
