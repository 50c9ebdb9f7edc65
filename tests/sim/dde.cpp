// The simulated DDE management library, with Program Manager as the only
// server. Instances, string handles, conversations and data handles are
// tracked so that tests can see what was left open.
#include "world.h"

#include <cstring>

namespace sim {
namespace detail {

static uintptr_t NewDdeObject(const std::string &what, uintptr_t owner = 0)
{
    World &w = TheWorld();
    uintptr_t id = (w.nextDdeObject += 8);
    w.ddeObjects[id] = what;
    if (owner != 0)
        w.ddeOwners[id] = owner;
    return id;
}

static bool IsDdeObject(uintptr_t id, const char *kind)
{
    auto it = TheWorld().ddeObjects.find(id);
    return it != TheWorld().ddeObjects.end() && it->second.compare(0, strlen(kind), kind) == 0;
}

}  // namespace detail

using namespace detail;

void ResetDde()
{
    World &w = TheWorld();
    w.programManager = nullptr;
    w.programManagerAnswerMs = 0;
    w.ddeExecuteData.clear();
    w.ddeObjects.clear();
    w.ddeOwners.clear();
    w.endedDdeInstances.clear();
    w.nextDdeObject = 0x100;
}

void SetProgramManager(std::function<bool(const std::string &)> execute)
{
    auto lock = Lock();
    TheWorld().programManager = std::move(execute);
}

void StopProgramManager()
{
    auto lock = Lock();
    TheWorld().programManager = nullptr;
}

void SetProgramManagerAnswerTime(DWORD milliseconds)
{
    auto lock = Lock();
    TheWorld().programManagerAnswerMs = milliseconds;
}

std::vector<std::string> DdeExecuteData()
{
    auto lock = Lock();
    return TheWorld().ddeExecuteData;
}

}  // namespace sim

using namespace sim;
using namespace sim::detail;

UINT WINAPI DdeInitializeA(LPDWORD instance, PFNCALLBACK callback, DWORD commands, DWORD reserved)
{
    if (DWORD e = Enter("DdeInitializeA", {Num(*instance), callback ? "callback" : "(null)", Hex(commands),
                                           Num(reserved)}))
        return (UINT)e;
    auto lock = Lock();
    // An instance of a process that EndProcess ended is left in a variable
    // of the program, which outlives the simulated process: a new process
    // would hold 0 there.
    if (*instance != 0 && TheWorld().endedDdeInstances.count(*instance) == 0)
        return DMLERR_INVALIDPARAMETER;   // re-initialising is not simulated
    *instance = (DWORD)NewDdeObject("dde instance");
    return DMLERR_NO_ERROR;
}

HSZ WINAPI DdeCreateStringHandleA(DWORD instance, LPCSTR text, int codePage)
{
    if (Enter("DdeCreateStringHandleA", {Hex(instance), Str(text), Num((unsigned)codePage)}))
        return nullptr;
    auto lock = Lock();
    if (!IsDdeObject(instance, "dde instance"))
        return nullptr;
    return (HSZ)NewDdeObject("dde string " + Str(text), instance);
}

HCONV WINAPI DdeConnect(DWORD instance, HSZ service, HSZ topic, PCONVCONTEXT context)
{
    auto lock = Lock();
    World &w = TheWorld();
    auto name = [&](HSZ h) {
        auto it = w.ddeObjects.find((uintptr_t)h);
        return it == w.ddeObjects.end() ? std::string("(none)") : it->second.substr(11);
    };
    std::string shown = "(null)";
    if (context != nullptr) {
        const unsigned char *bytes = (const unsigned char *)context;
        bool restZero = true;
        for (size_t i = sizeof(context->cb); i < sizeof(*context); i++)
            restZero = restZero && bytes[i] == 0;
        shown = "cb " + Num(context->cb) + (restZero ? ", rest 0" : ", rest set");
    }
    std::vector<std::string> args{Hex(instance), name(service), name(topic), shown};
    lock.unlock();
    if (Enter("DdeConnect", args))
        return nullptr;
    lock.lock();
    if (!IsDdeObject(instance, "dde instance") || !w.programManager || name(service) != "PROGMAN" ||
        name(topic) != "PROGMAN")
        return nullptr;
    return (HCONV)NewDdeObject("dde conversation", instance);
}

