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
// Where setup programs count the applications that use each shared DLL.
extern const char kSharedDllsKey[];

using StringValues = std::vector<std::pair<std::string, std::string>>;

// Each call works in this program's own registry view unless view names one
// (KEY_WOW64_64KEY or KEY_WOW64_32KEY).

bool KeyExists(HKEY root, const std::string &subkey, REGSAM view = 0);

// Creates the key (and the keys above it) and sets the string values.
bool CreateKeyWithValues(HKEY root, const std::string &subkey, const StringValues &values,
                         std::string *error, REGSAM view = 0);

// Reads a REG_SZ value; false when the key or value is missing.
bool ReadStringValue(HKEY root, const std::string &subkey, const std::string &name,
                     std::string *value, REGSAM view = 0);

// A value as stored: its type and its bytes.
struct RegistryValue {
    DWORD type = REG_NONE;
    std::vector<unsigned char> data;
};

// Sets a value of any type, creating the key when it is missing.
bool SetValue(HKEY root, const std::string &subkey, const std::string &name, const RegistryValue &value,
              std::string *error, REGSAM view = 0);

// Reads a value; false when the key or the value is missing.
bool ReadValue(HKEY root, const std::string &subkey, const std::string &name, RegistryValue *value,
               REGSAM view = 0);

// Deletes a value; true when it is gone (or was never there).
bool DeleteValue(HKEY root, const std::string &subkey, const std::string &name, std::string *error,
                 REGSAM view = 0);

// A REG_DWORD value, and 4 bytes of a count as REG_BINARY holds them.
RegistryValue DwordValue(DWORD number);
RegistryValue BinaryValue(const std::vector<unsigned char> &bytes);

// "REG_DWORD 4 bytes 02 00 00 00", for comparisons and failure messages.
std::string Describe(const RegistryValue &value);

// Deletes the key with all its subkeys and values; true when it is gone.
bool DeleteKeyTree(HKEY root, const std::string &subkey, std::string *error, REGSAM view = 0);

}  // namespace e2e

#endif
