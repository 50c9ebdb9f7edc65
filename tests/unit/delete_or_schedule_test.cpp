#include "removal/delete_or_schedule.h"
#include "support/sim_fixture.h"

#define WININIT "C:\\WINDOWS\\WININIT.INI"
#define APP_DIR "C:\\Program Files\\Long Application Name"

class DeleteOrScheduleTest : public SimTest {
protected:
    // The [Rename] section's lines, as the restart processing reads them.
    std::vector<std::string> RenameLines()
    {
        std::vector<std::string> lines;
        if (!sim::FileExists(WININIT))
            return lines;
        std::string content = sim::FileContent(WININIT);
        bool inRename = false;
        size_t start = 0;
        while (start < content.size()) {
            size_t end = content.find("\r\n", start);
            EXPECT_NE(std::string::npos, end) << "every line ends in CR LF";
            if (end == std::string::npos)
                break;
            std::string line = content.substr(start, end - start);
            start = end + 2;
            if (!line.empty() && line[0] == '[')
                inRename = line == "[Rename]";
            else if (inRename)
                lines.push_back(line);
        }
        return lines;
    }
};

TEST_F(DeleteOrScheduleTest, AFileNotInUseIsDeletedAtOnce)
{
    sim::AddFile(APP_DIR "\\readme.txt", "x");
    EXPECT_EQ(1, DeleteOrSchedule(APP_DIR "\\readme.txt"));
    EXPECT_FALSE(sim::FileExists(APP_DIR "\\readme.txt"));
    EXPECT_EQ(0, g_rebootNeeded);
    EXPECT_FALSE(sim::FileExists(WININIT));
    EXPECT_TRUE(sim::PendingDeletes().empty());
}

TEST_F(DeleteOrScheduleTest, AnEmptyDirectoryIsRemovedAtOnce)
{
    sim::AddDir(APP_DIR "\\Empty Folder");
    EXPECT_EQ(1, DeleteOrSchedule(APP_DIR "\\Empty Folder"));
    EXPECT_FALSE(sim::DirExists(APP_DIR "\\Empty Folder"));
    EXPECT_EQ(0, g_rebootNeeded);
}

TEST_F(DeleteOrScheduleTest, AFileInUseIsScheduledByItsShortPathInBothMechanisms)
{
    std::string path = APP_DIR "\\Application Library.dll";
    sim::AddFile(path, "dll");
    sim::HoldFile(path);
    std::string shortPath = sim::ShortPath(path);
    ASSERT_NE(path, shortPath);

    EXPECT_NE(0, DeleteOrSchedule(path.c_str()));
    EXPECT_TRUE(sim::FileExists(path));
    EXPECT_EQ(std::vector<std::string>{shortPath}, sim::PendingDeletes());
    std::vector<sim::Call> moves = sim::CallsTo("MoveFileExA");
    ASSERT_EQ(1u, moves.size());
    EXPECT_EQ((std::vector<std::string>{shortPath, "(null)", "0x4"}), moves[0].args);
    EXPECT_EQ(std::vector<std::string>{"NUL=" + shortPath}, RenameLines());
    EXPECT_EQ(1, g_rebootNeeded);
}

TEST_F(DeleteOrScheduleTest, ADirectoryThatStillHoldsFilesIsScheduled)
{
    sim::AddFile(APP_DIR "\\Data Files\\left.dat");
    EXPECT_NE(0, DeleteOrSchedule(APP_DIR "\\Data Files"));
    EXPECT_TRUE(sim::DirExists(APP_DIR "\\Data Files"));
    std::string shortPath = sim::ShortPath(APP_DIR "\\Data Files");
    EXPECT_EQ(std::vector<std::string>{shortPath}, sim::PendingDeletes());
    EXPECT_EQ(std::vector<std::string>{"NUL=" + shortPath}, RenameLines());
    EXPECT_EQ(1, g_rebootNeeded);
}

