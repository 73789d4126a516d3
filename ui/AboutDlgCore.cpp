#include "ui/AboutDlgCore.h"

#include "shell/Substitution.h"

#include "GatewiseVersion.h"

namespace ui {

os::WString AboutVersionText() {
    return shell::SubstituteText(os::Format(WSTR("{APPNAME} %s"), os::FromUtf8(GATEWISE_VERSION_TEXT)));
}

os::WString AboutCopyrightText(os::WStringView notice) { return os::Format(notice, os::FromUtf8(GATEWISE_COPYRIGHT)); }

}  // namespace ui
