#include "ui/OptionsDlgCore.h"

namespace ui {

bool AnyPromptEnabled(bool startup, bool standby, bool screenSaver) { return startup || standby || screenSaver; }

}  // namespace ui
