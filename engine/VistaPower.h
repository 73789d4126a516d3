#pragma once
// The resume setting on Windows 6 and later: the console-lock-on-wake power
// setting, with one value index per power scheme and power source.

namespace engine {

// The active scheme's value for the current power source (DC on battery).
bool VistaGetAskPasswordOnResume();
// Writes AC and DC of the active scheme, or of every scheme, then activates
// the active scheme again so that the system applies the values.
void VistaSetAskPasswordOnResume(bool ask, bool allSchemes);

}  // namespace engine