TEST_F(DeleteOrScheduleTest, AnItemThatIsGoneIsNotScheduled)
{
    EXPECT_EQ(0, DeleteOrSchedule(APP_DIR "\\never.txt"));
    EXPECT_EQ(0, DeleteOrSchedule("C:\\No Such Folder\\never.txt"));
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

    EXPECT_NE(0, DeleteOrSchedule(first.c_str()));
    EXPECT_NE(0, DeleteOrSchedule(second.c_str()));
    EXPECT_NE(0, DeleteOrSchedule(first.c_str()));

    EXPECT_EQ((std::vector<std::string>{"NUL=C:\\OTHER.TMP", "C:\\NEW.DLL=C:\\OLD.DLL",
                                        "NUL=" + sim::ShortPath(first), "NUL=" + sim::ShortPath(second)}),
              RenameLines());
    EXPECT_NE(std::string::npos, sim::FileContent(WININIT).find("[boot]\r\nshell=explorer\r\n"));
}

TEST_F(DeleteOrScheduleTest, WithoutAShortFormTheFullPathIsScheduledForWindowsNtOnly)
{
    std::string path = APP_DIR "\\locked file.txt";
    sim::AddFile(path);
    sim::HoldFile(path);
    sim::FailCall("GetShortPathNameA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(0, DeleteOrSchedule(path.c_str()));
    EXPECT_EQ(std::vector<std::string>{path}, sim::PendingDeletes());
    EXPECT_FALSE(sim::FileExists(WININIT));
    EXPECT_EQ(1, g_rebootNeeded);
}

TEST_F(DeleteOrScheduleTest, AFailedWininitWriteIsOnlySeenInTheResult)
{
    std::string path = APP_DIR "\\locked.txt";
    sim::AddFile(path);
    sim::HoldFile(path);
    sim::FailCall("WritePrivateProfileSectionA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(0, DeleteOrSchedule(path.c_str()));
    EXPECT_EQ(1u, sim::PendingDeletes().size());
    EXPECT_EQ(1, g_rebootNeeded);
}

TEST_F(DeleteOrScheduleTest, NoWindowsDirectoryMeansNoWininitLine)
{
    std::string path = APP_DIR "\\locked.txt";
    sim::AddFile(path);
    sim::HoldFile(path);
    sim::FailCall("GetWindowsDirectoryA", ERROR_ACCESS_DENIED);
    std::vector<std::string> before = sim::ListTree("C:\\");
    EXPECT_EQ(0, DeleteOrSchedule(path.c_str()));
    EXPECT_EQ(1u, sim::PendingDeletes().size());
    EXPECT_EQ(before, sim::ListTree("C:\\")) << "no file is written anywhere";
    EXPECT_EQ(1, g_rebootNeeded);
}

TEST_F(DeleteOrScheduleTest, ASectionThatCannotBeReadIsNotWrittenOver)
{
    const std::string before = "[Rename]\r\nNUL=C:\\OTHER.TMP\r\n";
    sim::AddFile(WININIT, before);
    std::string path = APP_DIR "\\locked.txt";
    sim::AddFile(path);
    sim::HoldFile(path);
    sim::FailCall("GetPrivateProfileSectionA", ERROR_SHARING_VIOLATION);
    EXPECT_EQ(0, DeleteOrSchedule(path.c_str()));
    EXPECT_EQ(before, sim::FileContent(WININIT)) << "the other program's line stays";
    EXPECT_EQ(std::vector<std::string>{sim::ShortPath(path)}, sim::PendingDeletes());
    EXPECT_EQ(1, g_rebootNeeded);
}

TEST_F(DeleteOrScheduleTest, AnItemOnAnUnreachableShareIsNotScheduled)
{
    EXPECT_EQ(0, DeleteOrSchedule("\\\\server\\share\\gone.txt"));
    EXPECT_TRUE(sim::PendingDeletes().empty());
    EXPECT_FALSE(sim::FileExists(WININIT));
    EXPECT_EQ(0, g_rebootNeeded) << "no restart is offered for it";
}
