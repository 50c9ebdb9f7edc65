// What only the 32-bit uninstaller meets on 64-bit Windows. A 32-bit setup
// program (these tests, built for i686 like it) wrote the application's
// Uninstall entry and SharedDLLs counts into the registry's 32-bit view,
// and a file it named C:\windows\system32\... into SysWOW64. The removal
// takes them from there and leaves alone what a 64-bit program keeps under
// the same names in the 64-bit view and in the real System32.
#include "uninstaller_test.h"

#include "files.h"
#include "install_log.h"
#include "registry.h"

namespace {

const char kSystemDll[] = "C:\\windows\\system32\\Morvane E2E WOW64.dll";

// While it lives, this thread's file calls reach the real System32, not
// SysWOW64.
class RealSystem32 {
public:
    RealSystem32() : redirected_(Wow64DisableWow64FsRedirection(&old_) != 0) {}
    ~RealSystem32()
    {
        if (redirected_)
            Wow64RevertWow64FsRedirection(old_);
    }
    bool ok() const { return redirected_; }

private:
    PVOID old_ = NULL;
    bool redirected_;
};

class Wow64 : public UninstallerTest {
protected:
    void TearDown() override
    {
        std::string error;
        EXPECT_TRUE(e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, app_.UninstallKey(), &error, KEY_WOW64_64KEY)) << error;
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
            EXPECT_TRUE(e2e::DeleteValue(HKEY_LOCAL_MACHINE, e2e::kSharedDllsKey, shared_, &error, view)) << error;
        RealSystem32 real;
        DeleteFileA(kSystemDll);
    }

    std::string CountOf(const std::string &path, REGSAM view)
    {
        e2e::RegistryValue value;
        return e2e::ReadValue(HKEY_LOCAL_MACHINE, e2e::kSharedDllsKey, path, &value, view) ? e2e::Describe(value)
                                                                                     : "none";
    }

    std::string shared_;
};

TEST_F(Wow64, TheSetupsViewIsRemovedAndTheSixtyFourBitNamesakesStay)
{
    std::string error;
    // A DLL the application shares, counted once in the 32-bit view; a
    // 64-bit program counts a DLL of the same path three times in its own.
    shared_ = folder_ + "\\Common Files\\Shared Library.dll";
    ASSERT_TRUE(e2e::CreateDirectories(e2e::ParentOf(shared_), &error)) << error;
    ASSERT_TRUE(e2e::WriteText(shared_, "a shared library\r\n", &error)) << error;
    ASSERT_TRUE(e2e::SetValue(HKEY_LOCAL_MACHINE, e2e::kSharedDllsKey, shared_, e2e::DwordValue(1), &error)) << error;
    ASSERT_TRUE(e2e::SetValue(HKEY_LOCAL_MACHINE, e2e::kSharedDllsKey, shared_, e2e::DwordValue(3), &error,
                              KEY_WOW64_64KEY))
        << error;
    app_.log.insert(app_.log.end() - 1, e2e::LogRecord{kSharedDll, shared_, ""});

    // The setup's system file lands in SysWOW64; the real System32 holds a
    // 64-bit file of the same name.
    ASSERT_TRUE(e2e::WriteText(kSystemDll, "a 32-bit library\r\n", &error)) << error;
    {
        RealSystem32 real;
        ASSERT_TRUE(real.ok()) << "no WOW64 file-system redirection: " << driver::ErrorText(GetLastError());
        ASSERT_TRUE(e2e::WriteText(kSystemDll, "a 64-bit library\r\n", &error)) << error;
    }
    app_.log.insert(app_.log.end() - 1, e2e::LogRecord{kFile, kSystemDll, ""});

    // A 64-bit application's entry of the same name.
    ASSERT_TRUE(e2e::CreateKeyWithValues(HKEY_LOCAL_MACHINE, app_.UninstallKey(),
                                         {{"DisplayName", "a 64-bit namesake"}}, &error, KEY_WOW64_64KEY))
        << error;

    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUninstaller(app_.logPath);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", false));

    EXPECT_FALSE(e2e::KeyExists(HKEY_LOCAL_MACHINE, app_.UninstallKey(), KEY_WOW64_32KEY));
    std::string namesake;
    EXPECT_TRUE(e2e::ReadStringValue(HKEY_LOCAL_MACHINE, app_.UninstallKey(), "DisplayName", &namesake,
                                     KEY_WOW64_64KEY));
    EXPECT_EQ("a 64-bit namesake", namesake);

    EXPECT_EQ("none", CountOf(shared_, KEY_WOW64_32KEY));
    EXPECT_FALSE(e2e::FileExists(shared_)) << shared_;
    EXPECT_EQ(e2e::Describe(e2e::DwordValue(3)), CountOf(shared_, KEY_WOW64_64KEY));

    EXPECT_FALSE(e2e::FileExists(kSystemDll)) << "the 32-bit " << kSystemDll << " is still in SysWOW64";
    RealSystem32 real;
    std::vector<unsigned char> left;
    EXPECT_TRUE(e2e::ReadBytes(kSystemDll, &left, &error)) << error;
    EXPECT_EQ("a 64-bit library\r\n", std::string(left.begin(), left.end()));
    EXPECT_TRUE(NothingScheduled());
}

}  // namespace
