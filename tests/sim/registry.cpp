// The simulated registry: keys with typed values under HKEY_LOCAL_MACHINE and
// HKEY_CURRENT_USER; names compared without case; a key with subkeys cannot
// be deleted, as on Windows NT; symbolic links, which every call follows
// but RegOpenKeyExA with REG_OPTION_OPEN_LINK for the key it opens.
#include "world.h"

#include "support/machine_names.h"

#include <cstring>

namespace sim {
namespace detail {

static const char kLinkValue[] = "SymbolicLinkValue";
static std::vector<std::unique_ptr<Key>> g_deletedKeys;   // keep open handles valid
static std::map<HKEY, REGSAM> g_access;                   // each open handle's access

static std::vector<std::string> SplitKey(const std::string &path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = FindChar(path, '\\', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// How a key appears in the call records: the predefined roots by name.
static std::string KeyName(HKEY key)
{
    if (key == HKEY_LOCAL_MACHINE)
        return "HKEY_LOCAL_MACHINE";
    if (key == HKEY_CURRENT_USER)
        return "HKEY_CURRENT_USER";
    return Hex((uintptr_t)key);
}

static Key *BaseKey(HKEY key)
{
    World &w = TheWorld();
    auto root = w.roots.find(key);
    if (root != w.roots.end())
        return root->second.get();
    auto open = w.openKeys.find(key);
    return open == w.openKeys.end() ? nullptr : open->second;
}

static Key *FindKey(Key *base, const std::string &path, bool create, bool openLastLink = false);

// A link's target; nullptr when it does not exist.
static Key *LinkTarget(const Key *link)
{
    return FindKey(TheWorld().roots[HKEY_LOCAL_MACHINE].get(), link->linkTarget, false);
}

// The key at path below base; links are followed, the last one only
// without openLastLink.
static Key *FindKey(Key *base, const std::string &path, bool create, bool openLastLink)
{
    Key *key = base;
    std::vector<std::string> parts = SplitKey(path);
    for (size_t i = 0; i < parts.size() && key != nullptr; i++) {
        auto it = key->subkeys.find(Upper(parts[i]));
        if (it == key->subkeys.end()) {
            if (!create)
                return nullptr;
            it = key->subkeys.emplace(Upper(parts[i]), std::make_unique<Key>()).first;
            it->second->name = parts[i];
        }
        key = it->second.get();
        if (!key->linkTarget.empty() && !(openLastLink && i + 1 == parts.size()))
            key = LinkTarget(key);
    }
    return key;
}

void CloseOpenKeys()
{
    TheWorld().openKeys.clear();
    g_access.clear();
}

}  // namespace detail

using namespace detail;

void ResetRegistry()
{
    World &w = TheWorld();
    w.roots.clear();
    w.openKeys.clear();
    g_access.clear();
    g_deletedKeys.clear();
    w.roots[HKEY_LOCAL_MACHINE] = std::make_unique<Key>();
    w.roots[HKEY_CURRENT_USER] = std::make_unique<Key>();
    FindKey(w.roots[HKEY_LOCAL_MACHINE].get(), UNINSTALL_KEY, true);
    FindKey(w.roots[HKEY_LOCAL_MACHINE].get(), SESSION_MANAGER_KEY, true);
}

void AddRegKey(HKEY root, const std::string &key)
{
    auto lock = Lock();
    FindKey(BaseKey(root), key, true);
}

bool RegKeyExists(HKEY root, const std::string &key)
{
    auto lock = Lock();
    return FindKey(BaseKey(root), key, false) != nullptr;
}

void SetRegValue(HKEY root, const std::string &key, const std::string &name, DWORD type,
                 const std::string &data)
{
    auto lock = Lock();
    FindKey(BaseKey(root), key, true)->values[Upper(name)] = {name, RegValue{type, data}};
}

void SetRegDword(HKEY root, const std::string &key, const std::string &name, DWORD value)
{
    SetRegValue(root, key, name, REG_DWORD, std::string((const char *)&value, 4));
}

void AddRegLink(const std::string &key, const std::string &target)
{
    auto lock = Lock();
    Key *link = FindKey(BaseKey(HKEY_LOCAL_MACHINE), key, true, true);
    link->linkTarget = target;
    link->values[Upper(kLinkValue)] = {kLinkValue, RegValue{REG_LINK, target}};
}

std::optional<RegValue> GetRegValue(HKEY root, const std::string &key, const std::string &name)
{
    auto lock = Lock();
    Key *k = FindKey(BaseKey(root), key, false);
    if (k == nullptr)
        return std::nullopt;
    auto it = k->values.find(Upper(name));
    if (it == k->values.end())
        return std::nullopt;
    return it->second.second;
}

}  // namespace sim

using namespace sim;
using namespace sim::detail;

// The key whose values a call changes, when the handle allows it: one
// opened with KEY_SET_VALUE, or a predefined root.
static LSTATUS KeyForValueChange(HKEY key, Key **k)
{
    *k = BaseKey(key);
    if (*k == nullptr)
        return ERROR_INVALID_HANDLE;
    auto access = g_access.find(key);
    if (access != g_access.end() && !(access->second & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

// Opens subKey of key with access, creating it and its missing parents when
// create is set.
static LSTATUS OpenKey(HKEY key, LPCSTR subKey, REGSAM access, bool create, bool openLink, PHKEY result)
{
    auto lock = Lock();
    Key *base = BaseKey(key);
    if (base == nullptr)
        return ERROR_INVALID_HANDLE;
    Key *found = FindKey(base, subKey ? subKey : "", create, openLink);
    if (found == nullptr)
        return ERROR_FILE_NOT_FOUND;
    World &w = TheWorld();
    HKEY handle = (HKEY)(w.nextHandle += 4);
    w.openKeys[handle] = found;
    g_access[handle] = access;
    *result = handle;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    if (DWORD e = Enter("RegOpenKeyExA", {KeyName(key), Str(subKey), Num(options), Hex(access)}))
        return (LSTATUS)e;
    if ((options & ~(DWORD)REG_OPTION_OPEN_LINK) != 0)
        return ERROR_INVALID_PARAMETER;
    return OpenKey(key, subKey, access, false, options != 0, result);
}

LSTATUS WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options,
                               REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition)
{
    (void)reserved;
    (void)className;
    (void)security;
    if (DWORD e = Enter("RegCreateKeyExA", {KeyName(key), Str(subKey), Num(options), Hex(access)}))
        return (LSTATUS)e;
    if (disposition != nullptr)
        return ERROR_INVALID_PARAMETER;   // not simulated
    return OpenKey(key, subKey, access, true, false, result);
}

LSTATUS WINAPI RegQueryInfoKeyA(HKEY key, LPSTR className, LPDWORD classSize, LPDWORD reserved, LPDWORD subKeys,
                                LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD values,
                                LPDWORD maxValueNameLength, LPDWORD maxValueLength, LPDWORD securityDescriptor,
                                PFILETIME lastWriteTime)
{
    (void)reserved;
    if (DWORD e = Enter("RegQueryInfoKeyA", {KeyName(key)}))
        return (LSTATUS)e;
    // Only the counts are simulated.
    if (className != nullptr || classSize != nullptr || maxSubKeyLength != nullptr || maxClassLength != nullptr ||
        maxValueNameLength != nullptr || maxValueLength != nullptr || securityDescriptor != nullptr ||
        lastWriteTime != nullptr)
        return ERROR_INVALID_PARAMETER;
    auto lock = Lock();
    Key *k = BaseKey(key);
    if (k == nullptr)
        return ERROR_INVALID_HANDLE;
    if (subKeys != nullptr)
        *subKeys = (DWORD)k->subkeys.size();
    if (values != nullptr)
        *values = (DWORD)k->values.size();
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD size)
{
    (void)reserved;
    if (DWORD e = Enter("RegQueryValueExA", {KeyName(key), Str(name), size ? Num(*size) : "(null)"}))
        return (LSTATUS)e;
    auto lock = Lock();
    Key *k = BaseKey(key);
    if (k == nullptr)
        return ERROR_INVALID_HANDLE;
    auto it = k->values.find(Upper(name ? name : ""));
    if (it == k->values.end())
        return ERROR_FILE_NOT_FOUND;
    const RegValue &v = it->second.second;
    if (type != nullptr)
        *type = v.type;
    if (data != nullptr) {
        if (size == nullptr)
            return ERROR_INVALID_PARAMETER;
        if (*size < v.data.size()) {
            *size = (DWORD)v.data.size();
            return ERROR_MORE_DATA;
        }
        memcpy(data, v.data.data(), v.data.size());
    }
    if (size != nullptr)
        *size = (DWORD)v.data.size();
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE *data,
                              DWORD size)
{
    if (DWORD e = Enter("RegSetValueExA", {KeyName(key), Str(name), Num(reserved), Num(type),
                                           std::string((const char *)data, size), Num(size)}))
        return (LSTATUS)e;
    auto lock = Lock();
    Key *k;
    if (LSTATUS status = KeyForValueChange(key, &k))
        return status;
    std::string n = name ? name : "";
    k->values[Upper(n)] = {n, RegValue{type, std::string((const char *)data, size)}};
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteValueA(HKEY key, LPCSTR name)
{
    if (DWORD e = Enter("RegDeleteValueA", {KeyName(key), Str(name)}))
        return (LSTATUS)e;
    auto lock = Lock();
    Key *k;
    if (LSTATUS status = KeyForValueChange(key, &k))
        return status;
    if (k->values.erase(Upper(name ? name : "")) == 0)
        return ERROR_FILE_NOT_FOUND;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                             LPSTR className, LPDWORD classLength, PFILETIME lastWriteTime)
{
    (void)reserved;
    if (DWORD e = Enter("RegEnumKeyExA", {KeyName(key), Num(index), nameLength ? Num(*nameLength) : "(null)"}))
        return (LSTATUS)e;
    if (name == nullptr || nameLength == nullptr || className != nullptr || classLength != nullptr ||
        lastWriteTime != nullptr)
        return ERROR_INVALID_PARAMETER;   // only the names are simulated
    auto lock = Lock();
    Key *k = BaseKey(key);
    if (k == nullptr)
        return ERROR_INVALID_HANDLE;
    auto access = g_access.find(key);
    if (access != g_access.end() && !(access->second & KEY_ENUMERATE_SUB_KEYS))
        return ERROR_ACCESS_DENIED;
    if (index >= k->subkeys.size())
        return ERROR_NO_MORE_ITEMS;
    auto it = k->subkeys.begin();
    std::advance(it, index);
    const std::string &found = it->second->name;
    if (found.size() + 1 > *nameLength)
        return ERROR_MORE_DATA;
    memcpy(name, found.c_str(), found.size() + 1);
    *nameLength = (DWORD)found.size();
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey)
{
    if (DWORD e = Enter("RegDeleteKeyA", {KeyName(key), Str(subKey)}))
        return (LSTATUS)e;
    auto lock = Lock();
    Key *base = BaseKey(key);
    if (base == nullptr || subKey == nullptr)
        return ERROR_INVALID_HANDLE;
    std::vector<std::string> parts = SplitKey(subKey);
    if (parts.empty())
        return ERROR_ACCESS_DENIED;   // the simulation never deletes the key it starts from
    std::string last = parts.back();
    parts.pop_back();
    std::string parentPath;
    for (const std::string &p : parts)
        parentPath += p + "\\";
    Key *parent = FindKey(base, parentPath, false);
    if (parent == nullptr)
        return ERROR_FILE_NOT_FOUND;
    auto it = parent->subkeys.find(Upper(last));
    if (it == parent->subkeys.end())
        return ERROR_FILE_NOT_FOUND;
    // The key deleted is the one the name opens: a link's target.
    if (!it->second->linkTarget.empty()) {
        std::vector<std::string> target = SplitKey(it->second->linkTarget);
        if (target.empty())
            return ERROR_ACCESS_DENIED;
        std::string targetParent;
        for (size_t i = 0; i + 1 < target.size(); i++)
            targetParent += target[i] + "\\";
        parent = FindKey(TheWorld().roots[HKEY_LOCAL_MACHINE].get(), targetParent, false);
        if (parent == nullptr || (it = parent->subkeys.find(Upper(target.back()))) == parent->subkeys.end())
            return ERROR_FILE_NOT_FOUND;
    }
    if (!it->second->subkeys.empty())
        return ERROR_ACCESS_DENIED;
    g_deletedKeys.push_back(std::move(it->second));
    parent->subkeys.erase(it);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY key)
{
    if (DWORD e = Enter("RegCloseKey", {KeyName(key)}))
        return (LSTATUS)e;
    auto lock = Lock();
    World &w = TheWorld();
    if (w.roots.count(key))
        return ERROR_SUCCESS;
    if (w.openKeys.erase(key) == 0)
        return ERROR_INVALID_HANDLE;
    g_access.erase(key);
    return ERROR_SUCCESS;
}

namespace sim {

static void CollectKeys(const std::string &path, const Key *key, std::vector<RegKeyInfo> *out)
{
    RegKeyInfo info{path, {}};
    for (auto &v : key->values)
        info.values.push_back({v.second.first, v.second.second});
    out->push_back(info);
    for (auto &sub : key->subkeys)
        CollectKeys(path + "\\" + sub.first, sub.second.get(), out);
}

std::string RegKeyPath(HKEY root, const std::string &key)
{
    std::string path = KeyName(root);
    for (const std::string &part : SplitKey(key))
        path += "\\" + Upper(part);
    return path;
}

std::vector<RegKeyInfo> RegistryKeys()
{
    auto lock = Lock();
    std::vector<RegKeyInfo> out;
    for (auto &root : TheWorld().roots)
        CollectKeys(KeyName(root.first), root.second.get(), &out);
    return out;
}

}  // namespace sim
