// Simulated named file mappings in the paging file, the kernel objects that
// processes share by name: one is there as long as some process holds a
// handle to it, and goes with the last one, however that process ended.
#include "world.h"

#include <cstring>

namespace sim {
namespace detail {

void ReleaseMapping(const std::string &name)
{
    auto it = TheWorld().mappings.find(name);
    if (it != TheWorld().mappings.end() && --it->second.programHandles <= 0 && !it->second.heldByOthers)
        TheWorld().mappings.erase(it);
}

void ReleaseAllMappings()
{
    World &w = TheWorld();
    w.views.clear();
    for (auto it = w.mappings.begin(); it != w.mappings.end();) {
        it->second.programHandles = 0;
        it = it->second.heldByOthers ? std::next(it) : w.mappings.erase(it);
    }
}

}  // namespace detail

using namespace detail;

void HoldNamedMapping(const std::string &name, DWORD processId)
{
    auto lock = Lock();
    NamedMapping &mapping = TheWorld().mappings[name];
    mapping.heldByOthers = true;
    mapping.data.assign(sizeof(DWORD), 0);
    memcpy(mapping.data.data(), &processId, sizeof(processId));
}


std::vector<std::string> NamedMappings()
{
    auto lock = Lock();
    std::vector<std::string> names;
    for (auto &m : TheWorld().mappings)
        names.push_back(m.first);
    return names;
}

void SetSessionNamespaces(bool present)
{
    auto lock = Lock();
    TheWorld().sessionNamespaces = present;
}

}  // namespace sim

using namespace sim;
using namespace sim::detail;

HANDLE WINAPI CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect, DWORD sizeHigh,
                                 DWORD sizeLow, LPCSTR name)
{
    if (CallFails("CreateFileMappingA", {Hex((uintptr_t)file),
                                         security && security->bInheritHandle ? "inherit" : "no-inherit",
                                         Hex(protect), Num(sizeHigh), Num(sizeLow), Str(name)}))
        return nullptr;
    auto lock = Lock();
    World &w = TheWorld();
    if (file != INVALID_HANDLE_VALUE || name == nullptr || protect != PAGE_READWRITE || sizeHigh != 0 ||
        sizeLow == 0) {
        SetError(ERROR_INVALID_PARAMETER);   // only small named mappings of the paging file are simulated
        return nullptr;
    }
    std::string n = name;
    if (!w.sessionNamespaces && n.find('\\') != std::string::npos) {
        SetError(ERROR_PATH_NOT_FOUND);   // no namespace of that name
        return nullptr;
    }
    auto found = w.mappings.find(n);
    if (found != w.mappings.end()) {
        SetError(ERROR_ALREADY_EXISTS);
    } else {
        found = w.mappings.emplace(n, NamedMapping()).first;
        found->second.data.assign(sizeLow, 0);
        SetError(ERROR_SUCCESS);
    }
    found->second.programHandles++;
    DWORD error = GetLastError();
    HANDLE handle = AddHandle(HandleObject{HANDLE_MAPPING, nullptr, 0, n, protect});
    SetError(error);
    return handle;
}

LPVOID WINAPI MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, size_t size)
{
    if (CallFails("MapViewOfFile", {Hex((uintptr_t)mapping), Hex(access), Num(offsetHigh), Num(offsetLow), Num(size)}))
        return nullptr;
    auto lock = Lock();
    World &w = TheWorld();
    auto h = w.handles.find(mapping);
    if (h == w.handles.end() || h->second.kind != HANDLE_MAPPING) {
        SetError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    NamedMapping &m = w.mappings[h->second.path];
    if (offsetHigh != 0 || offsetLow != 0 || size > m.data.size()) {
        SetError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    w.views[m.data.data()] = h->second.path;
    return m.data.data();
}

BOOL WINAPI UnmapViewOfFile(LPCVOID address)
{
    if (CallFails("UnmapViewOfFile", {Hex((uintptr_t)address)}))
        return FALSE;
    auto lock = Lock();
    if (TheWorld().views.erase(const_cast<void *>(address)) == 0) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