HDDEDATA WINAPI DdeCreateDataHandle(DWORD instance, LPBYTE source, DWORD size, DWORD offset, HSZ item,
                                    UINT format, UINT flags)
{
    std::string bytes((const char *)source, size);
    if (Enter("DdeCreateDataHandle", {Hex(instance), bytes, Num(size), Num(offset), Hex((uintptr_t)item),
                                      Num(format), Hex(flags)}))
        return nullptr;
    auto lock = Lock();
    if (!IsDdeObject(instance, "dde instance"))
        return nullptr;
    return (HDDEDATA)NewDdeObject("data " + bytes, instance);
}

HDDEDATA WINAPI DdeClientTransaction(LPBYTE data, DWORD length, HCONV conversation, HSZ item, UINT format,
                                     UINT type, DWORD timeout, LPDWORD result)
{
    (void)result;
    if (Enter("DdeClientTransaction", {Hex((uintptr_t)data), Hex(length), Hex((uintptr_t)conversation),
                                       Hex((uintptr_t)item), Num(format), Hex(type), Num(timeout)}))
        return nullptr;
    std::function<bool(const std::string &)> execute;
    std::string bytes;
    bool late;
    {
        auto lock = Lock();
        World &w = TheWorld();
        if (!IsDdeObject((uintptr_t)conversation, "dde conversation") || !IsDdeObject((uintptr_t)data, "data ") ||
            length != 0xFFFFFFFF || type != XTYP_EXECUTE || !w.programManager)
            return nullptr;
        bytes = w.ddeObjects[(uintptr_t)data].substr(5);
        w.ddeObjects.erase((uintptr_t)data);   // the data handle passes to DDEML
        w.ddeExecuteData.push_back(bytes);
        execute = w.programManager;
        late = w.programManagerAnswerMs > timeout;
    }
    // Program Manager reads CF_TEXT data up to its terminating zero.
    bool done = execute(bytes.substr(0, bytes.find('\0')));
    return done && !late ? (HDDEDATA)1 : nullptr;
}

BOOL WINAPI DdeFreeStringHandle(DWORD instance, HSZ text)
{
    if (Enter("DdeFreeStringHandle", {Hex(instance), Hex((uintptr_t)text)}))
        return FALSE;
    auto lock = Lock();
    if (!IsDdeObject((uintptr_t)text, "dde string"))
        return FALSE;
    TheWorld().ddeObjects.erase((uintptr_t)text);
    return TRUE;
}

BOOL WINAPI DdeDisconnect(HCONV conversation)
{
    if (Enter("DdeDisconnect", {Hex((uintptr_t)conversation)}))
        return FALSE;
    auto lock = Lock();
    if (!IsDdeObject((uintptr_t)conversation, "dde conversation"))
        return FALSE;
    TheWorld().ddeObjects.erase((uintptr_t)conversation);
    return TRUE;
}

BOOL WINAPI DdeUninitialize(DWORD instance)
{
    if (Enter("DdeUninitialize", {Hex(instance)}))
        return FALSE;
    auto lock = Lock();
    if (!IsDdeObject(instance, "dde instance"))
        return FALSE;
    // Ending an instance frees every string handle, conversation and data
    // handle it still has, as DDEML does.
    World &w = TheWorld();
    for (auto it = w.ddeOwners.begin(); it != w.ddeOwners.end();) {
        if (it->second == instance) {
            w.ddeObjects.erase(it->first);
            it = w.ddeOwners.erase(it);
        } else {
            ++it;
        }
    }
    w.ddeObjects.erase(instance);
    return TRUE;
}
