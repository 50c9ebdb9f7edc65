#include "removal/delete_or_schedule.h"

#include <algorithm>

#include "support/sim_fixture.h"

#define WININIT WININIT_PATH
#define APP_DIR "C:\\Program Files\\Long Application Name"

class DeleteOrScheduleTest : public SimTest {
protected:
    // The [Rename] section's lines, as the restart processing reads them.
    std::vector<std::string> RenameLines() { return sim::ProfileLines(WININIT, WININIT_RENAME_SECTION); }
};

TEST_F(DeleteOrScheduleTest, AFileNotInUseIsDeletedAtOnce)
{
    sim::AddFile(APP_DIR "\\readme.txt", "x");
    EXPECT_EQ(DELETED_AT_ONCE, DeleteOrSchedule(APP_DIR "\\readme.txt"));
    EXPECT_FALSE(sim::FileExists(APP_DIR "\\readme.txt"));
    EXPECT_EQ(0, g_rebootNeeded);
    EXPECT_FALSE(sim::FileExists(WININIT));
    EXPECT_TRUE(sim::PendingDeletes().empty());
}

// A separator after a file's name makes it a folder's name, which Windows
// finds nothing under: the file, even one in use, is neither deleted, nor
// renamed aside into a folder of its own name, nor scheduled.
TEST_F(DeleteOrScheduleTest, AFileNamedAsAFolderIsNotThere)
{
    sim::AddFile(APP_DIR "\\tool.exe", "x");
    sim::LoadImage(APP_DIR "\\tool.exe");
    EXPECT_EQ(DELETE_NOTHING_THERE, DeleteOrSchedule(APP_DIR "\\tool.exe\\"));
    EXPECT_EQ(std::vector<std::string>{APP_DIR "\\tool.exe"}, sim::ListTree(APP_DIR));
    EXPECT_TRUE(sim::PendingDeletes().empty());
    EXPECT_EQ(0, g_rebootNeeded);
}

TEST_F(DeleteOrScheduleTest, AnEmptyDirectoryIsRemovedAtOnce)
{
    sim::AddDir(APP_DIR "\\Empty Folder");
    EXPECT_EQ(DELETED_AT_ONCE, DeleteOrSchedule(APP_DIR "\\Empty Folder"));
    EXPECT_FALSE(sim::DirExists(APP_DIR "\\Empty Folder"));
    EXPECT_EQ(0, g_rebootNeeded);
}

TEST_F(DeleteOrScheduleTest, AFileHeldWithoutDeleteSharingIsScheduledByItsShortPathInBothMechanisms)
{
    std::string path = APP_DIR "\\Application Library.dll";
    sim::AddFile(path, "dll");
    sim::HoldFile(path);
    std::string shortPath = sim::ShortPath(path);
    ASSERT_NE(path, shortPath);

    EXPECT_EQ(DELETE_SCHEDULED, DeleteOrSchedule(path.c_str()));
    EXPECT_TRUE(sim::FileExists(path));
    EXPECT_EQ(std::vector<std::string>{shortPath}, sim::PendingDeletes());
    // It cannot be renamed aside either, however long the removal waits.
    std::vector<sim::Call> moves = sim::CallsTo("MoveFileExA");
    ASSERT_LE(2u, moves.size());
    EXPECT_EQ(path, moves[0].args[0]);
    EXPECT_EQ("0x0", moves[0].args[2]);
    EXPECT_EQ((std::vector<std::string>{shortPath, "(null)", "0x4"}), moves.back().args);
    EXPECT_EQ(std::vector<std::string>{"NUL=" + shortPath}, RenameLines());
    EXPECT_EQ(1, g_rebootNeeded);
}

