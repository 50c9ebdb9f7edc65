// Simulated windows, dialogs, message boxes, threads and message queues.
// A window call made from a thread other than the window's own is carried
// out by the owning thread inside its message calls while the caller waits, as
// Windows does; a thread that never pumps leaves the caller waiting, which the
// simulation reports as a hang.
#include "world.h"

#include <chrono>

namespace sim {
namespace detail {

// How long a thread may wait for another before the run counts as hung.
static const auto kHangLimit = std::chrono::seconds(20);

Window *FindWindowLocked(HWND hwnd)
{
    auto it = TheWorld().windows.find(hwnd);
    return it == TheWorld().windows.end() ? nullptr : it->second.get();
}

static ItemState *FindItemLocked(Window *window, int id)
{
    for (ItemState &item : window->state.items)
        if (item.id == id)
            return &item;
    return nullptr;
}

void RunOnWindowThread(Window *window, const std::function<void()> &fn)
{
    DWORD owner;
    {
        auto lock = Lock();
        owner = window->state.owner;
    }
    if (CurrentThread() == owner) {
        fn();
        return;
    }
    auto task = std::make_shared<SentTask>();
    task->run = fn;
    auto lock = Lock();
    World &w = TheWorld();
    w.queues[owner].sent.push_back(task);
    w.changed.notify_all();
    if (!w.changed.wait_for(lock, kHangLimit, [&] { return task->done || w.runEnded; }))
        Hang("a window call from thread " + std::to_string(CurrentThread()) +
             " waits for thread " + std::to_string(owner) + ", which does not pump messages");
    if (!task->done)
        LeaveIfEnded();
}

// Carries out the window calls other threads wait on; true when it ran one.
static bool RunSentTask()
{
    std::shared_ptr<SentTask> task;
    {
        auto lock = Lock();
        auto &sent = TheWorld().queues[CurrentThread()].sent;
        if (sent.empty())
            return false;
        task = sent.front();
        sent.pop_front();
    }
    task->run();
    auto lock = Lock();
    task->done = true;
    TheWorld().changed.notify_all();
    return true;
}

}  // namespace detail

using namespace detail;

void ResetWindows()
{
    World &w = TheWorld();
    w.windows.clear();
    w.templates.clear();
    w.nextWindow = 0x10000;
    w.screenWidth = 1024;
    w.screenHeight = 768;
    w.modalHandler = nullptr;
    w.boxes.clear();
    w.boxHandler = nullptr;
    w.loseQuitMessages = false;
    w.otherWindows.clear();
    w.foreground = nullptr;
}

HWND AddOtherWindow(DWORD processId, bool visible, bool iconic)
{
    auto lock = Lock();
    World &w = TheWorld();
    HWND hwnd = (HWND)(w.nextWindow += 0x10);
    w.otherWindows.insert(w.otherWindows.begin(), OtherWindow{hwnd, processId, visible, iconic});
    return hwnd;
}

HWND ForegroundWindow()
{
    auto lock = Lock();
    return TheWorld().foreground;
}

bool OtherWindowIsIconic(HWND window)
{
    auto lock = Lock();
    for (const OtherWindow &o : TheWorld().otherWindows)
        if (o.hwnd == window)
            return o.iconic;
    throw std::runtime_error("no other process's window");
}

void LoseQuitMessages()
{
    auto lock = Lock();
    TheWorld().loseQuitMessages = true;
}

void AddDialogTemplate(const std::string &name, const DialogTemplate &tmpl)
{
    auto lock = Lock();
    TheWorld().templates[Upper(name)] = tmpl;
}

std::vector<WindowState> Windows()
{
    auto lock = Lock();
    std::vector<WindowState> out;
    for (auto &w : TheWorld().windows)
        out.push_back(w.second->state);
    return out;
}

std::optional<WindowState> FindWindowByTemplate(const std::string &templateName)
{
    std::optional<WindowState> found;
    for (const WindowState &w : Windows())
        if (Upper(w.templateName) == Upper(templateName))
            found = w;
    return found;
}

const ItemState *FindItem(const WindowState &window, int id)
{
    for (const ItemState &item : window.items)
        if (item.id == id)
            return &item;
    return nullptr;
}

void SetScreenSize(int width, int height)
{
    auto lock = Lock();
    TheWorld().screenWidth = width;
    TheWorld().screenHeight = height;
}

void SendCommand(HWND dialog, WPARAM wParam)
{
    Window *window;
    {
        auto lock = Lock();
        window = FindWindowLocked(dialog);
    }
    if (window == nullptr)
        throw std::runtime_error("SendCommand: no such window");
    RunOnWindowThread(window, [&] { window->proc(dialog, WM_COMMAND, wParam, 0); });
}

bool QueryEndSession()
{
    std::vector<std::pair<HWND, Window *>> windows;
    {
        auto lock = Lock();
        for (auto &w : TheWorld().windows)
            if (!w.second->state.destroyed)
                windows.push_back({w.first, w.second.get()});
    }
    bool agreed = true;
    for (auto &w : windows)
        RunOnWindowThread(w.second, [&] {
            if (w.second->proc(w.first, WM_QUERYENDSESSION, 0, 0)) {
                auto lock = Lock();
                agreed = agreed && w.second->messageResult != FALSE;
            }
        });
    return agreed;
}

void SetHasShutdownBlockReason(bool present)
{
    auto lock = Lock();
    TheWorld().hasShutdownBlockReason = present;
}

void SetModalDialogHandler(std::function<void(HWND, const std::string &)> handler)
{
    auto lock = Lock();
    TheWorld().modalHandler = std::move(handler);
}

void SetMessageBoxHandler(std::function<int(const MessageBoxRecord &)> handler)
{
    auto lock = Lock();
    TheWorld().boxHandler = std::move(handler);
}

std::vector<MessageBoxRecord> MessageBoxes()
{
    auto lock = Lock();
    return TheWorld().boxes;
}

std::vector<ExitRequest> ExitRequests()
{
    auto lock = Lock();
    return TheWorld().exitRequests;
}

}  // namespace sim

