// Program Manager as Wine provides it: the virtual desktop's explorer
// serves the DDE service PROGMAN, and a group is a folder under the
// per-user Start Menu's Programs folder.
#ifndef E2E_SUPPORT_PROGMAN_H
#define E2E_SUPPORT_PROGMAN_H

#include <windows.h>
#include <ddeml.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace e2e {

// The per-user Start Menu\Programs folder, where Program Manager keeps its
// groups; "" when it cannot be found.
std::string ProgramsFolder();

// Tries a DDE conversation with PROGMAN on topic PROGMAN as the uninstaller
// does, and ends it at once: DMLERR_NO_ERROR when Program Manager answered,
// otherwise DDEML's error (DMLERR_NO_CONV_ESTABLISHED when nobody did).
UINT ProbeProgramManager();

// Makes groups as setup programs do, with Program Manager's CreateGroup
// command over DDE, then waits for the window Wine shows each one in and
// closes it.
bool CreateProgramGroups(const std::vector<std::string> &groups, std::string *error);

// Keeps Program Manager from being reached over DDE while it lives.
//
// Wine has no desktop without Program Manager: every desktop's explorer
// serves PROGMAN, one is started for any process that creates a window,
// and an explorer without shell32 fails. So the server is left running and
// only put out of reach: DDEML finds servers by broadcasting
// WM_DDE_INITIATE to the top-level windows, and explorer answers through
// its hidden "WineDdeServerName" windows. Moved under HWND_MESSAGE they
// get no broadcast, and DdeConnect fails with DMLERR_NO_CONV_ESTABLISHED,
// as when Program Manager is not running. Moved back, they serve again.
class ProgramManagerOutOfReach {
public:
    ProgramManagerOutOfReach() = default;
    ~ProgramManagerOutOfReach() { Restore(nullptr); }
    ProgramManagerOutOfReach(const ProgramManagerOutOfReach &) = delete;
    ProgramManagerOutOfReach &operator=(const ProgramManagerOutOfReach &) = delete;

    // Moves the server windows away and checks that PROGMAN no longer answers.
    bool Hide(std::string *error);
    // Moves them back and checks that PROGMAN answers again.
    bool Restore(std::string *error);

private:
    std::vector<HWND> moved_;
};

// A Program Manager of the test's own, for what Wine's cannot show: it
// serves PROGMAN on a thread of the test program, records the data of each
// execute command and accepts it. onCommand, when given, runs first, on
// that thread, with the command's bytes: it may end the program under test
// at that point. Wine's own server must be out of reach meanwhile
// (ProgramManagerOutOfReach). One at a time.
class RecordingProgramManager {
public:
    RecordingProgramManager() = default;
    ~RecordingProgramManager() { Stop(); }
    RecordingProgramManager(const RecordingProgramManager &) = delete;
    RecordingProgramManager &operator=(const RecordingProgramManager &) = delete;

    bool Start(std::function<void(const std::string &command)> onCommand, std::string *error);
    void Stop();

    // The data of every execute transaction so far, in order, as bytes.
    std::vector<std::string> Commands();

private:
    static DWORD WINAPI Serve(LPVOID self);
    static HDDEDATA CALLBACK Answer(UINT type, UINT format, HCONV conversation, HSZ topic, HSZ service,
                                    HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2);

    std::function<void(const std::string &)> onCommand_;
    std::mutex mutex_;
    std::vector<std::string> commands_;
    HANDLE thread_ = NULL;
    DWORD threadId_ = 0;
    HANDLE ready_ = NULL;
    std::string startError_;
    DWORD instance_ = 0;
    HSZ service_ = NULL;
};

}  // namespace e2e

#endif
