#include "progman.h"

#include <ddeml.h>
#include <shlobj.h>

#include <cstring>

namespace e2e {

// The longest a folder window of Program Manager may take to appear; it
// takes about ten seconds here.
static const int kFolderWindowLimitTenths = 600;
static const char kServerWindowClass[] = "WineDdeServerName";

std::string ProgramsFolder()
{
    char path[MAX_PATH];
    if (SHGetFolderPathA(NULL, CSIDL_PROGRAMS, NULL, SHGFP_TYPE_CURRENT, path) != S_OK)
        return "";
    return path;
}

static HDDEDATA CALLBACK IgnoreDde(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return NULL;
}

// One conversation with PROGMAN on topic PROGMAN, carrying out command
// when there is one.
static UINT TalkToProgramManager(const char *command)
{
    DWORD instance = 0;
    UINT status = DdeInitializeA(&instance, IgnoreDde, APPCMD_CLIENTONLY, 0);
    if (status != DMLERR_NO_ERROR)
        return status;
    HSZ progman = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HCONV conversation = DdeConnect(instance, progman, progman, NULL);
    status = conversation != NULL ? DMLERR_NO_ERROR : DdeGetLastError(instance);
    if (conversation != NULL && command != NULL &&
        DdeClientTransaction((LPBYTE)command, (DWORD)strlen(command) + 1, conversation, 0, CF_TEXT,
                             XTYP_EXECUTE, 10000, NULL) == 0)
        status = DdeGetLastError(instance);
    if (conversation != NULL)
        DdeDisconnect(conversation);
    DdeFreeStringHandle(instance, progman);
    DdeUninitialize(instance);
    return status;
}

UINT ProbeProgramManager()
{
    return TalkToProgramManager(NULL);
}

bool CreateProgramGroups(const std::vector<std::string> &groups, std::string *error)
{
    for (const std::string &group : groups) {
        std::string command = "[CreateGroup(\"" + group + "\")]";
        UINT status = TalkToProgramManager(command.c_str());
        if (status != DMLERR_NO_ERROR) {
            *error = command + " failed: DDEML status " + std::to_string(status);
            return false;
        }
    }
    // Wine's Program Manager opens each new group in a folder window of an
    // explorer process of its own, some seconds later; each is waited for
    // and closed, for left open (or opened only after the test) it would
    // lie over the boxes of later tests.
    for (const std::string &group : groups) {
        HWND shown = NULL;
        for (int tenths = 0; tenths < kFolderWindowLimitTenths && shown == NULL; tenths++) {
            shown = FindWindowA("ExplorerWClass", group.c_str());
            if (shown == NULL)
                Sleep(100);
        }
        if (shown == NULL) {
            *error = "Program Manager showed no window for the group " + group + " in " +
                     std::to_string(kFolderWindowLimitTenths / 10) + " s";
            return false;
        }
        PostMessageA(shown, WM_CLOSE, 0, 0);
        for (int tenths = 0; tenths < 100 && IsWindow(shown); tenths++)
            Sleep(100);
        if (IsWindow(shown)) {
            *error = "the window that shows the group " + group + " does not close";
            return false;
        }
    }
    return true;
}

bool ProgramManagerOutOfReach::Hide(std::string *error)
{
    DWORD desktopProcess = 0;
    GetWindowThreadProcessId(GetDesktopWindow(), &desktopProcess);
    std::vector<HWND> servers;
    HWND window = NULL;
    while ((window = FindWindowExA(NULL, window, kServerWindowClass, NULL)) != NULL) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid == desktopProcess)
            servers.push_back(window);
    }
    if (servers.empty()) {
        *error = std::string("the desktop's process ") + std::to_string(desktopProcess) + " has no " +
                 kServerWindowClass + " window";
        return false;
    }
    for (HWND server : servers) {
        if (SetParent(server, HWND_MESSAGE) == NULL) {
            *error = "cannot move a DDE server window: error " + std::to_string(GetLastError());
            return false;
        }
        moved_.push_back(server);
    }
    UINT status = ProbeProgramManager();
    if (status != DMLERR_NO_CONV_ESTABLISHED) {
        *error = "PROGMAN still answers with its server windows moved away: DDEML status " +
                 std::to_string(status);
        return false;
    }
    return true;
}

