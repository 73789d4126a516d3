#pragma once
// gatewisecmd account set and account clear: the auto-logon account.

#include "cli/Session.h"

#include <string>

namespace cli {

// `user` may be "DOMAIN\name", or a user principal name "name@domain",
// which is stored whole with no domain. Otherwise `domain`, and when that
// is empty the current account's domain.
// `requireProtected`: a password that the protected store refuses is not
// kept as the plain registry value; nothing is stored (kSystemError).
int SetAccount(Session& session, const std::string& user, const std::string& domain, bool verify,
               bool requireProtected = false);
int ClearAccount(Session& session);

}  // namespace cli
