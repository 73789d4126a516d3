#pragma once
// The options dialog's rule that needs no window.

namespace ui {

// A switch must change at least one of the three password prompts: with none
// of them enabled the warning line shows and OK is disabled. The power-scheme
// option does not count.
bool AnyPromptEnabled(bool startup, bool standby, bool screenSaver);

}  // namespace ui
