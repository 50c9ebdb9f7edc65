// Registry set-up and checks under HKEY_LOCAL_MACHINE and friends.
#ifndef E2E_SUPPORT_REGISTRY_H
#define E2E_SUPPORT_REGISTRY_H

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace e2e {

// Where installed applications register their uninstall entries.
extern const char kUninstallKey[];

using StringValues = std::vector<std::pair<std::string, std::string>>;

bool KeyExists(HKEY root, const std::string &subkey);

// Creates the key (and the keys above it) and sets the string values.
bool CreateKeyWithValues(HKEY root, const std::string &subkey, const StringValues &values,
                         std::string *error);

// Reads a REG_SZ value; false when the key or value is missing.
bool ReadStringValue(HKEY root, const std::string &subkey, const std::string &name,
                     std::string *value);

// Deletes the key with all its subkeys and values; true when it is gone.
bool DeleteKeyTree(HKEY root, const std::string &subkey, std::string *error);

}  // namespace e2e

#endif