bool ProgramManagerOutOfReach::Restore(std::string *error)
{
    if (moved_.empty())
        return true;
    bool ok = true;
    for (HWND server : moved_)
        if (IsWindow(server) && SetParent(server, NULL) == NULL)
            ok = false;
    moved_.clear();
    UINT status = ProbeProgramManager();
    if ((!ok || status != DMLERR_NO_ERROR) && error)
        *error = "PROGMAN does not answer again after its server windows came back: DDEML status " +
                 std::to_string(status);
    return ok && status == DMLERR_NO_ERROR;
}

static RecordingProgramManager *g_serving;

HDDEDATA CALLBACK RecordingProgramManager::Answer(UINT type, UINT, HCONV, HSZ topic, HSZ, HDDEDATA data,
                                                  ULONG_PTR, ULONG_PTR)
{
    RecordingProgramManager *self = g_serving;
    if (type == XTYP_CONNECT)
        return (HDDEDATA)(ULONG_PTR)(DdeCmpStringHandles(topic, self->service_) == 0);
    if (type != XTYP_EXECUTE)
        return NULL;
    DWORD size = DdeGetData(data, NULL, 0, 0);
    std::string command(size, '\0');
    if (size != 0)
        DdeGetData(data, (LPBYTE)&command[0], size, 0);
    if (self->onCommand_)
        self->onCommand_(command);
    {
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->commands_.push_back(command);
    }
    return (HDDEDATA)DDE_FACK;
}

DWORD WINAPI RecordingProgramManager::Serve(LPVOID param)
{
    RecordingProgramManager *self = (RecordingProgramManager *)param;
    UINT status = DdeInitializeA(&self->instance_, Answer, APPCLASS_STANDARD | CBF_SKIP_ALLNOTIFICATIONS, 0);
    if (status == DMLERR_NO_ERROR) {
        self->service_ = DdeCreateStringHandleA(self->instance_, "PROGMAN", CP_WINANSI);
        if (self->service_ == NULL || DdeNameService(self->instance_, self->service_, NULL, DNS_REGISTER) == NULL)
            status = DdeGetLastError(self->instance_);
    }
    if (status != DMLERR_NO_ERROR)
        self->startError_ = "the test's Program Manager cannot serve PROGMAN: DDEML status " + std::to_string(status);
    SetEvent(self->ready_);
    if (status == DMLERR_NO_ERROR) {
        MSG msg;
        while (GetMessageA(&msg, NULL, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        DdeNameService(self->instance_, self->service_, NULL, DNS_UNREGISTER);
    }
    if (self->service_ != NULL)
        DdeFreeStringHandle(self->instance_, self->service_);
    if (self->instance_ != 0)
        DdeUninitialize(self->instance_);
    return 0;
}

bool RecordingProgramManager::Start(std::function<void(const std::string &)> onCommand, std::string *error)
{
    onCommand_ = std::move(onCommand);
    g_serving = this;
    ready_ = CreateEventA(NULL, TRUE, FALSE, NULL);
    thread_ = CreateThread(NULL, 0, Serve, this, 0, &threadId_);
    if (ready_ == NULL || thread_ == NULL) {
        *error = "cannot start the test's Program Manager: error " + std::to_string(GetLastError());
        return false;
    }
    WaitForSingleObject(ready_, INFINITE);
    if (!startError_.empty()) {
        *error = startError_;
        return false;
    }
    return true;
}

void RecordingProgramManager::Stop()
{
    if (thread_ != NULL) {
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = NULL;
    }
    if (ready_ != NULL) {
        CloseHandle(ready_);
        ready_ = NULL;
    }
    g_serving = nullptr;
}

std::vector<std::string> RecordingProgramManager::Commands()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

}  // namespace e2e
