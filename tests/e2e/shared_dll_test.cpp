// Shared DLLs, against Wine's own registry: each SHAREDDLL record releases
// one reference under HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs;
// a DLL goes, with its count, only when the count reaches zero.
#include "uninstaller_test.h"

#include "files.h"
#include "install_log.h"
#include "progman.h"
#include "registry.h"
#include "restart.h"
#include "support/machine_names.h"

namespace {


class SharedDll : public UninstallerTest {
protected:
    void TearDown() override
    {
        std::string error;
        for (const std::string &name : seeded_)
            EXPECT_TRUE(e2e::DeleteValue(HKEY_LOCAL_MACHINE, e2e::kSharedDllsKey, name, &error)) << error;
    }

    // A DLL file of the application, listed in the log, with its count
    // seeded as given (or none when count is null).
    std::string AddDll(const std::string &name, const e2e::RegistryValue *count)
    {
        const std::string path = folder_ + "\\System Files\\" + name;
        std::string error;
        EXPECT_TRUE(e2e::CreateDirectories(e2e::ParentOf(path), &error)) << error;
        EXPECT_TRUE(e2e::WriteText(path, "a shared library of the tests\r\n", &error)) << error;
        app_.log.insert(app_.log.end() - 1, e2e::LogRecord{kSharedDll, path, ""});
        // Whatever an earlier run left is replaced.
        EXPECT_TRUE(e2e::DeleteValue(HKEY_LOCAL_MACHINE, e2e::kSharedDllsKey, path, &error)) << error;
        if (count != nullptr)
            Seed(path, *count);
        return path;
    }

    void Seed(const std::string &name, const e2e::RegistryValue &count)
    {
        std::string error;
        EXPECT_TRUE(e2e::SetValue(HKEY_LOCAL_MACHINE, e2e::kSharedDllsKey, name, count, &error)) << error;
        seeded_.push_back(name);
    }

    // The value as it stands, or "none".
    std::string CountOf(const std::string &path)
    {
        e2e::RegistryValue value;
        return e2e::ReadValue(HKEY_LOCAL_MACHINE, e2e::kSharedDllsKey, path, &value) ? e2e::Describe(value) : "none";
    }

