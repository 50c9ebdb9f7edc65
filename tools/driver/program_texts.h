// The program's own texts, as the user sees them, written once for the
// tests, the benchmarks and the helpers of the demonstration and the
// screenshots. The program keeps its texts in its own modules: a check
// against these catches a change of wording on either side. The texts of
// the dialog templates are the exception: the program has them from
// res/dialogs.json, as these do, through res/dialogs.h.
#ifndef DRIVER_PROGRAM_TEXTS_H
#define DRIVER_PROGRAM_TEXTS_H

#include <string>
#include <vector>

#include "res/dialogs.h"
#include "res/product.h"

// Message boxes
inline constexpr char kDefaultCaption[] = "Uninstall (Morvane " PRODUCT_VERSION ")";
inline constexpr char kCorrupt[] = "ALERT\nExecutable corrupt. Possibly a virus !!!";
inline constexpr char kResourceError[] = "Resource error. Corrupt executable ?";
inline constexpr char kNoLog[] = "Unable to locate Setup logfile.";
inline constexpr char kTerminated[] =
    "Uninstall has been terminated due to an initialization error. The product has NOT been removed from your "
    "computer.";
inline constexpr char kConfirm[] = "Do you really want to remove the selected application from your computer ?";
inline constexpr char kCustomRunFailed[] = "Custom uninstall run failed. Morvane will stop application removal.";
inline constexpr char kAborted[] = "Uninstall has been aborted. Only parts of the application could be removed.";
inline constexpr char kRemoved[] =
    "Uninstall has successfully removed the selected application. Reboot your computer to also remove system "
    "files that are locked at the moment.";

// How a run can end, and the boxes it shows then, in order. Each box but
// the question is a warning with an OK button alone; a completed run shows
// Program Manager's boxes (below), one per group it could not delete,
// between the question and the success message.
enum RunEnd {
    END_CORRUPT,          // the program's own file is damaged
    END_NO_LOG,           // the log cannot be opened, or it is no log
    END_RESOURCE_ERROR,   // the progress dialog cannot be made
    END_WORKER_FAILED,    // the log was read, but the removal could not start
    END_DECLINED,         // No to the question
    END_ABORTED,          // a custom program failed
    END_COMPLETED
};

struct ShownBox {
    const char *text;
    bool defaultCaption;   // kDefaultCaption; else the caption the log gives
};

inline std::vector<ShownBox> BoxesOf(RunEnd end)
{
    switch (end) {
    case END_CORRUPT: return {{kCorrupt, true}};
    case END_NO_LOG: return {{kNoLog, true}, {kTerminated, true}};
    case END_RESOURCE_ERROR: return {{kResourceError, true}, {kTerminated, true}};
    case END_WORKER_FAILED: return {{kTerminated, false}};
    case END_DECLINED: return {{kConfirm, false}};
    case END_ABORTED: return {{kConfirm, false}, {kCustomRunFailed, true}, {kAborted, false}};
    case END_COMPLETED: return {{kConfirm, false}, {kRemoved, false}};
    }
    return {};
}

inline std::vector<std::string> BoxTextsOf(RunEnd end)
{
    std::vector<std::string> texts;
    for (const ShownBox &box : BoxesOf(end))
        texts.push_back(box.text);
    return texts;
}

// Program Manager's boxes
inline constexpr char kSetupCaption[] = "Setup";
inline constexpr char kDdeInitFailed[] = "DDEML Initialization Failure";

// The box for a group command that failed: the command stands in brackets.
inline std::string DdeFailedText(const std::string &command)
{
    return "Unable to update Start Menu\nDdeClientTransaction Failed\n[" + command + "]";
}

// The progress dialog
inline constexpr char kProgressTitle[] = PROGRESS_TITLE;
inline constexpr char kLoadingLog[] = "Loading install-log";
inline constexpr char kPleaseWait[] = "(Please wait)";
inline constexpr char kRemovingFile[] = "Removing File:";
inline constexpr char kUnregisteringDll[] = "Unregistering DLL";
inline constexpr char kRemovingProgmanItem[] = "Removing Progman Item";
inline constexpr char kRemovingSysReg[] = "Removing System Registry Entrys";
inline constexpr char kRemovingDirectory[] = "Removing Directory:";
inline constexpr char kPreparingSystemFiles[] = "Preparing SystemFile removal";
inline constexpr char kDeletingUninstallKey[] = "Deleting Uninstall Key";
// Beside the program while it holds off a logoff (where Windows shows it).
inline const std::string kHoldReason = "Removing an application: ended now, it would stay half removed.";

// The restart dialog; its line feeds stand bare, without carriage returns.
inline constexpr char kRestartTitle[] = RESTART_TITLE;
inline constexpr char kRestartText[] = RESTART_MESSAGE;

#endif
