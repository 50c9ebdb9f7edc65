// The program's own texts, as the user sees them, written once for the
// tests, the benchmarks and the helpers of the demonstration and the
// screenshots. The program keeps its texts in its own modules: a check
// against these catches a change of wording on either side. The texts of
// the dialog templates are the exception: the program has them from
// res/dialogs.json, as these do, through res/dialogs.h.
#ifndef DRIVER_PROGRAM_TEXTS_H
#define DRIVER_PROGRAM_TEXTS_H

#include <string>

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
