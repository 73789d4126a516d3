#pragma once
// The automatic-logon password in the local security authority's private data
// store, under the name the logon service reads ("DefaultPassword").

#include "os/Text.h"

namespace engine {

// Stores the password; an empty one deletes the entry (a missing entry is fine).
// Raises EOSError "Failed call to LsaOpenPolicy: %X" or
// "Failed call to LsaStorePrivateData: %X" (Windows error code in hex).
bool StorePasswordSecret(const os::SecretString& password);

// The stored password, empty when there is none. Raises EOSError
// "Failed call to LsaOpenPolicy: %X" or "Failed call to LsaRetrievePrivateData: %X".
os::SecretString RetrievePasswordSecret();

// The same for any key name, with the same messages; an empty `data` deletes
// the entry.
void StorePrivateData(os::WStringView keyName, const os::SecretString& data);
os::SecretString RetrievePrivateData(os::WStringView keyName);

}  // namespace engine