using namespace sim;
using namespace sim::detail;

// The window a window call names, or NULL with the error Windows reports.
static Window *WindowOrError(HWND hwnd)
{
    auto lock = Lock();
    Window *window = FindWindowLocked(hwnd);
    if (window == nullptr)
        SetError(ERROR_INVALID_WINDOW_HANDLE);
    return window;
}

// Creates a dialog from a registered template on the calling thread and lets
// its procedure handle WM_INITDIALOG.
static HWND CreateFromTemplate(const char *function, LPCSTR templateName, DLGPROC proc, LPARAM param,
                               bool modal)
{
    if (CallFails(function, {Str(templateName), Hex((uintptr_t)param)}))
        return nullptr;
    Window *window;
    HWND hwnd;
    {
        auto lock = Lock();
        World &w = TheWorld();
        auto tmpl = w.templates.find(Upper(Str(templateName)));
        if (tmpl == w.templates.end()) {
            SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
            return nullptr;
        }
        for (const ItemTemplate &item : tmpl->second.items)
            if (Upper(item.className) == "MSCTLS_PROGRESS32" && !w.commonControlsLoaded) {
                SetError(ERROR_CANNOT_FIND_WND_CLASS);
                return nullptr;
            }
        auto created = std::make_unique<Window>();
        hwnd = (HWND)(w.nextWindow += 0x10);
        const DialogTemplate &t = tmpl->second;
        created->state = WindowState{hwnd, Str(templateName), t.title, CurrentThread(), false, false, false,
                                     false, RECT{t.x, t.y, t.x + t.width, t.y + t.height}, {}};
        for (const ItemTemplate &item : t.items)
            created->state.items.push_back(ItemState{item.id, item.className, item.text, {}, 0, 100, 0, {}});
        created->style = t.style;
        created->proc = proc;
        created->modal = modal;
        window = created.get();
        w.windows[hwnd] = std::move(created);
    }
    proc(hwnd, WM_INITDIALOG, 0, param);
    auto lock = Lock();
    if ((window->style & WS_VISIBLE) && !window->state.ended) {
        window->state.visible = true;
        window->state.everShown = true;
    }
    return hwnd;
}

HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc,
                               LPARAM param)
{
    (void)instance;
    (void)parent;
    return CreateFromTemplate("CreateDialogParamA", templateName, proc, param, false);
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc,
                               LPARAM param)
{
    (void)instance;
    (void)parent;
    HWND hwnd = CreateFromTemplate("DialogBoxParamA", templateName, proc, param, true);
    if (hwnd == nullptr)
        return -1;
    Window *window;
    std::function<void(HWND, const std::string &)> handler;
    {
        auto lock = Lock();
        window = FindWindowLocked(hwnd);
        handler = TheWorld().modalHandler;
    }
    for (int turn = 0;; turn++) {
        {
            auto lock = Lock();
            LeaveIfEnded();
            if (window->state.ended)
                break;
        }
        if (!handler || turn == 1000)
            Hang("the modal dialog " + Str(templateName) + " is never ended");
        handler(hwnd, Str(templateName));
        RunSentTask();
    }
    proc(hwnd, WM_DESTROY, 0, 0);
    auto lock = Lock();
    window->state.destroyed = true;
    window->state.visible = false;
    return window->result;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result)
{
    if (CallFails("EndDialog", {Hex((uintptr_t)dialog), Num((unsigned long long)result)}))
        return FALSE;
    Window *window = WindowOrError(dialog);
    if (window == nullptr)
        return FALSE;
    RunOnWindowThread(window, [&] {
        auto lock = Lock();
        window->state.ended = true;
        window->state.visible = false;
        window->result = result;
    });
    return TRUE;
}

static OtherWindow *FindOtherWindow(HWND hwnd)
{
    for (OtherWindow &o : TheWorld().otherWindows)
        if (o.hwnd == hwnd)
            return &o;
    return nullptr;
}

BOOL WINAPI ShowWindow(HWND hwnd, int command)
{
    if (CallFails("ShowWindow", {Hex((uintptr_t)hwnd), Num(command)}))
        return FALSE;
    {
        auto lock = Lock();
        if (OtherWindow *other = FindOtherWindow(hwnd)) {
            BOOL was = other->visible;
            other->visible = command != SW_HIDE;
            other->iconic = other->iconic && command != SW_RESTORE;
            return was;
        }
    }
    Window *window = WindowOrError(hwnd);
    if (window == nullptr)
        return FALSE;
    BOOL wasVisible = FALSE;
    RunOnWindowThread(window, [&] {
        auto lock = Lock();
        wasVisible = window->state.visible;
        window->state.visible = command != SW_HIDE;
        window->state.everShown = window->state.everShown || window->state.visible;
    });
    return wasVisible;
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int item, LPCSTR text)
{
    if (CallFails("SetDlgItemTextA", {Hex((uintptr_t)dialog), Num((unsigned)item), Str(text)}))
        return FALSE;
    Window *window = WindowOrError(dialog);
    if (window == nullptr)
        return FALSE;
    BOOL ok = FALSE;
    std::string copy = text;
    RunOnWindowThread(window, [&] {
        auto lock = Lock();
        if (ItemState *it = FindItemLocked(window, item)) {
            it->text = copy;
            it->texts.push_back(copy);
            ok = TRUE;
        }
    });
    if (!ok)
        SetError(ERROR_CONTROL_ID_NOT_FOUND);
    return ok;
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int item, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (CallFails("SendDlgItemMessageA", {Hex((uintptr_t)dialog), Num((unsigned)item), Hex(message),
                                          Num(wParam), Hex((unsigned long long)lParam)}))
        return 0;
    Window *window = WindowOrError(dialog);
    if (window == nullptr)
        return 0;
    LRESULT result = 0;
    RunOnWindowThread(window, [&] {
        auto lock = Lock();
        ItemState *it = FindItemLocked(window, item);
        if (it == nullptr)
            return;
        bool progress = Upper(it->className) == "MSCTLS_PROGRESS32";
        if (progress && message == PBM_SETRANGE) {
            result = MAKELONG(it->rangeMin, it->rangeMax);
            it->rangeMin = LOWORD(lParam);
            it->rangeMax = HIWORD(lParam);
        } else if (progress && message == PBM_SETPOS) {
            result = it->position;
            int pos = (int)wParam;
            pos = pos < it->rangeMin ? it->rangeMin : pos > it->rangeMax ? it->rangeMax : pos;
            it->position = pos;
            it->positions.push_back(pos);
        } else if (progress && message == PBM_GETPOS) {
            result = it->position;
        }
    });
    return result;
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (CallFails("SendMessageA", {Hex((uintptr_t)hwnd), Hex(message), Num(wParam), Hex((unsigned long long)lParam)}))
        return 0;
    Window *window = WindowOrError(hwnd);
    if (window == nullptr)
        return 0;
    LRESULT result = 0;
    RunOnWindowThread(window, [&] {
        {
            auto lock = Lock();
            window->messageResult = 0;
        }
        INT_PTR handled = window->proc(hwnd, message, wParam, lParam);
        auto lock = Lock();
        result = handled ? window->messageResult : 0;
    });
    return result;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value)
{
    if (CallFails("SetWindowLongPtrA", {Hex((uintptr_t)hwnd), Num((unsigned)index), Num((unsigned long long)value)}))
        return 0;
    auto lock = Lock();
    Window *window = WindowOrError(hwnd);
    if (window == nullptr)
        return 0;
    if (index != DWLP_MSGRESULT)
        throw std::logic_error("SetWindowLongPtrA: only DWLP_MSGRESULT is simulated");
    LONG_PTR previous = window->messageResult;
    window->messageResult = value;
    return previous;
}

