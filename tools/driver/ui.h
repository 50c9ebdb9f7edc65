// Watching and driving another process's windows through Win32: its
// message boxes and the uninstaller's progress and restart dialogs, whose
// items res/dialogs.h numbers.
#ifndef DRIVER_UI_H
#define DRIVER_UI_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "process.h"

namespace driver {

// The top-level windows of a process, visible or not, in Z order.
std::vector<HWND> TopLevelWindows(DWORD pid);

// The first top-level window of the process with exactly this caption.
HWND FindWindowByCaption(DWORD pid, const std::string &caption);

std::string ClassName(HWND window);
std::string WindowTitle(HWND window);

// A dialog item's text, asked with WM_GETTEXT as GetDlgItemTextA does, but
// with a limit, so that a hung program cannot hang the test.
bool ItemText(HWND dialog, int id, std::string *text);

struct MessageBoxView {
    HWND window = NULL;
    bool restartDialog = false;       // the uninstaller's restart dialog (see below)
    HWND owner = NULL;
    std::string caption;
    std::string text;                 // the text control, id 0xFFFF
    HWND iconControl = NULL;          // every box has one, icon or not
    bool hasIcon = false;             // STM_GETICON gives an icon
    // Which system icon the icon control shows on screen: "warning",
    // "question", "error", "information", "none" (no icon), or a description
    // of what was seen when it is none of these. The restart dialog shows
    // the program's own icon, which is not looked for: "program".
    std::string shownIcon;
    std::vector<int> buttonIds;       // the visible buttons, in Z order
    std::vector<std::string> buttonTexts;
};

// A message box: a dialog with a text control 0xFFFF and no progress bar.
// The restart dialog is one too, by this test.
bool IsMessageBox(HWND window);

// The uninstaller's restart dialog: a dialog whose frame round its message
// (IDC_RESTART_FRAME) is a group box.
bool IsRestartDialog(HWND window);

struct RestartDialogView {
    HWND window = NULL;
    bool visible = false;
    std::string title;
    LONG style = 0;
    std::string message;               // the first text control 0xFFFF, as WM_GETTEXT gives it
    LONG messageStyle = 0;
    std::string frameClass;            // IDC_RESTART_FRAME
    LONG frameStyle = 0;
    std::string frameText;
    bool hasIcon = false;              // an icon control with an icon (STM_GETICON)
    std::vector<int> buttonIds;        // the visible push buttons, in Z order
    std::vector<std::string> buttonTexts;
    RECT rect = {0, 0, 0, 0};
};

bool ReadRestartDialog(HWND window, RestartDialogView *view);

// Reads a box that is on screen, including which icon it shows.
bool ReadMessageBox(HWND window, MessageBoxView *view);

// The button of a box that changes least: No, else Cancel, else OK, else
// the first one. For boxes a test does not expect, so that an unexpected
// question (a restart, say) is declined.
int SafestButton(const MessageBoxView &box);

// Presses a button of a dialog the way a click does: WM_COMMAND with the
// button's id and BN_CLICKED. False when the dialog shows no such button.
bool PressButton(HWND dialog, int id);

// Types a key into a dialog: WM_KEYDOWN and WM_KEYUP with the virtual key
// code, posted to the dialog, whose modal loop hands them to
// IsDialogMessage as it would a key pressed while the dialog is active.
// True when both were posted, or the key-down ended the dialog first.
bool PressKey(HWND dialog, WORD virtualKey);

// Closes a window from its frame: WM_SYSCOMMAND with SC_CLOSE, as the close
// button or the system menu's Close sends it.
bool CloseFromFrame(HWND window);

struct ProgressView {
    HWND window = NULL;
    bool visible = false;
    std::string title;
    std::string status;   // IDC_STATUS
    std::string detail;   // IDC_DETAIL
    std::string button;   // IDC_CANCEL_BUTTON
    long position = -1;   // PBM_GETPOS on IDC_PROGRESS
    long low = -1;        // PBM_GETRANGE
    long high = -1;
    RECT rect = {0, 0, 0, 0};
};

// The uninstaller's progress dialog: a top-level dialog of the process with
// a progress bar as item IDC_PROGRESS. NULL when there is none.
HWND FindProgressDialog(DWORD pid);

// Reads all of the dialog's state; false when the dialog went away meanwhile.
bool ReadProgressDialog(HWND dialog, ProgressView *view);

// Everything seen of one run of a program.
struct RunRecord {
    std::vector<MessageBoxView> boxes;      // each message box, in the order shown
    std::vector<ProgressView> progress;     // samples of the progress dialog, in time order
    bool progressDialogExisted = false;
    bool progressDialogShown = false;       // visible in some sample
    bool ended = false;
    DWORD exitCode = 0;
    std::string error;                      // why the watch stopped early
};

// What to do with a message box: the id of the button to press, 0 to stop
// watching (the program is left as it is), or kAnswered when the answer
// has dealt with the box itself (a key, a close from the frame).
using BoxAnswer = std::function<int(const MessageBoxView &)>;
constexpr int kAnswered = -1;

// Watches the program until it ends, for at most limitMs: samples the
// progress dialog as often as it can (or every pauseMs, for long runs whose
// every step need not be seen) and answers each message box once as answer
// says.
// False (with record->error) when the program did not end.
bool WatchRun(Program &program, const BoxAnswer &answer, RunRecord *record, DWORD limitMs, DWORD pauseMs = 0);

}  // namespace driver

#endif
