#include "key_tree.h"

#include "platform/sizes.h"
#include "platform/text.h"

// The value that makes a key a symbolic link to another key.
#define LINK_VALUE "SymbolicLinkValue"

// Whether the key at path may be entered: a symbolic link would lead to its
// target's subkeys, which lie outside the entry. A key that cannot be looked
// at is not entered either. Windows 95 knows no links and no option to open
// one.
static int IsPlainKey(const char *path)
{
    HKEY key;
    LSTATUS opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE, &key);
    if (opened == ERROR_INVALID_PARAMETER)
        opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key);
    if (opened != ERROR_SUCCESS)
        return 0;
    DWORD type = REG_NONE;
    LSTATUS found = RegQueryValueExA(key, LINK_VALUE, NULL, &type, NULL, NULL);
    RegCloseKey(key);
    return found == ERROR_FILE_NOT_FOUND || (found == ERROR_SUCCESS && type != REG_LINK);
}

int DeleteKeyTree(char *path, size_t size)
{
    size_t entryLength = TextLength(path, size);
    for (;;) {
        if (!IsPlainKey(path))
            return 0;
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ENUMERATE_SUB_KEYS, &key) != ERROR_SUCCESS)
            return 0;
        char name[KEY_NAME_SIZE];
        DWORD nameLength = sizeof(name);
        LSTATUS listed = RegEnumKeyExA(key, 0, name, &nameLength, NULL, NULL, NULL, NULL);
        RegCloseKey(key);
        if (listed == ERROR_SUCCESS) {
            if (!AppendText(path, size, "\\") || !AppendText(path, size, name))
                return 0;
            continue;
        }
        if (listed != ERROR_NO_MORE_ITEMS || RegDeleteKeyA(HKEY_LOCAL_MACHINE, path) != ERROR_SUCCESS)
            return 0;
        if (TextLength(path, size) == entryLength)
            return 1;
        *(char *)FindLastChar(path, '\\') = '\0';
    }
}