namespace sim {
namespace detail {

// Called only from the window's own thread, as Windows demands.
static BOOL SetBlockReason(const char *function, HWND hwnd, std::optional<std::string> reason)
{
    if (CallFails(function, {Hex((uintptr_t)hwnd), reason ? *reason : "(none)"}))
        return FALSE;
    auto lock = Lock();
    Window *window = WindowOrError(hwnd);
    if (window == nullptr)
        return FALSE;
    if (window->state.owner != CurrentThread()) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    window->state.shutdownBlockReason = reason;
    return TRUE;
}

BOOL WINAPI SimShutdownBlockReasonCreate(HWND hwnd, LPCWSTR reason)
{
    std::string text;
    for (const WCHAR *c = reason; c != nullptr && *c != 0; c++)
        text += *c < 128 ? (char)*c : '?';
    return SetBlockReason("ShutdownBlockReasonCreate", hwnd, text);
}

BOOL WINAPI SimShutdownBlockReasonDestroy(HWND hwnd)
{
    return SetBlockReason("ShutdownBlockReasonDestroy", hwnd, std::nullopt);
}

}  // namespace detail
}  // namespace sim

BOOL WINAPI EnumWindows(WNDENUMPROC callback, LPARAM param)
{
    if (CallFails("EnumWindows", {}))
        return FALSE;
    std::vector<HWND> windows;
    {
        auto lock = Lock();
        for (const OtherWindow &o : TheWorld().otherWindows)
            windows.push_back(o.hwnd);
        for (auto &w : TheWorld().windows)
            if (!w.second->state.destroyed)
                windows.push_back(w.first);
    }
    for (HWND window : windows)
        if (!callback(window, param))
            break;
    return TRUE;
}

DWORD WINAPI GetWindowThreadProcessId(HWND hwnd, LPDWORD processId)
{
    Enter("GetWindowThreadProcessId", {Hex((uintptr_t)hwnd)});
    auto lock = Lock();
    DWORD process = 0;
    DWORD thread = 0;
    if (OtherWindow *other = FindOtherWindow(hwnd)) {
        process = other->processId;
        thread = other->processId + 1;
    } else if (Window *window = FindWindowLocked(hwnd)) {
        process = TheWorld().processId;
        thread = window->state.owner;
    }
    if (processId != nullptr)
        *processId = process;
    return thread;
}

BOOL WINAPI IsWindowVisible(HWND hwnd)
{
    Enter("IsWindowVisible", {Hex((uintptr_t)hwnd)});
    auto lock = Lock();
    if (OtherWindow *other = FindOtherWindow(hwnd))
        return other->visible;
    Window *window = FindWindowLocked(hwnd);
    return window != nullptr && window->state.visible;
}

BOOL WINAPI IsIconic(HWND hwnd)
{
    Enter("IsIconic", {Hex((uintptr_t)hwnd)});
    auto lock = Lock();
    OtherWindow *other = FindOtherWindow(hwnd);
    return other != nullptr && other->iconic;
}

