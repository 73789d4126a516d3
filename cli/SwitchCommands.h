#pragma once
// gatewisecmd secure, relaxed and undo: the switch of the mode, and its undo.

#include "cli/Session.h"
#include "settings/Options.h"

namespace cli {

// `verify`: secure mode only; the password comes from standard input.
// `once`: relaxed mode only, with automatic logon for the next start only.
int Switch(Session& session, settings::TPromptMode mode, bool verify, bool once = false);
// Undoes the last switch; `force` also when the settings changed since.
int Undo(Session& session, bool force);

}  // namespace cli
