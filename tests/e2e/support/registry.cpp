#include "registry.h"

#include "files.h"

namespace e2e {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

bool KeyExists(HKEY root, const std::string &subkey)
{
    HKEY key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool CreateKeyWithValues(HKEY root, const std::string &subkey, const StringValues &values,
                         std::string *error)
{
    HKEY key;
    LONG status = RegCreateKeyExA(root, subkey.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
    if (status != ERROR_SUCCESS) {
        *error = "cannot create key " + subkey + ": " + ErrorText(status);
        return false;
    }
    for (const auto &value : values) {
        status = RegSetValueExA(key, value.first.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE *>(value.second.c_str()),
                                (DWORD)value.second.size() + 1);
        if (status != ERROR_SUCCESS) {
            *error = "cannot set " + subkey + "\\" + value.first + ": " + ErrorText(status);
            RegCloseKey(key);
            return false;
        }
    }
    RegCloseKey(key);
    return true;
}

bool ReadStringValue(HKEY root, const std::string &subkey, const std::string &name,
                     std::string *value)
{
    char data[1024];
    DWORD size = sizeof(data) - 1;
    DWORD type = 0;
    HKEY key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    LONG status = RegQueryValueExA(key, name.c_str(), NULL, &type, reinterpret_cast<BYTE *>(data), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return false;
    data[size] = '\0';
    *value = data;
    return true;
}

bool DeleteKeyTree(HKEY root, const std::string &subkey, std::string *error)
{
    if (subkey.empty()) {
        *error = "refusing to delete a root key";
        return false;
    }
    LONG status = RegDeleteTreeA(root, subkey.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND)
        status = RegDeleteKeyA(root, subkey.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        *error = "cannot delete key " + subkey + ": " + ErrorText(status);
        return false;
    }
    return true;
}

}  // namespace e2e