BOOL WINAPI SetForegroundWindow(HWND hwnd)
{
    if (CallFails("SetForegroundWindow", {Hex((uintptr_t)hwnd)}))
        return FALSE;
    auto lock = Lock();
    if (FindOtherWindow(hwnd) == nullptr && FindWindowLocked(hwnd) == nullptr)
        return FALSE;
    TheWorld().foreground = hwnd;
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect)
{
    if (CallFails("GetWindowRect", {Hex((uintptr_t)hwnd)}))
        return FALSE;
    auto lock = Lock();
    Window *window = WindowOrError(hwnd);
    if (window == nullptr)
        return FALSE;
    *rect = window->state.rect;
    return TRUE;
}

int WINAPI GetSystemMetrics(int index)
{
    if (Enter("GetSystemMetrics", {Num((unsigned)index)}))
        return 0;
    auto lock = Lock();
    if (index == SM_CXSCREEN)
        return TheWorld().screenWidth;
    if (index == SM_CYSCREEN)
        return TheWorld().screenHeight;
    return 0;
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint)
{
    if (CallFails("MoveWindow", {Hex((uintptr_t)hwnd), std::to_string(x), std::to_string(y),
                                 std::to_string(width), std::to_string(height), Num(repaint)}))
        return FALSE;
    auto lock = Lock();
    Window *window = WindowOrError(hwnd);
    if (window == nullptr)
        return FALSE;
    window->state.rect = RECT{x, y, x + width, y + height};
    return TRUE;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    if (CallFails("MessageBoxA", {Hex((uintptr_t)owner), Str(text), Str(caption), Hex(type)}))
        return 0;
    MessageBoxRecord box{Str(text), Str(caption), type, owner, CurrentThread(), 0};
    std::function<int(const MessageBoxRecord &)> handler;
    {
        auto lock = Lock();
        handler = TheWorld().boxHandler;
    }
    if (handler)
        box.answer = handler(box);
    else
        box.answer = (type & 0xF) == MB_YESNO ? IDNO : IDOK;
    auto lock = Lock();
    TheWorld().boxes.push_back(box);
    return box.answer;
}

BOOL WINAPI MessageBeep(UINT type)
{
    if (CallFails("MessageBeep", {Num(type)}))
        return FALSE;
    return TRUE;
}

BOOL WINAPI AttachThreadInput(DWORD attach, DWORD attachTo, BOOL doAttach)
{
    if (CallFails("AttachThreadInput", {Num(attach), Num(attachTo), Num(doAttach)}))
        return FALSE;
    return TRUE;
}

BOOL WINAPI ExitWindowsEx(UINT flags, DWORD reason)
{
    if (CallFails("ExitWindowsEx", {Hex(flags), Hex(reason)}))
        return FALSE;
    auto lock = Lock();
    TheWorld().exitRequests.push_back(ExitRequest{flags, TheWorld().shutdownPrivilege});
    return TRUE;
}

// A message for thread me, taken from its queue when remove is set (world
// unlocked by the caller). A window call that another thread waits on comes
// first: it is carried out instead, and no message is given, so that a run
// makes the same calls whatever the threads' timing.
static bool TakeMessage(DWORD me, LPMSG msg, bool remove)
{
    if (RunSentTask())
        return false;
    auto lock = Lock();
    ThreadQueue &q = TheWorld().queues[me];
    if (!q.posted.empty()) {
        *msg = q.posted.front();
        if (remove)
            q.posted.pop_front();
        return true;
    }
    if (q.quitPending) {
        if (remove)
            q.quitPending = false;
        *msg = MSG{nullptr, WM_QUIT, (WPARAM)q.quitCode, 0, 0, {0, 0}};
        return true;
    }
    return false;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT remove)
{
    (void)window;
    if (filterMin != 0 || filterMax != 0)
        throw std::logic_error("PeekMessageA: only an unfiltered peek is simulated");
    if (Enter("PeekMessageA", {Hex(remove)}))
        return FALSE;
    return TakeMessage(CurrentThread(), msg, (remove & PM_REMOVE) != 0);
}

