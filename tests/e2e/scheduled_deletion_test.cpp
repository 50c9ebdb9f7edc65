// Files in use: what cannot be deleted now is scheduled for the next restart
// under its short name, in WININIT.INI and in PendingFileRenameOperations,
// and a restart then deletes it.
#include "uninstaller_test.h"

#include <atomic>
#include <cstdlib>
#include <memory>
#include <thread>

#include "files.h"
#include "registry.h"
#include "res/dialogs.h"
#include "restart.h"

namespace {

struct DetailSearch {
    const std::string *path;
    bool found;
};

BOOL CALLBACK FindDetail(HWND window, LPARAM param)
{
    DetailSearch *search = reinterpret_cast<DetailSearch *>(param);
    std::string detail;
    search->found = driver::ItemText(window, IDC_DETAIL, &detail) && detail == *search->path;
    return !search->found;
}

// Whether a progress dialog on screen shows path as the item being removed.
bool ShownAsRemoved(const std::string &path)
{
    DetailSearch search = {&path, false};
    EnumWindows(FindDetail, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class ScheduledDeletion : public UninstallerTest {
protected:
    // Holds the file without sharing, as a program using it would: no other
    // process can delete or open it until ReleaseAll.
    void Hold(const std::string &path)
    {
        held_.emplace_back(new e2e::HeldFile);
        std::string error;
        ASSERT_TRUE(held_.back()->Hold(path, 0, &error)) << error;
        heldPaths_.push_back(path);
    }

    void ReleaseAll() { held_.clear(); }

    // What has to wait for the restart: the held files in log order, then
    // the listed folders that still hold one of them, in log order.
    std::vector<std::string> ExpectedScheduled() const
    {
        std::vector<std::string> items;
        for (const std::string &file : app_.files)
            for (const std::string &held : heldPaths_)
                if (file == held)
                    items.push_back(file);
        for (const std::string &directory : app_.directories)
            for (const std::string &held : heldPaths_)
                if (held.compare(0, directory.size() + 1, directory + "\\") == 0) {
                    items.push_back(directory);
                    break;
                }
        return items;
    }

    // Installs, holds the given files, answers Yes (or runs unattended),
    // and checks the state before and after a restart.
    void RemoveWhileHolding(const std::vector<std::string> &files, bool unattended = false)
    {
        ASSERT_TRUE(InstallTestApp());
        for (const std::string &file : files)
            ASSERT_NO_FATAL_FAILURE(Hold(file));

        // Short names of everything that will be scheduled, taken while it exists.
        std::vector<std::string> wininitLines;
        std::vector<std::string> pendingNames;
        for (const std::string &item : ExpectedScheduled()) {
            std::string shortName = e2e::ShortPath(item);
            ASSERT_FALSE(shortName.empty()) << "no short name for " << item;
            wininitLines.push_back("NUL=" + shortName);
            pendingNames.push_back("\\??\\" + shortName);
        }

        if (unattended) {
            // Nothing on screen, and no restart: its exit code says one is
            // needed. A restart asked for would run wineboot now, or would
            // have emptied the lists checked below.
            driver::RunRecord run = RunUnattended("/S " + app_.logPath);
            ASSERT_TRUE(EndedWith(run, 3010));
            EXPECT_TRUE(NoWindowSeen(run));
            EXPECT_FALSE(e2e::RestartUnderWay());
        } else {
            // The restart dialog follows the success box; it is answered "&No".
            driver::RunRecord run = RunUninstaller(app_.logPath, [](const driver::MessageBoxView &box) {
                return box.restartDialog ? IDCANCEL : AnswerYes(box);
            });
            ASSERT_TRUE(EndedWith(run, 0));
            EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", true));
        }

        // What is in use waits, with the folders that hold it; the rest went,
        // the log (which was not in use) with its empty folder.
        EXPECT_TRUE(AppRemoved(ExpectedScheduled()));

        EXPECT_EQ(wininitLines, e2e::WininitRenameLines());
        std::vector<e2e::PendingOperation> pending;
        std::string error;
        ASSERT_TRUE(e2e::ReadPendingOperations(&pending, &error)) << error;
        std::vector<std::string> pendingFrom;
        for (const e2e::PendingOperation &operation : pending) {
            pendingFrom.push_back(operation.from);
            EXPECT_EQ("", operation.to) << "target of " << operation.from;
        }
        EXPECT_EQ(pendingNames, pendingFrom);

        // The program using the files ends; then Windows restarts.
        ReleaseAll();
        ASSERT_TRUE(e2e::SimulateRestart(&error)) << error;
        EXPECT_TRUE(AppRemoved()) << "after the restart";
    }

    std::vector<std::unique_ptr<e2e::HeldFile>> held_;
    std::vector<std::string> heldPaths_;
};

TEST_F(ScheduledDeletion, FileInUseIsDeletedAtRestart)
{
    RemoveWhileHolding({app_.files[3]});
}

TEST_F(ScheduledDeletion, TwoFilesInUseAreBothDeletedAtRestart)
{
    RemoveWhileHolding({app_.files[1], app_.files[4]});
}

TEST_F(ScheduledDeletion, UnattendedRemovalEndsWith3010AndLeavesTheRestartToTheCaller)
{
    RemoveWhileHolding({app_.files[3]}, true);
}

TEST_F(ScheduledDeletion, OtherProgramsLinesInWininitAreKept)
{
    // Another setup program scheduled work of its own; its lines and its
    // other section stay as they were, and each item of ours gets a line.
    std::string error;
    ASSERT_TRUE(e2e::WriteText(e2e::WininitPath(),
                               "[Other]\r\nkey=value\r\n[Rename]\r\nNUL=C:\\OTHER~1\\OLD.TMP\r\n"
                               "C:\\WINDOWS\\NEW.DLL=C:\\TEMP\\NEW.DLL\r\n",
                               &error))
        << error;
    ASSERT_TRUE(InstallTestApp());
    ASSERT_NO_FATAL_FAILURE(Hold(app_.files[1]));
    ASSERT_NO_FATAL_FAILURE(Hold(app_.files[4]));
    std::vector<std::string> lines = {"NUL=C:\\OTHER~1\\OLD.TMP", "C:\\WINDOWS\\NEW.DLL=C:\\TEMP\\NEW.DLL"};
    for (const std::string &item : ExpectedScheduled())
        lines.push_back("NUL=" + e2e::ShortPath(item));

    driver::RunRecord run = RunUninstaller(app_.logPath);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", true));
    EXPECT_EQ(lines, e2e::WininitRenameLines());
    EXPECT_EQ(std::vector<std::string>{"key=value"}, e2e::IniSectionLines(e2e::WininitPath(), "Other"));
}

// A DLL still loaded by a running program cannot be deleted, but it is
// renamed aside in its folder to a name that is its own 8.3 alias, and that
// name waits for the restart: nothing under the DLL's own path does. The
// application installed again before the restart keeps every file then,
// its DLL at the old path included, and the folders that hold them stay.
TEST_F(ScheduledDeletion, ALoadedDllIsRenamedAsideAndAReinstallSurvivesTheRestart)
{
    const std::string dll = e2e::ParentOf(app_.files[3]) + "\\Shared Helper Library.dll";
    app_.files.push_back(dll);
    app_.log.insert(app_.log.end() - 1, e2e::LogRecord{kFile, dll, ""});
    ASSERT_TRUE(InstallTestApp());
    const char *built = std::getenv("E2E_LOADED_LIBRARY");
    ASSERT_TRUE(built != nullptr && *built != '\0') << "E2E_LOADED_LIBRARY names no DLL";
    ASSERT_TRUE(CopyFileA(e2e::WindowsPathOfHostPath(built).c_str(), dll.c_str(), FALSE))
        << driver::ErrorText(GetLastError());
    std::unique_ptr<HINSTANCE__, BOOL(WINAPI *)(HMODULE)> loaded(LoadLibraryA(dll.c_str()), FreeLibrary);
    ASSERT_NE(nullptr, loaded.get()) << driver::ErrorText(GetLastError());

    driver::RunRecord run = RunUninstaller(app_.logPath);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", true));

    const std::string folder = e2e::ParentOf(dll);
    EXPECT_FALSE(e2e::FileExists(dll));
    std::vector<std::string> left = e2e::FolderEntries(folder);
    ASSERT_EQ(1u, left.size()) << folder;
    const std::string renamed = folder + "\\" + left[0];
    EXPECT_TRUE(left[0].size() == 12 && left[0].compare(0, 3, "~MU") == 0 && left[0].compare(8, 4, ".TMP") == 0)
        << left[0];
    EXPECT_EQ(e2e::ShortPath(folder) + "\\" + left[0], e2e::ShortPath(renamed));
    std::vector<std::string> lines = {"NUL=" + e2e::ShortPath(renamed)};
    std::vector<std::string> pendingNames = {"\\??\\" + e2e::ShortPath(renamed)};
    for (const std::string &directory : app_.directories)
        if (renamed.compare(0, directory.size() + 1, directory + "\\") == 0) {
            lines.push_back("NUL=" + e2e::ShortPath(directory));
            pendingNames.push_back("\\??\\" + e2e::ShortPath(directory));
        }
    EXPECT_EQ(lines, e2e::WininitRenameLines());
    std::vector<e2e::PendingOperation> pending;
    std::string error;
    ASSERT_TRUE(e2e::ReadPendingOperations(&pending, &error)) << error;
    std::vector<std::string> pendingFrom;
    for (const e2e::PendingOperation &operation : pending)
        pendingFrom.push_back(operation.from);
    EXPECT_EQ(pendingNames, pendingFrom);

    for (const std::string &file : app_.files) {
        ASSERT_TRUE(e2e::CreateDirectories(e2e::ParentOf(file), &error)) << error;
        ASSERT_TRUE(e2e::WriteText(file, "installed again as " + file, &error)) << error;
    }
    loaded.reset();
    ASSERT_TRUE(e2e::SimulateRestart(&error)) << error;
    EXPECT_FALSE(e2e::FileExists(renamed)) << renamed << " survived the restart";
    for (const std::string &file : app_.files) {
        std::vector<unsigned char> bytes;
        EXPECT_TRUE(e2e::ReadBytes(file, &bytes, &error)) << error;
        EXPECT_EQ("installed again as " + file, std::string(bytes.begin(), bytes.end()));
    }
}

// The user keeps notes in a folder of the application, beside a file a
// running program holds. That file and its own folder wait for the
// restart; the folders that hold the notes stay, without waiting for a
// restart that could not remove them, and stay after it too.
TEST_F(ScheduledDeletion, OnlyFoldersTheRestartEmptiesWaitForIt)
{
    ASSERT_TRUE(InstallTestApp());
    const std::string nested = app_.directories[0], data = app_.directories[1];
    const std::string notes = data + "\\My Own Notes.txt";
    std::string error;
    ASSERT_TRUE(e2e::WriteText(notes, "the user's, not the application's\r\n", &error)) << error;
    ASSERT_NO_FATAL_FAILURE(Hold(app_.files[3]));
    const std::vector<std::string> waiting = {e2e::ShortPath(app_.files[3]), e2e::ShortPath(nested)};

    driver::RunRecord run = RunUninstaller(app_.logPath, [](const driver::MessageBoxView &box) {
        return box.restartDialog ? IDCANCEL : AnswerYes(box);
    });
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", true));
    EXPECT_TRUE(AppRemoved({app_.files[3], nested, data, app_.directories[2], app_.directories[3]}));
    std::vector<std::string> lines, pendingFrom;
    for (const std::string &item : waiting)
        lines.push_back("NUL=" + item);
    EXPECT_EQ(lines, e2e::WininitRenameLines());
    std::vector<e2e::PendingOperation> pending;
    ASSERT_TRUE(e2e::ReadPendingOperations(&pending, &error)) << error;
    for (const e2e::PendingOperation &operation : pending)
        pendingFrom.push_back(operation.from);
    EXPECT_EQ((std::vector<std::string>{"\\??\\" + waiting[0], "\\??\\" + waiting[1]}), pendingFrom);

    ReleaseAll();
    ASSERT_TRUE(e2e::SimulateRestart(&error)) << error;
    EXPECT_TRUE(AppRemoved({data, app_.directories[2], app_.directories[3]})) << "after the restart";
    EXPECT_TRUE(e2e::FileExists(notes));
}

// A virus scanner reads a file the removal comes to, holding it without
// sharing for a moment: the removal waits, and the file goes then, with
// nothing left for a restart.
TEST_F(ScheduledDeletion, AFileAScannerHoldsForAMomentGoesAtOnce)
{
    ASSERT_TRUE(InstallTestApp());
    const std::string scanned = app_.files[1];
    e2e::HeldFile hold;
    std::string error;
    ASSERT_TRUE(hold.Hold(scanned, 0, &error)) << error;
    // The scanner lets go a moment after the removal shows the file, well
    // within the few seconds the removal waits for such holds.
    std::atomic<bool> runEnded(false), seen(false);
    std::thread scanner([&] {
        while (!runEnded && !ShownAsRemoved(scanned))
            Sleep(5);
        seen = !runEnded;
        Sleep(150);
        hold.Release();
    });
    driver::RunRecord run = RunUninstaller(app_.logPath);
    runEnded = true;
    scanner.join();
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(seen) << "the removal never showed " << scanned << " while it was held";
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", false));
    EXPECT_TRUE(AppRemoved());
    EXPECT_TRUE(NothingScheduled());
}

}  // namespace