    std::vector<std::string> seeded_;
};

TEST_F(SharedDll, CountsAreReleasedOnePerApplication)
{
    const e2e::RegistryValue one = e2e::DwordValue(1);
    const e2e::RegistryValue two = e2e::DwordValue(2);
    const e2e::RegistryValue binaryThree = e2e::BinaryValue({3, 0, 0, 0});
    const std::string last = AddDll("Last User.dll", &one);
    const std::string shared = AddDll("Shared With Another.dll", &two);
    const std::string binary = AddDll("Binary Count.dll", &binaryThree);
    const std::string uncounted = AddDll("Not Counted.dll", nullptr);
    // Another application's DLL, not in the log.
    const std::string others = "C:\\Other Application\\Its Own.dll";
    Seed(others, e2e::DwordValue(5));

    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUninstaller(app_.logPath);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", false));

    EXPECT_EQ("none", CountOf(last));
    EXPECT_FALSE(e2e::FileExists(last)) << last;
    EXPECT_EQ(e2e::Describe(e2e::DwordValue(1)), CountOf(shared));
    EXPECT_TRUE(e2e::FileExists(shared)) << shared;
    EXPECT_EQ(e2e::Describe(e2e::BinaryValue({2, 0, 0, 0})), CountOf(binary));
    EXPECT_TRUE(e2e::FileExists(binary)) << binary;
    EXPECT_EQ("none", CountOf(uncounted));
    EXPECT_TRUE(e2e::FileExists(uncounted)) << uncounted;
    EXPECT_EQ(e2e::Describe(e2e::DwordValue(5)), CountOf(others));
}

// A removal ended from outside (Task Manager, a logoff) after its first
// release, and then run again: each count is lowered once, and the note of
// what was released goes with the log. The test's Program Manager ends the
// uninstaller at the group between the two DLLs.
TEST_F(SharedDll, ARemovalEndedHalfwayAndRunAgainLowersEachCountOnce)
{
    const e2e::RegistryValue two = e2e::DwordValue(2);
    const std::string first = AddDll("First Shared.dll", &two);
    app_.log.insert(app_.log.end() - 1, e2e::LogRecord{kProgramGroup, "", "Ended Here"});
    const std::string second = AddDll("Second Shared.dll", &two);
    ASSERT_TRUE(InstallTestApp());
    std::string error;
    e2e::ProgramManagerOutOfReach winesOwn;
    ASSERT_TRUE(winesOwn.Hide(&error)) << error;
    e2e::RecordingProgramManager progman;
    int commands = 0;
    ASSERT_TRUE(progman.Start(
        [this, &commands](const std::string &) {
            if (commands++ == 0)
                TerminateProcess(program_.handle(), 1);
        },
        &error))
        << error;

    driver::RunRecord ended = RunUninstaller(app_.logPath);
    ASSERT_TRUE(EndedWith(ended, 1)) << "ended from outside";
    EXPECT_EQ(e2e::Describe(e2e::DwordValue(1)), CountOf(first));
    EXPECT_EQ(e2e::Describe(two), CountOf(second));
    EXPECT_TRUE(e2e::FileExists(app_.logPath));

    driver::RunRecord again = RunUninstaller(app_.logPath);
    ASSERT_TRUE(EndedWith(again, 0));
    EXPECT_TRUE(CompletionBoxes(again, 1, app_.name + " Uninstall", false));
    EXPECT_EQ(e2e::Describe(e2e::DwordValue(1)), CountOf(first));
    EXPECT_EQ(e2e::Describe(e2e::DwordValue(1)), CountOf(second));
    EXPECT_TRUE(e2e::FileExists(first)) << first;
    EXPECT_TRUE(e2e::FileExists(second)) << second;
    EXPECT_TRUE(AppRemoved());
    EXPECT_FALSE(e2e::KeyExists(HKEY_LOCAL_MACHINE, JOURNAL_KEY));
    EXPECT_EQ((std::vector<std::string>(2, std::string("[DeleteGroup(\"Ended Here\")]", 28))), progman.Commands());
}

TEST_F(SharedDll, CountsOfOtherSizesAndZero)
{
    // A count of fewer than 4 bytes is its low-order bytes and keeps its
    // size; a longer value and a count of 0 are left alone, and so are
    // their DLLs.
    const e2e::RegistryValue oneByteTwo = e2e::BinaryValue({2});
    const e2e::RegistryValue oneByteOne = e2e::BinaryValue({1});
    const e2e::RegistryValue eightBytes = e2e::BinaryValue({1, 0, 0, 0, 0, 0, 0, 0});
    const e2e::RegistryValue empty = e2e::BinaryValue({});
    const e2e::RegistryValue zero = e2e::DwordValue(0);
    const std::string shortCount = AddDll("Short Count.dll", &oneByteTwo);
    const std::string shortLast = AddDll("Short Last Count.dll", &oneByteOne);
    const std::string wide = AddDll("Wide Count.dll", &eightBytes);
    const std::string emptyCount = AddDll("Empty Count.dll", &empty);
    const std::string zeroCount = AddDll("Zero Count.dll", &zero);

    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUninstaller(app_.logPath);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", false));

    EXPECT_EQ(e2e::Describe(e2e::BinaryValue({1})), CountOf(shortCount));
    EXPECT_TRUE(e2e::FileExists(shortCount)) << shortCount;
    EXPECT_EQ("none", CountOf(shortLast));
    EXPECT_FALSE(e2e::FileExists(shortLast)) << shortLast;
    EXPECT_EQ(e2e::Describe(eightBytes), CountOf(wide));
    EXPECT_TRUE(e2e::FileExists(wide)) << wide;
    EXPECT_EQ(e2e::Describe(empty), CountOf(emptyCount));
    EXPECT_TRUE(e2e::FileExists(emptyCount)) << emptyCount;
    EXPECT_EQ(e2e::Describe(zero), CountOf(zeroCount));
    EXPECT_TRUE(e2e::FileExists(zeroCount)) << zeroCount;
}

TEST_F(SharedDll, DllInUseAtItsLastCountIsDeletedAtRestart)
{
    const e2e::RegistryValue one = e2e::DwordValue(1);
    const std::string dll = AddDll("In Use.dll", &one);
    ASSERT_TRUE(InstallTestApp());
    e2e::HeldFile held;
    std::string error;
    ASSERT_TRUE(held.Hold(dll, 0, &error)) << error;
    const std::string shortName = e2e::ShortPath(dll);
    ASSERT_FALSE(shortName.empty()) << dll;

    driver::RunRecord run = RunUninstaller(app_.logPath);
    ASSERT_TRUE(EndedWith(run, 0));
    // The restart dialog follows the success box, and is answered "&No".
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", true));

    // The count goes at once; the file waits for the restart.
    EXPECT_EQ("none", CountOf(dll));
    EXPECT_TRUE(e2e::FileExists(dll)) << dll;
    EXPECT_EQ(std::vector<std::string>{"NUL=" + shortName}, e2e::WininitRenameLines());
    std::vector<e2e::PendingOperation> pending;
    ASSERT_TRUE(e2e::ReadPendingOperations(&pending, &error)) << error;
    ASSERT_EQ(1u, pending.size());
    EXPECT_EQ("\\??\\" + shortName, pending[0].from);
    EXPECT_EQ("", pending[0].to);

    held.Release();
    ASSERT_TRUE(e2e::SimulateRestart(&error)) << error;
    EXPECT_FALSE(e2e::FileExists(dll)) << dll << " survived the restart";
}

}  // namespace