// Recorded when it returns, not when it is called: what wakes it is always
// another thread's call, so a run's calls come in the same order whatever
// the threads' timing.
DWORD WINAPI MsgWaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll, DWORD milliseconds,
                                       DWORD wakeMask)
{
    if (count != 1 || waitAll || milliseconds != INFINITE || wakeMask != QS_ALLINPUT)
        throw std::logic_error("MsgWaitForMultipleObjects: only a wait for one thread and any input is simulated");
    DWORD me = CurrentThread();
    DWORD woke = WAIT_FAILED;
    {
        auto lock = Lock();
        World &w = TheWorld();
        auto thread = w.handles.find(handles[0]);
        DWORD waited = thread != w.handles.end() && thread->second.kind == HANDLE_THREAD ? thread->second.thread : 0;
        while (waited != 0 && woke == WAIT_FAILED) {
            LeaveIfEnded();
            ThreadQueue &q = w.queues[me];
            if (w.queues[waited].ended)
                woke = WAIT_OBJECT_0;
            else if (!q.sent.empty() || !q.posted.empty() || q.quitPending)
                woke = WAIT_OBJECT_0 + 1;
            else if (w.changed.wait_for(lock, kHangLimit) == std::cv_status::timeout && q.sent.empty() &&
                     q.posted.empty() && !q.quitPending && !w.queues[waited].ended)
                Hang("thread " + std::to_string(me) + " waits for a message or the end of a thread that never come");
        }
    }
    if (CallFails("MsgWaitForMultipleObjects", {Num(count), Hex((uintptr_t)handles[0]), Num(waitAll),
                                                Hex(milliseconds), Hex(wakeMask)}))
        return WAIT_FAILED;
    if (woke == WAIT_FAILED)
        SetError(ERROR_INVALID_HANDLE);
    return woke;
}

BOOL WINAPI TranslateMessage(const MSG *msg)
{
    (void)msg;
    Enter("TranslateMessage", {});
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG *msg)
{
    Enter("DispatchMessageA", {Hex(msg->message)});
    Window *window;
    {
        auto lock = Lock();
        window = FindWindowLocked(msg->hwnd);
    }
    if (window != nullptr && window->proc != nullptr)
        return window->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    return 0;
}

void WINAPI PostQuitMessage(int exitCode)
{
    Enter("PostQuitMessage", {Num((unsigned)exitCode)});
    auto lock = Lock();
    ThreadQueue &q = TheWorld().queues[CurrentThread()];
    q.quitPending = true;
    q.quitCode = exitCode;
    TheWorld().changed.notify_all();
}

BOOL WINAPI PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (CallFails("PostThreadMessageA", {Num(threadId), Hex(message), Num(wParam),
                                         Num((unsigned long long)lParam)}))
        return FALSE;
    auto lock = Lock();
    World &w = TheWorld();
    auto it = w.queues.find(threadId);
    if (it == w.queues.end()) {
        SetError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    if (message != WM_QUIT || !w.loseQuitMessages)
        it->second.posted.push_back(MSG{nullptr, message, wParam, lParam, 0, {0, 0}});
    w.changed.notify_all();
    return TRUE;
}

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES security, size_t stackSize, LPTHREAD_START_ROUTINE start,
                           LPVOID parameter, DWORD flags, LPDWORD threadId)
{
    (void)security;
    if (CallFails("CreateThread", {Num(stackSize), Num((uintptr_t)parameter), Hex(flags)}))
        return nullptr;
    auto lock = Lock();
    World &w = TheWorld();
    DWORD id = w.nextThreadId++;
    w.queues[id];
    if (threadId != nullptr)
        *threadId = id;
    HandleObject object{HANDLE_THREAD, nullptr, 0, "thread " + std::to_string(id), 0};
    object.thread = id;
    HANDLE handle = AddHandle(object);
    w.threads.emplace_back([id, start, parameter] {
        SetCurrentThread(id);
        try {
            start(parameter);
        } catch (const RunEnded &) {
            // The thread ends with the run.
        }
        auto lock = Lock();
        TheWorld().queues[id].ended = true;
        TheWorld().changed.notify_all();
    });
    return handle;
}
