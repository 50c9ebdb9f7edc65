#include "registry.h"

#include "files.h"
#include "support/machine_names.h"

namespace e2e {

const char kUninstallKey[] = UNINSTALL_KEY;
const char kSharedDllsKey[] = SHARED_DLLS_KEY_PATH;

bool KeyExists(HKEY root, const std::string &subkey, REGSAM view)
{
    HKEY key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool CreateKeyWithValues(HKEY root, const std::string &subkey, const StringValues &values,
                         std::string *error, REGSAM view)
{
    HKEY key;
    LONG status = RegCreateKeyExA(root, subkey.c_str(), 0, NULL, 0, KEY_ALL_ACCESS | view, NULL, &key, NULL);
    if (status != ERROR_SUCCESS) {
        *error = "cannot create key " + subkey + ": " + driver::ErrorText(status);
        return false;
    }
    for (const auto &value : values) {
        status = RegSetValueExA(key, value.first.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE *>(value.second.c_str()),
                                (DWORD)value.second.size() + 1);
        if (status != ERROR_SUCCESS) {
            *error = "cannot set " + subkey + "\\" + value.first + ": " + driver::ErrorText(status);
            RegCloseKey(key);
            return false;
        }
    }
    RegCloseKey(key);
    return true;
}

bool ReadStringValue(HKEY root, const std::string &subkey, const std::string &name,
                     std::string *value, REGSAM view)
{
    char data[1024];
    DWORD size = sizeof(data) - 1;
    DWORD type = 0;
    HKEY key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    LONG status = RegQueryValueExA(key, name.c_str(), NULL, &type, reinterpret_cast<BYTE *>(data), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return false;
    data[size] = '\0';
    *value = data;
    return true;
}

bool SetValue(HKEY root, const std::string &subkey, const std::string &name, const RegistryValue &value,
              std::string *error, REGSAM view)
{
    HKEY key;
    LONG status = RegCreateKeyExA(root, subkey.c_str(), 0, NULL, 0, KEY_SET_VALUE | view, NULL, &key, NULL);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExA(key, name.c_str(), 0, value.type, value.data.data(), (DWORD)value.data.size());
        RegCloseKey(key);
    }
    if (status != ERROR_SUCCESS) {
        *error = "cannot set " + subkey + "\\" + name + ": " + driver::ErrorText(status);
        return false;
    }
    return true;
}

bool ReadValue(HKEY root, const std::string &subkey, const std::string &name, RegistryValue *value,
               REGSAM view)
{
    HKEY key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    LONG status = RegQueryValueExA(key, name.c_str(), NULL, &value->type, NULL, &size);
    if (status == ERROR_SUCCESS) {
        value->data.assign(size, 0);
        status = RegQueryValueExA(key, name.c_str(), NULL, &value->type, value->data.data(), &size);
        value->data.resize(size);
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool DeleteValue(HKEY root, const std::string &subkey, const std::string &name, std::string *error,
                 REGSAM view)
{
    HKEY key;
    LONG status = RegOpenKeyExA(root, subkey.c_str(), 0, KEY_SET_VALUE | view, &key);
    if (status == ERROR_FILE_NOT_FOUND)
        return true;
    if (status == ERROR_SUCCESS) {
        status = RegDeleteValueA(key, name.c_str());
        RegCloseKey(key);
    }
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        *error = "cannot delete " + subkey + "\\" + name + ": " + driver::ErrorText(status);
        return false;
    }
    return true;
}

RegistryValue DwordValue(DWORD number)
{
    RegistryValue value;
    value.type = REG_DWORD;
    for (int shift = 0; shift < 32; shift += 8)
        value.data.push_back(static_cast<unsigned char>(number >> shift));
    return value;
}

RegistryValue BinaryValue(const std::vector<unsigned char> &bytes)
{
    RegistryValue value;
    value.type = REG_BINARY;
    value.data = bytes;
    return value;
}

std::string Describe(const RegistryValue &value)
{
    static const char *const kTypes[] = {"REG_NONE", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY", "REG_DWORD"};
    std::string text = value.type < 5 ? kTypes[value.type] : "type " + std::to_string(value.type);
    text += " " + std::to_string(value.data.size()) + " bytes";
    char hex[4];
    for (unsigned char byte : value.data) {
        wsprintfA(hex, " %02X", byte);
        text += hex;
    }
    return text;
}

bool DeleteKeyTree(HKEY root, const std::string &subkey, std::string *error, REGSAM view)
{
    if (subkey.empty()) {
        *error = "refusing to delete a root key";
        return false;
    }
    HKEY key;
    LONG status = RegOpenKeyExA(root, subkey.c_str(), 0, KEY_ALL_ACCESS | view, &key);
    if (status == ERROR_SUCCESS) {
        status = RegDeleteTreeA(key, NULL);
        RegCloseKey(key);
    }
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND)
        status = RegDeleteKeyExA(root, subkey.c_str(), view, 0);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        *error = "cannot delete key " + subkey + ": " + driver::ErrorText(status);
        return false;
    }
    return true;
}

}  // namespace e2e