// A loaded DLL is renamed within its folder to a name that is its own 8.3
// alias, and that name waits for the restart: a new install's DLL at the
// old path stays then. A second removal before the restart finds the first
// one's name taken.
TEST_F(DeleteOrScheduleTest, ALoadedFileIsRenamedAsideAndScheduledUnderItsNewName)
{
    std::string path = APP_DIR "\\Application Library.dll";
    std::vector<std::string> aside;
    for (const char *install : {"first", "second"}) {
        sim::AddFile(path, install);
        sim::LoadImage(path);
        EXPECT_EQ(DELETE_SCHEDULED, DeleteOrSchedule(path.c_str()));
        EXPECT_FALSE(sim::FileExists(path));
        std::vector<std::string> left = sim::ListTree(APP_DIR);
        ASSERT_EQ(aside.size() + 1, left.size());
        for (const std::string &item : left)
            if (std::find(aside.begin(), aside.end(), item) == aside.end())
                aside.push_back(item);
        const std::string &renamed = aside.back();
        EXPECT_EQ(install, sim::FileContent(renamed));
        std::string name = renamed.substr(renamed.rfind('\\') + 1);
        EXPECT_TRUE(name.size() == 12 && name.compare(0, 3, "~MU") == 0 && name.compare(8, 4, ".TMP") == 0) << name;
        std::string shortRenamed = sim::ShortPath(APP_DIR) + "\\" + name;
        EXPECT_EQ(shortRenamed, sim::ShortPath(renamed)) << "the name is its own 8.3 alias";
        EXPECT_EQ(shortRenamed, sim::PendingDeletes().back());
        EXPECT_EQ("NUL=" + shortRenamed, RenameLines().back());
    }
    EXPECT_NE(aside[0], aside[1]);
    EXPECT_EQ(2u, sim::PendingDeletes().size());
    EXPECT_EQ(1, g_rebootNeeded);
    EXPECT_TRUE(sim::CallsTo("Sleep").empty()) << "a loaded DLL is renamed at once";

    // Named again, the files are found renamed, waiting already.
    EXPECT_EQ(DELETE_WAITING_ALREADY, DeleteOrSchedule(path.c_str()));
    EXPECT_EQ(2u, sim::PendingDeletes().size()) << "nothing is scheduled twice";
}

