// The progress dialog as the removal drives it: the calls it makes, no
// more. The shell owns the dialog (shell/progress_dialog.cpp carries these
// out); the worker's calls reach it through the main thread's message loop.
#ifndef REMOVAL_PROGRESS_VIEW_H
#define REMOVAL_PROGRESS_VIEW_H

// Shows the dialog as it was created: texts and bar as its procedure set
// them up; an unattended run keeps it hidden.
void ShowProgress(void);

// Hides the dialog at the end of a completed removal.
void EndProgress(void);

// The status line: one of the removal's fixed texts.
void SetStatus(const char *text);

// The detail line.
void SetDetail(const char *text);

// The bar, at progress divided by the number of records.
void SetBar(unsigned long long progress);

// Asks the dialog to hold off a logoff or shutdown (hold 1) while the
// removal changes the machine, or to let it go again (hold 0).
void HoldSession(int hold);

#endif
