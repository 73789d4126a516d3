#pragma once
// Colours, cursors and modal results shared by every control.

#include "toolkit/Colors.h"

#include <windows.h>

#include <functional>
#include <string_view>

namespace toolkit {

class TComponent;

using TNotifyEvent = std::function<void(TComponent* sender)>;

enum TCursor : int { crDefault = 0, crArrow = -2, crIBeam = -4, crHourGlass = -11, crHandPoint = -21 };
HCURSOR CursorHandle(TCursor cursor);
bool CursorFromName(std::string_view name, TCursor& cursor);

// Modal results, the standard numbers.
using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;
inline constexpr TModalResult mrAbort = 3;
inline constexpr TModalResult mrRetry = 4;
inline constexpr TModalResult mrIgnore = 5;
inline constexpr TModalResult mrYes = 6;
inline constexpr TModalResult mrNo = 7;

enum class TAlign { alNone, alTop };
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

struct TMargins {
    int left = 3;
    int top = 3;
    int right = 3;
    int bottom = 3;
};

}  // namespace toolkit