// A file that could only be renamed aside, named again when it could go at
// once: deleted then, it would leave its scheduled deletion behind, to delete
// whatever a later install puts under that name at the restart.
TEST_F(DeleteOrScheduleTest, AFileRenamedAsideThatWaitsIsNotDeletedWhenNamedAgain)
{
    std::string path = APP_DIR "\\twice.txt";
    sim::AddFile(path);
    sim::FailCall("DeleteFileA", ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(DELETE_SCHEDULED, DeleteOrSchedule(path.c_str()));
    std::vector<std::string> renamed = sim::ListTree(APP_DIR);
    ASSERT_EQ(1u, renamed.size());
    EXPECT_EQ(DELETE_WAITING_ALREADY, DeleteOrSchedule(path.c_str()));
    EXPECT_EQ(renamed, sim::ListTree(APP_DIR));
    EXPECT_EQ(std::vector<std::string>{sim::ShortPath(renamed[0])}, sim::PendingDeletes());
    EXPECT_EQ(1, g_rebootNeeded);
}

// Read-only items go at once, and what cannot go loses its read-only
// attribute alone, so that the restart can delete it.
TEST_F(DeleteOrScheduleTest, TheReadOnlyAttributeStopsNoDeletion)
{
    const DWORD hiddenReadOnly = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    sim::AddFile(APP_DIR "\\from cd.txt");
    sim::SetAttributes(APP_DIR "\\from cd.txt", hiddenReadOnly);
    sim::AddDir(APP_DIR "\\From CD");
    sim::SetAttributes(APP_DIR "\\From CD", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(DELETED_AT_ONCE, DeleteOrSchedule(APP_DIR "\\from cd.txt"));
    EXPECT_EQ(DELETED_AT_ONCE, DeleteOrSchedule(APP_DIR "\\From CD"));
    EXPECT_EQ(std::vector<std::string>{}, sim::ListTree(APP_DIR));
    EXPECT_EQ(0, g_rebootNeeded);

    std::string held = APP_DIR "\\held.txt";
    sim::AddFile(held);
    sim::SetAttributes(held, hiddenReadOnly);
    sim::HoldFile(held);
    EXPECT_EQ(DELETE_SCHEDULED, DeleteOrSchedule(held.c_str()));
    EXPECT_EQ((DWORD)(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE), sim::Attributes(held));
    EXPECT_EQ(std::vector<std::string>{sim::ShortPath(held)}, sim::PendingDeletes());
}

// Windows deletes no folder at the restart that still holds something: a
// folder goes then only when all it holds waits for the restart too, on
// Windows NT by the session manager's list, on Windows 95 by WININIT.INI's.
TEST_F(DeleteOrScheduleTest, AFolderWaitsForTheRestartOnlyWhenTheRestartEmptiesIt)
{
    for (DWORD version : {0x1DB10106u, 0xC0000004u}) {
        SCOPED_TRACE(version);
        PrepareProgramWorld();
        sim::SetVersion(version);
        const std::string folder = APP_DIR "\\Data Files";
        const std::string held = folder + "\\in use.dat";
        sim::AddFile(held);
        sim::AddFile(folder + "\\my notes.txt");
        sim::HoldFile(held);
        EXPECT_EQ(DELETE_SCHEDULED, DeleteOrSchedule(held.c_str()));
        // The user's own file keeps the folder, restart or not.
        EXPECT_EQ(DELETE_FOLDER_KEPT, DeleteOrSchedule(folder.c_str()));
        EXPECT_EQ(std::vector<std::string>{sim::ShortPath(held)}, sim::PendingDeletes());
        EXPECT_EQ(std::vector<std::string>{"NUL=" + sim::ShortPath(held)}, RenameLines());

        EXPECT_EQ(DELETED_AT_ONCE, DeleteOrSchedule((folder + "\\my notes.txt").c_str()));
        std::string shortFolder = sim::ShortPath(folder);
        EXPECT_EQ(DELETE_SCHEDULED, DeleteOrSchedule(folder.c_str()));
        EXPECT_EQ(DELETE_WAITING_ALREADY, DeleteOrSchedule(folder.c_str())) << "scheduled once";
        EXPECT_TRUE(sim::DirExists(folder));
        EXPECT_EQ((std::vector<std::string>{sim::ShortPath(held), shortFolder}), sim::PendingDeletes());
        EXPECT_EQ((std::vector<std::string>{"NUL=" + sim::ShortPath(held), "NUL=" + shortFolder}), RenameLines());
        EXPECT_EQ(1, g_rebootNeeded);
    }
}

// A virus scanner holds a file or folder it reads for a moment: it goes
// once let go. Files held for good cost a few seconds in all, however many.
TEST_F(DeleteOrScheduleTest, WhatAnotherProgramHoldsForAMomentIsWaitedFor)
{
    auto slept = [] {
        DWORD total = 0;
        for (const sim::Call &call : sim::CallsTo("Sleep"))
            total += (DWORD)std::stoul(call.args[0]);
        return total;
    };
    const std::string scanned = APP_DIR "\\scanned.txt";
    const std::string folder = APP_DIR "\\Scanned Folder";
    sim::AddFile(scanned);
    sim::AddDir(folder);
    sim::HoldFile(scanned, FILE_SHARE_READ, 250);
    sim::HoldFile(folder, 0, 450);
    EXPECT_EQ(DELETED_AT_ONCE, DeleteOrSchedule(scanned.c_str()));
    EXPECT_EQ(DELETED_AT_ONCE, DeleteOrSchedule(folder.c_str()));
    EXPECT_EQ(std::vector<std::string>{}, sim::ListTree(APP_DIR));
    EXPECT_EQ(500u, slept());
    EXPECT_EQ(0, g_rebootNeeded);

    for (const char *name : {"\\a.txt", "\\b.txt", "\\c.txt"}) {
        sim::AddFile(std::string(APP_DIR) + name);
        sim::HoldFile(std::string(APP_DIR) + name);
        EXPECT_EQ(DELETE_SCHEDULED, DeleteOrSchedule((std::string(APP_DIR) + name).c_str()));
    }
    EXPECT_EQ(3000u, slept());
    EXPECT_EQ(3u, sim::PendingDeletes().size());
}

TEST_F(DeleteOrScheduleTest, AnItemThatIsGoneIsNotScheduled)
{
    EXPECT_EQ(DELETE_NOTHING_THERE, DeleteOrSchedule(APP_DIR "\\never.txt"));
    EXPECT_EQ(DELETE_NOTHING_THERE, DeleteOrSchedule("C:\\No Such Folder\\never.txt"));
    EXPECT_TRUE(sim::PendingDeletes().empty());
    EXPECT_FALSE(sim::FileExists(WININIT));
    EXPECT_EQ(0, g_rebootNeeded);
}

TEST_F(DeleteOrScheduleTest, EveryScheduledItemGetsItsOwnLineAndOthersLinesStay)
{
    sim::AddFile(WININIT, "[boot]\r\nshell=explorer\r\n[Rename]\r\nNUL=C:\\OTHER.TMP\r\nC:\\NEW.DLL=C:\\OLD.DLL\r\n");
    std::string first = APP_DIR "\\first file.txt";
    std::string second = APP_DIR "\\second file.txt";
    sim::AddFile(first);
    sim::AddFile(second);
    sim::HoldFile(first);
    sim::HoldFile(second);

    EXPECT_EQ(DELETE_SCHEDULED, DeleteOrSchedule(first.c_str()));
    EXPECT_EQ(DELETE_SCHEDULED, DeleteOrSchedule(second.c_str()));
    EXPECT_EQ(DELETE_WAITING_ALREADY, DeleteOrSchedule(first.c_str()));
    EXPECT_EQ((std::vector<std::string>{sim::ShortPath(first), sim::ShortPath(second)}), sim::PendingDeletes());

    EXPECT_EQ((std::vector<std::string>{"NUL=C:\\OTHER.TMP", "C:\\NEW.DLL=C:\\OLD.DLL",
                                        "NUL=" + sim::ShortPath(first), "NUL=" + sim::ShortPath(second)}),
              RenameLines());
    EXPECT_NE(std::string::npos, sim::FileContent(WININIT).find("[boot]\r\nshell=explorer\r\n"));
}

// Without a short form (the full path is scheduled, for Windows NT only),
// without the Windows folder, or with WININIT.INI unwritable, a held file
// is still scheduled, and no file is written anywhere: only the result
// tells the line is missing.
TEST_F(DeleteOrScheduleTest, WithoutAWininitLineTheFileIsStillScheduled)
{
    for (const char *failing : {"GetShortPathNameA", "GetWindowsDirectoryA", "WritePrivateProfileSectionA"}) {
        SetUp();
        std::string path = APP_DIR "\\locked file.txt";
        sim::AddFile(path);
        sim::HoldFile(path);
        sim::FailCall(failing, ERROR_ACCESS_DENIED);
        std::vector<std::string> before = sim::ListTree("C:\\");
        EXPECT_EQ(DELETE_SCHEDULED_WITHOUT_LINE, DeleteOrSchedule(path.c_str())) << failing;
        EXPECT_EQ(1u, sim::PendingDeletes().size()) << failing;
        if (std::string(failing) == "GetShortPathNameA")
            EXPECT_EQ(std::vector<std::string>{path}, sim::PendingDeletes());
        EXPECT_EQ(before, sim::ListTree("C:\\")) << failing << ": a file was written";
        EXPECT_EQ(1, g_rebootNeeded) << failing;
    }
}

TEST_F(DeleteOrScheduleTest, ASectionThatCannotBeReadIsNotWrittenOver)
{
    const std::string before = "[Rename]\r\nNUL=C:\\OTHER.TMP\r\n";
    sim::AddFile(WININIT, before);
    std::string path = APP_DIR "\\locked.txt";
    sim::AddFile(path);
    sim::HoldFile(path);
    sim::FailCall("GetPrivateProfileSectionA", ERROR_SHARING_VIOLATION);
    EXPECT_EQ(DELETE_SCHEDULED_WITHOUT_LINE, DeleteOrSchedule(path.c_str()));
    EXPECT_EQ(before, sim::FileContent(WININIT)) << "the other program's line stays";
    EXPECT_EQ(std::vector<std::string>{sim::ShortPath(path)}, sim::PendingDeletes());
    EXPECT_EQ(1, g_rebootNeeded);
}

TEST_F(DeleteOrScheduleTest, AnItemOnAnUnreachableShareIsNotScheduled)
{
    EXPECT_EQ(DELETE_NOTHING_THERE, DeleteOrSchedule("\\\\server\\share\\gone.txt"));
    EXPECT_TRUE(sim::PendingDeletes().empty());
    EXPECT_FALSE(sim::FileExists(WININIT));
    EXPECT_EQ(0, g_rebootNeeded) << "no restart is offered for it";
}
