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

}  // namespace e2e
