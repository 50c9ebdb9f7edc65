// Runs the removal passes on the simulated Windows for a log of COUNT records
// of one kind, so that callgrind can count the instructions they take:
//
//   valgrind --tool=callgrind --toggle-collect='*RemoveApplication*' removal_cost file|none COUNT
//
// The difference between two counts, divided by the difference of records,
// is the cost of one record, free of the noise of timing.
#include "log/install_log.h"
#include "sim/sim.h"
#include "removal/remove_app.h"
#include "shell/globals.h"
#include "shell/progress_dialog.h"
#include "support/log_builder.h"
#include "support/program_world.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    if (argc != 3 || (strcmp(argv[1], "file") != 0 && strcmp(argv[1], "none") != 0)) {
        fprintf(stderr, "usage: removal_cost file|none COUNT\n");
        return 2;
    }
    bool files = strcmp(argv[1], "file") == 0;
    int count = atoi(argv[2]);

    PrepareProgramWorld();
    std::vector<TestRecord> records{{LOGREC_APPNAME, "Bench App", ""}};
    for (int i = 0; i < count; i++) {
        std::string path = "C:\\bench\\d" + std::to_string(i / 100) + "\\file" + std::to_string(i) + ".txt";
        if (files)
            sim::AddFile(path, "x");
        records.push_back({files ? (uint32_t)LOGREC_FILE : (uint32_t)LOGREC_TYPE3, path, ""});
    }
    sim::AddFile("C:\\bench\\install.log", LogBytes(records));

    LoadLibraryA("C:\\WINDOWS\\system32\\COMCTL32.DLL");
    g_hProgressDlg = CreateDialogParamA(nullptr, "UNINSTDLG", nullptr, ProgressDlgProc, 0);
    if (!OpenLog("C:\\bench\\install.log"))
        return 1;
    ScanLog(g_caption, sizeof(g_caption));
    int result = RemoveApplication();
    CloseLog();
    return result == 1 ? 0 : 1;
}
