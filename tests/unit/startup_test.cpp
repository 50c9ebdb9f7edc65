#include "removal/custom_program.h"
#include "res/resource.h"
#include "shell/globals.h"
#include "support/sim_fixture.h"
#include "support/program_texts.h"

#define LOG "C:\\Apps\\Tool\\install.log"
#define APP "C:\\Program Files\\Tool"


class Startup : public SimTest {
protected:
    void ExpectWarnings(const std::vector<std::string> &texts, const std::string &caption)
    {
        std::vector<sim::MessageBoxRecord> boxes = sim::MessageBoxes();
        ASSERT_EQ(texts.size(), boxes.size());
        for (size_t i = 0; i < boxes.size(); i++) {
            EXPECT_EQ(texts[i], boxes[i].text);
            EXPECT_EQ(caption, boxes[i].caption);
            EXPECT_EQ((UINT)(MB_OK | MB_ICONWARNING), boxes[i].type);
            EXPECT_EQ(nullptr, boxes[i].owner);
        }
    }

    bool DialogEverShown()
    {
        std::optional<sim::WindowState> dlg = sim::FindWindowByTemplate("UNINSTDLG");
        return dlg && dlg->everShown;
    }

    void WriteToolLog()
    {
        WriteLog(LOG, {{0, "Tool", ""}, {1, APP "\\tool.exe", ""}, {2, APP, ""}});
        sim::AddFile(APP "\\tool.exe", "exe");
        sim::AddRegKey(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Tool");
    }
};

TEST_F(Startup, AMissingQuotedOrEmptyLogPathEndsWithTwoBoxes)
{
    WriteToolLog();
    for (std::string tail : {"C:\\Apps\\Tool\\missing.log", "\"" LOG "\"", ""}) {
        SetUp();
        WriteToolLog();
        EXPECT_EQ(0, RunProgram(tail)) << tail;
        ExpectWarnings({kNoLog, kTerminated}, kDefaultCaption);
        EXPECT_FALSE(DialogEverShown()) << tail;
        EXPECT_TRUE(sim::FileExists(APP "\\tool.exe"));
    }
}

TEST_F(Startup, ALogHeldWithoutSharingCannotBeOpened)
{
    WriteToolLog();
    sim::HoldFile(LOG);
    EXPECT_EQ(0, RunProgram(LOG));
    ExpectWarnings({kNoLog, kTerminated}, kDefaultCaption);
}

// The log is not even opened: one that cannot be would show its own box.
TEST_F(Startup, ADialogThatCannotBeCreatedIsAResourceError)
{
    WriteToolLog();
    sim::HoldFile(LOG);
    sim::FailCall("LoadLibraryA", ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(0, RunProgram(LOG));
    ExpectWarnings({kResourceError, kTerminated}, kDefaultCaption);
}

TEST_F(Startup, AWorkerThatCannotStartEndsTheRunWithoutHanging)
{
    WriteToolLog();
    sim::FailCall("CreateThread", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(0, RunProgram(LOG));
    ExpectWarnings({kTerminated}, "Tool Uninstall");
    EXPECT_TRUE(sim::FileExists(APP "\\tool.exe"));
}

TEST_F(Startup, ACorruptExecutableRaisesTheAlarmAndNothingElse)
{
    WriteToolLog();
    sim::AddFile(EXE_PATH, CorruptExecutable());
    EXPECT_EQ(-1, RunProgram(LOG));
    ExpectWarnings({kCorrupt}, kDefaultCaption);
    EXPECT_TRUE(sim::Windows().empty());
    EXPECT_TRUE(sim::FileExists(APP "\\tool.exe"));
}

TEST_F(Startup, AnsweringNoChangesNothing)
{
    WriteToolLog();
    std::string logBefore = sim::FileContent(LOG);
    AnswerConfirmation(IDNO);
    EXPECT_EQ(0, RunProgram(LOG));

    std::vector<sim::MessageBoxRecord> boxes = sim::MessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kConfirm, boxes[0].text);
    EXPECT_EQ("Tool Uninstall", boxes[0].caption);
    EXPECT_EQ((UINT)(MB_YESNO | MB_ICONQUESTION), boxes[0].type);
    EXPECT_EQ(nullptr, boxes[0].owner);
    EXPECT_NE(sim::MainThreadId(), boxes[0].thread);
    EXPECT_FALSE(DialogEverShown());
    EXPECT_TRUE(sim::FileExists(APP "\\tool.exe"));
    EXPECT_TRUE(sim::RegKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Tool"));
    EXPECT_EQ(logBefore, sim::FileContent(LOG));
    EXPECT_EQ(OUTCOME_DECLINED, g_outcome);
}

TEST_F(Startup, AConfirmationThatCannotBeShownCountsAsNo)
{
    WriteToolLog();
    sim::FailCall("MessageBoxA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(0, RunProgram(LOG));
    EXPECT_TRUE(sim::FileExists(APP "\\tool.exe"));
    EXPECT_EQ(OUTCOME_DECLINED, g_outcome);
}

TEST_F(Startup, AnsweringYesRemovesTheApplication)
{
    WriteToolLog();
    sim::AddRegKey(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Other App");
    AnswerConfirmation(IDYES);
    EXPECT_EQ(0, RunProgram(LOG));

    EXPECT_EQ(2u, BoxTexts().size());
    EXPECT_FALSE(sim::FileExists(APP "\\tool.exe"));
    EXPECT_FALSE(sim::DirExists(APP));
    EXPECT_FALSE(sim::RegKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Tool"));
    EXPECT_TRUE(sim::RegKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Other App"));
    EXPECT_EQ(OUTCOME_COMPLETED, g_outcome);
    sim::WindowState dlg = *sim::FindWindowByTemplate("UNINSTDLG");
    EXPECT_TRUE(dlg.everShown);
    EXPECT_FALSE(dlg.visible);
    EXPECT_EQ(kDeletingUninstallKey, sim::FindItem(dlg, IDC_STATUS)->text);
    EXPECT_EQ(100, sim::FindItem(dlg, IDC_PROGRESS)->position);
}

// Started again on a log whose removal is under way (its guard held by
// another process), the program shows nothing and changes nothing: the
// other run's topmost shown window comes to the front, restored.
TEST_F(Startup, ASecondStartOnALogUnderRemovalBringsTheFirstRunToTheFront)
{
    WriteToolLog();
    const DWORD first = 0x7E4;
    sim::HoldNamedMapping(LogGuardName(LOG), first);
    sim::AddOtherWindow(first, false, false);
    HWND shown = sim::AddOtherWindow(first, true, true);
    sim::AddOtherWindow(first, false, false);
    sim::AddOtherWindow(0x999, true, false);   // another program's, on top
    AnswerConfirmation(IDYES);

    EXPECT_EQ(0, RunProgram(LOG));
    EXPECT_EQ(std::vector<std::string>{}, BoxTexts());
    EXPECT_EQ(shown, sim::ForegroundWindow());
    EXPECT_FALSE(sim::OtherWindowIsIconic(shown));
    EXPECT_TRUE(sim::FileExists(APP "\\tool.exe"));
    EXPECT_TRUE(sim::FileExists(LOG));
    EXPECT_TRUE(sim::RegKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Tool"));
    EXPECT_FALSE(DialogEverShown());
    EXPECT_EQ(std::vector<std::string>{}, sim::OpenHandles());
    EXPECT_EQ(std::vector<std::string>{LogGuardName(LOG)}, sim::NamedMappings()) << "the first run's guard stays";
}

// A run holds its log's guard, named by the log's identity, in the
// namespace of all sessions or, where Windows has none, by the name alone;
// it goes with the run, and with a run that is killed.
TEST_F(Startup, TheGuardIsNamedByTheLogAndGoesWithItsRun)
{
    for (bool sessions : {true, false}) {
        PrepareProgramWorld();
        sim::SetSessionNamespaces(sessions);
        WriteToolLog();
        std::string name = LogGuardName(LOG);
        if (!sessions)
            name = name.substr(std::string("Global\\").size());
        std::vector<std::string> held;
        sim::SetMessageBoxHandler([&held](const sim::MessageBoxRecord &) {
            held = sim::NamedMappings();
            return IDNO;
        });
        EXPECT_EQ(0, RunProgram(LOG));
        EXPECT_EQ(std::vector<std::string>{name}, held) << sessions;
        EXPECT_EQ(std::vector<std::string>{}, sim::NamedMappings());
    }

    PrepareProgramWorld();
    WriteToolLog();
    AnswerConfirmation(IDNO);
    RunProgram(LOG);
    size_t question = 0;
    std::vector<sim::Call> calls = sim::Calls();
    while (question < calls.size() && calls[question].function != "MessageBoxA")
        question++;
    PrepareProgramWorld();
    WriteToolLog();
    sim::EndRunAtCall((int)question + 1);
    EXPECT_EQ(RUN_ENDED_EXIT_CODE, RunProgram(LOG));
    EndProgramProcess();
    EXPECT_EQ(std::vector<std::string>{}, sim::NamedMappings());
    AnswerConfirmation(IDYES);
    EXPECT_EQ(0, RunProgram(LOG));
    EXPECT_EQ((std::vector<std::string>{kConfirm, kRemoved}), BoxTexts());
}

// From Yes until the Uninstall key is gone the progress dialog holds off a
// logoff, with a reason where Windows has the call for it; before Yes and
// at the end nothing is held off.
TEST_F(Startup, ALogoffIsHeldOffWhileTheRemovalChangesTheMachine)
{
    for (bool vista : {true, false}) {
        PrepareProgramWorld();
        sim::SetHasShutdownBlockReason(vista);
        WriteLog(LOG, {{0, "Tool", ""}, {7, APP "\\undo", ""}, {1, APP "\\tool.exe", ""}});
        sim::AddFile(APP "\\tool.exe", "exe");
        std::vector<std::string> seen;
        auto look = [&seen](const char *when) {
            std::optional<std::string> reason = sim::FindWindowByTemplate("UNINSTDLG")->shutdownBlockReason;
            seen.push_back(std::string(when) + (sim::QueryEndSession() ? ": ends" : ": held") +
                           (reason ? " because " + *reason : ""));
        };
        sim::AddProgram(APP "\\undo.exe", [&](const sim::ProgramRun &) {
            look("custom program");
            return 0u;
        });
        sim::SetMessageBoxHandler([&](const sim::MessageBoxRecord &box) {
            look(box.text == kConfirm ? "question" : "success");
            return box.text == kConfirm ? IDYES : IDOK;
        });
        EXPECT_EQ(0, RunProgram(LOG));
        std::string held = vista ? "custom program: held because " + kHoldReason : "custom program: held";
        EXPECT_EQ((std::vector<std::string>{"question: ends", held, "success: ends"}), seen) << vista;
        EXPECT_FALSE(sim::FileExists(APP "\\tool.exe"));
    }
}

// On Japanese Windows (code page 932) the second byte of many characters is
// a backslash: "ソフト表示" is 83 5C 83 74 83 67 95 5C 8E A6. Names are read by
// character: the name holds no backslash, so its Uninstall entry goes; a
// custom program whose name ends in ".表" has that extension and is started
// as it is; the log's own folders go; the group is sent as it stands.
TEST_F(Startup, OnADoubleByteCodePageNamesAreReadByCharacter)
{
    const std::string software = "\x83\x5C\x83\x74\x83\x67";   // ソフト
    const std::string display = "\x95\x5C\x8E\xA6";              // 表示
    const std::string app = "C:\\Program Files\\" + software + display;
    const std::string log = "C:\\" + software + "\\" + display + "\\install.log";
    const std::string dll = "C:\\WINDOWS\\system32\\" + software + ".dll";
    sim::SetCodePage(932);
    std::vector<std::string> commands;
    sim::SetProgramManager([&commands](const std::string &command) {
        commands.push_back(command);
        return true;
    });
    sim::AddProgram(app + "\\undo." + display.substr(0, 2), [](const sim::ProgramRun &) { return 0u; });
    sim::AddFile(app + "\\" + display + ".txt");
    sim::AddFile(dll);
    sim::SetRegDword(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, dll, 1);
    sim::AddRegKey(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\" + software + display);
    WriteLog(log, {{0, software + display, ""},
                   {7, app + "\\undo." + display.substr(0, 2), ""},
                   {1, app + "\\" + display + ".txt", ""},
                   {1, app + "\\undo." + display.substr(0, 2), ""},
                   {4, dll, ""},
                   {5, "", software},
                   {2, app, ""}});
    AnswerConfirmation(IDYES);
    EXPECT_EQ(0, RunProgram(log));

    EXPECT_EQ(OUTCOME_COMPLETED, g_outcome);
    EXPECT_EQ(1u, sim::ProgramRuns().size());
    EXPECT_FALSE(sim::DirExists(app));
    EXPECT_FALSE(sim::FileExists(dll));
    EXPECT_FALSE(sim::RegKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\" + software + display));
    EXPECT_TRUE(sim::RegKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY));
    EXPECT_EQ(std::vector<std::string>{"[DeleteGroup(\"" + software + "\")]"}, commands);
    EXPECT_FALSE(sim::DirExists("C:\\" + software));
    EXPECT_EQ(software + display + " Uninstall", BoxTexts().empty() ? "" : sim::MessageBoxes()[0].caption);
}

// Which thread the worker's input joins and which one its quit message
// goes to, and the worker's stack, show in the calls alone.
TEST_F(Startup, TheWorkerKnowsTheMainThreadAndEndsItsLoop)
{
    WriteToolLog();
    AnswerConfirmation(IDYES);
    RunProgram(LOG);

    DWORD mainThread = sim::MainThreadId();
    std::vector<sim::Call> threads = sim::CallsTo("CreateThread");
    ASSERT_EQ(1u, threads.size());
    EXPECT_EQ("10000", threads[0].args[0]);
    std::vector<sim::Call> attach = sim::CallsTo("AttachThreadInput");
    ASSERT_EQ(1u, attach.size());
    EXPECT_NE(std::to_string(mainThread), attach[0].args[0]);
    EXPECT_EQ(std::to_string(mainThread), attach[0].args[1]);
    EXPECT_EQ("1", attach[0].args[2]);
    std::vector<sim::Call> quit = sim::CallsTo("PostThreadMessageA");
    ASSERT_EQ(1u, quit.size());
    EXPECT_EQ((std::vector<std::string>{std::to_string(mainThread), "0x12", "0", "0"}), quit[0].args);
}

TEST_F(Startup, AFailedInputAttachmentOnlyBeeps)
{
    WriteToolLog();
    AnswerConfirmation(IDYES);
    sim::FailCall("AttachThreadInput", ERROR_ACCESS_DENIED);
    EXPECT_EQ(0, RunProgram(LOG));
    std::vector<sim::Call> beeps = sim::CallsTo("MessageBeep");
    ASSERT_EQ(1u, beeps.size());
    EXPECT_EQ("0", beeps[0].args[0]);
    EXPECT_FALSE(sim::FileExists(APP "\\tool.exe"));
}

TEST_F(Startup, CommonControlsComeFromSystem32Only)
{
    WriteToolLog();
    RunProgram(LOG);
    EXPECT_EQ(std::vector<std::string>{SIM_COMCTL32}, sim::LoadedLibraries());
    std::vector<sim::Call> limit = sim::CallsTo("SetDefaultDllDirectories");
    ASSERT_EQ(1u, limit.size());
    EXPECT_EQ("0x800", limit[0].args[0]);
}

TEST_F(Startup, WindowsWithoutALimitOnTheDllSearchStillRun)
{
    WriteToolLog();
    sim::SetHasDefaultDllDirectories(false);
    AnswerConfirmation(IDYES);
    EXPECT_EQ(0, RunProgram(LOG));
    EXPECT_FALSE(sim::FileExists(APP "\\tool.exe"));
}

TEST_F(Startup, ARunLeavesNoHandleOpenButTheLog)
{
    WriteToolLog();
    AnswerConfirmation(IDNO);
    RunProgram(LOG);
    EXPECT_EQ(std::vector<std::string>{"file " LOG}, sim::OpenHandles());
}

TEST_F(Startup, AFailedCustomProgramAbortsWithTwoBoxesAndLeavesTheDialogShown)
{
    WriteLog(LOG, {{0, "Tool", ""}, {7, APP "\\undo", "-q"}, {1, APP "\\tool.exe", ""}});
    sim::AddFile(APP "\\tool.exe", "exe");
    sim::AddProgram(APP "\\undo.exe", [](const sim::ProgramRun &) { return 3u; });
    AnswerConfirmation(IDYES);

    EXPECT_EQ(0, RunProgram(LOG));
    std::vector<sim::MessageBoxRecord> boxes = sim::MessageBoxes();
    ASSERT_EQ(3u, boxes.size());
    EXPECT_EQ(kConfirm, boxes[0].text);
    EXPECT_EQ(kCustomRunFailed, boxes[1].text);
    EXPECT_EQ(kDefaultCaption, boxes[1].caption);
    EXPECT_EQ(kAborted, boxes[2].text);
    EXPECT_EQ("Tool Uninstall", boxes[2].caption);
    EXPECT_EQ((UINT)(MB_OK | MB_ICONWARNING), boxes[2].type);
    EXPECT_EQ(OUTCOME_ABORTED, g_outcome);
    EXPECT_TRUE(sim::FileExists(APP "\\tool.exe"));
    EXPECT_TRUE(sim::FileExists(LOG));
    EXPECT_TRUE(sim::OpenHandles().empty()) << "the log is closed";
    sim::WindowState dlg = *sim::FindWindowByTemplate("UNINSTDLG");
    EXPECT_TRUE(dlg.visible);
    EXPECT_EQ(kLoadingLog, sim::FindItem(dlg, IDC_STATUS)->text);
    EXPECT_EQ(kPleaseWait, sim::FindItem(dlg, IDC_DETAIL)->text);
    EXPECT_EQ(0, sim::FindItem(dlg, IDC_PROGRESS)->position);
}

TEST_F(Startup, TheWayOfWaitingIsChosenFromTheVersionAtStartUp)
{
    // Win32s (not NT, major version 3), Windows 95, Windows 7.
    for (DWORD version : {0x80000A03u, 0xC0000004u, 0x1DB10106u}) {
        SetUp();
        WriteToolLog();
        sim::SetVersion(version);
        RunProgram(LOG);
        EXPECT_EQ(version == 0x80000A03u ? 1 : 0, g_win32s) << std::hex << version;
    }
}

// The main loop ends with the worker: by its quit message or, when a modal
// loop of the main thread (the user dragging the dialog by its caption)
// took that message, by the worker's end. A wait that fails once ends
// nothing.
TEST_F(Startup, TheLoopEndsWithTheWorkerWhateverBecameOfItsQuitMessage)
{
    for (bool lost : {false, true}) {
        PrepareProgramWorld();
        WriteToolLog();
        AnswerConfirmation(IDYES);
        if (lost)
            sim::LoseQuitMessages();
        else
            sim::FailCall("MsgWaitForMultipleObjects", ERROR_INVALID_PARAMETER, 1);
        EXPECT_EQ(0, RunProgram(LOG));
        EXPECT_EQ(OUTCOME_COMPLETED, g_outcome);
        EXPECT_FALSE(sim::FileExists(APP "\\tool.exe"));
        EXPECT_FALSE(sim::FileExists(LOG)) << "the completion steps ran";
        EXPECT_EQ(2u, BoxTexts().size()) << "the success box stays until it is answered";
    }
}

TEST_F(Startup, AQuitMessageThatCannotBePostedAtOnceIsPostedAgain)
{
    WriteToolLog();
    AnswerConfirmation(IDYES);
    sim::FailCall("PostThreadMessageA", 1816, 1);   // ERROR_NOT_ENOUGH_QUOTA: the queue is full
    EXPECT_EQ(0, RunProgram(LOG));
    EXPECT_EQ(OUTCOME_COMPLETED, g_outcome);
    EXPECT_EQ(2u, sim::CallsTo("PostThreadMessageA").size()) << "the loop would end with the worker all the same";
    EXPECT_FALSE(sim::FileExists(LOG)) << "the completion steps ran";
}
