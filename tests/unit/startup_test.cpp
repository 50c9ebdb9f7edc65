#include "removal/custom_program.h"
#include "res/resource.h"
#include "shell/globals.h"
#include "support/sim_fixture.h"
#include "driver/program_texts.h"

using namespace hardening;

class Startup : public SimTest {};

// A log path that is missing, quoted, empty or a folder's, or a log held
// without read sharing: the invariants check the boxes (the missing log's,
// then the termination message, with the default caption) and that the
// dialog never shows.
TEST_F(Startup, ALogThatCannotBeOpenedEndsWithTwoBoxes)
{
    for (const char *name : {"missing_log", "quoted_log_path", "empty_command_line", "log_path_names_a_directory",
                             "log_held_without_sharing"})
        EXPECT_TRUE(EndedAs(RunAndCheck(NamedRun(name)), RUN_INIT_FAILED)) << name;
}

// A document named by mistake is no log: it is neither read as one nor
// deleted. The invariants check the two boxes and that it stays as it was.
TEST_F(Startup, AFileWithoutALogRecordIsNoLog)
{
    for (const char *name : {"document_named_by_mistake", "bad_input_random_bytes", "type_9_and_unterminated"}) {
        SimulatedRun run = NamedRun(name);
        EXPECT_TRUE(EndedAs(RunAndCheck(run), RUN_INIT_FAILED)) << name;
        EXPECT_EQ(LogBytes(run.records) + run.tail, sim::FileContent(TOOL_LOG)) << name;
    }
}

// The log is not even opened: one that cannot be would show its own box.
TEST_F(Startup, ADialogThatCannotBeCreatedIsAResourceError)
{
    SimulatedRun run = ToolRun();
    run.items.push_back(HeldFile(TOOL_LOG));
    run.fault = Fault{Fault::EVERY_CALL, 0, "LoadLibraryA", ERROR_MOD_NOT_FOUND};
    EXPECT_TRUE(EndedAs(RunAndCheck(run), RUN_INIT_FAILED));
    EXPECT_EQ(BoxTextsOf(END_RESOURCE_ERROR), BoxTexts());
}

TEST_F(Startup, AWorkerThatCannotStartEndsTheRunWithoutHanging)
{
    SimulatedRun run = ToolRun();
    run.fault = Fault{Fault::EVERY_CALL, 0, "CreateThread", ERROR_NOT_ENOUGH_MEMORY};
    EXPECT_TRUE(EndedAs(RunAndCheck(run), RUN_INIT_FAILED));
    EXPECT_EQ(BoxTextsOf(END_WORKER_FAILED), BoxTexts());
    EXPECT_EQ("Tool Uninstall", sim::MessageBoxes()[0].caption);
}

TEST_F(Startup, ACorruptExecutableRaisesTheAlarmAndNothingElse)
{
    EXPECT_TRUE(EndedAs(RunAndCheck(NamedRun("corrupt_executable")), RUN_CORRUPT));
    EXPECT_TRUE(sim::Windows().empty());
}

// The invariants check the question's text, caption and type, that nothing
// changes and that the progress dialog never shows.
TEST_F(Startup, AnsweringNoChangesNothing)
{
    EXPECT_TRUE(EndedAs(RunAndCheck(NamedRun("declined")), RUN_DECLINED));
    EXPECT_NE(sim::MainThreadId(), sim::MessageBoxes()[0].thread);
    EXPECT_EQ(OUTCOME_DECLINED, g_outcome);
}

TEST_F(Startup, AConfirmationThatCannotBeShownCountsAsNo)
{
    SimulatedRun run = ToolRun();
    run.fault = Fault{Fault::EVERY_CALL, 0, "MessageBoxA", ERROR_NOT_ENOUGH_MEMORY};
    EXPECT_TRUE(EndedAs(RunAndCheck(run), RUN_DECLINED));
    EXPECT_EQ(OUTCOME_DECLINED, g_outcome);
}

// The invariants check that the files, the folder and the entry go, the
// other application's stays, and the boxes and the dialog at the end.
TEST_F(Startup, AnsweringYesRemovesTheApplication)
{
    EXPECT_TRUE(EndedAs(RunAndCheck(NamedRun("answering_yes")), RUN_COMPLETED));
    EXPECT_EQ(OUTCOME_COMPLETED, g_outcome);
    sim::WindowState dlg = *sim::FindWindowByTemplate("UNINSTDLG");
    EXPECT_EQ(kDeletingUninstallKey, sim::FindItem(dlg, IDC_STATUS)->text);
    EXPECT_EQ(100, sim::FindItem(dlg, IDC_PROGRESS)->position);
}

// Started again on a log whose removal is under way (its guard held by
// another process), the program shows nothing and changes nothing, as the
// invariants check: the other run's topmost shown window comes to the
// front, restored.
TEST_F(Startup, ASecondStartOnALogUnderRemovalBringsTheFirstRunToTheFront)
{
    SimulatedRun run = ToolRun();
    run.otherRunUnderWay = true;
    HWND shown = nullptr;
    RunResult result = RunAndCheck(run, [&shown] {
        sim::AddOtherWindow(OTHER_RUN_PROCESS_ID, false, false);
        shown = sim::AddOtherWindow(OTHER_RUN_PROCESS_ID, true, true);
        sim::AddOtherWindow(OTHER_RUN_PROCESS_ID, false, false);
        sim::AddOtherWindow(0x999, true, false);   // another program's, on top
    });
    EXPECT_TRUE(EndedAs(result, RUN_ELSEWHERE));
    EXPECT_EQ(shown, sim::ForegroundWindow());
    EXPECT_FALSE(sim::OtherWindowIsIconic(shown));
    EXPECT_EQ(std::vector<std::string>{LogGuardName(TOOL_LOG)}, sim::NamedMappings()) << "the first run's guard stays";
}

// A run holds its log's guard, named by the log's identity, in the
// namespace of all sessions or, where Windows has none, by the name alone;
// it goes with the run, and with a run that is killed.
TEST_F(Startup, TheGuardIsNamedByTheLogAndGoesWithItsRun)
{
    for (bool sessions : {true, false}) {
        PrepareProgramWorld();
        sim::SetSessionNamespaces(sessions);
        Apply(ToolRun());
        std::string name = LogGuardName(TOOL_LOG);
        if (!sessions)
            name = name.substr(std::string(GUARD_NAMESPACE_PREFIX).size());
        std::vector<std::string> held;
        sim::SetMessageBoxHandler([&held](const sim::MessageBoxRecord &) {
            held = sim::NamedMappings();
            return IDNO;
        });
        EXPECT_EQ(0, RunUninstaller(TOOL_LOG));
        EXPECT_EQ(std::vector<std::string>{name}, held) << sessions;
        EXPECT_EQ(std::vector<std::string>{}, sim::NamedMappings());
    }

    SimulatedRun declined = ToolRun();
    declined.confirm = false;
    EXPECT_TRUE(EndedAs(RunAndCheck(declined), RUN_DECLINED));
    size_t question = 0;
    std::vector<sim::Call> calls = sim::Calls();
    while (question < calls.size() && calls[question].function != "MessageBoxA")
        question++;
    PrepareProgramWorld();
    Apply(ToolRun());
    sim::EndRunAtCall((int)question + 1);
    EXPECT_EQ(RUN_ENDED_EXIT_CODE, RunUninstaller(TOOL_LOG));
    EndProgramProcess();
    EXPECT_EQ(std::vector<std::string>{}, sim::NamedMappings());
    EXPECT_EQ(0, RunUninstaller(TOOL_LOG));
    EXPECT_EQ(BoxTextsOf(END_COMPLETED), BoxTexts());
}

// From Yes until the Uninstall key is gone the progress dialog holds off a
// logoff, with a reason where Windows has the call for it; before Yes and
// at the end nothing is held off.
TEST_F(Startup, ALogoffIsHeldOffWhileTheRemovalChangesTheMachine)
{
    for (bool vista : {true, false}) {
        SimulatedRun run = ToolRun();
        run.records.insert(run.records.begin() + 1, {kCustomProgram, TOOL_APP "\\undo", ""});
        std::vector<std::string> seen;
        auto look = [&seen](const char *when) {
            std::optional<std::string> reason = sim::FindWindowByTemplate("UNINSTDLG")->shutdownBlockReason;
            seen.push_back(std::string(when) + (sim::QueryEndSession() ? ": ends" : ": held") +
                           (reason ? " because " + *reason : ""));
        };
        RunResult result = RunAndCheck(run, [&] {
            sim::SetHasShutdownBlockReason(vista);
            AddCheckedProgram(TOOL_APP "\\undo.exe", 0, 0, [&] { look("custom program"); });
            sim::SetMessageBoxHandler([&](const sim::MessageBoxRecord &box) {
                look(box.text == kConfirm ? "question" : "success");
                return box.text == kConfirm ? IDYES : IDOK;
            });
        });
        EXPECT_TRUE(EndedAs(result, RUN_COMPLETED)) << vista;
        std::string held = vista ? "custom program: held because " + kHoldReason : "custom program: held";
        EXPECT_EQ((std::vector<std::string>{"question: ends", held, "success: ends"}), seen) << vista;
    }
}

// On Japanese Windows (code page 932) the second byte of many characters is
// a backslash: "ソフト表示" is 83 5C 83 74 83 67 95 5C 8E A6. Names are read by
// character: the name holds no backslash, so its Uninstall entry goes, and
// the caption is made of it; a custom program whose name ends in ".表" has
// that extension and is started as it is; the DLL's count and the folders
// go; the group is sent as it stands. The invariants check all but the
// group and the log's own folders.
TEST_F(Startup, OnADoubleByteCodePageNamesAreReadByCharacter)
{
    const std::string software = "\x83\x5C\x83\x74\x83\x67";   // ソフト
    const std::string display = "\x95\x5C\x8E\xA6";              // 表示
    const std::string app = "C:\\Program Files\\" + software + display;
    const std::string program = app + "\\undo." + display.substr(0, 2);
    const std::string dll = SIM_SYSTEM_DIR "\\" + software + ".dll";
    SimulatedRun run;
    run.codePage932 = true;
    run.LogAt("C:\\" + software + "\\" + display + "\\install.log");
    run.items = {Program(program), File(app + "\\" + display + ".txt"), File(dll), SharedDll(dll, 1),
                 Entry(software + display)};
    run.records = {{kAppName, software + display, ""}, {kCustomProgram, program, ""},   {kFile, app + "\\" + display + ".txt", ""},
                   {kFile, program, ""},           {kSharedDll, dll, ""},       {kProgramGroup, "", software},
                   {kDirectory, app, ""}};
    std::vector<std::string> commands;
    RunResult result = RunAndCheck(run, [&commands] {
        sim::SetProgramManager([&commands](const std::string &command) {
            commands.push_back(command);
            return true;
        });
    });
    EXPECT_TRUE(EndedAs(result, RUN_COMPLETED));
    EXPECT_EQ(std::vector<std::string>{"[DeleteGroup(\"" + software + "\")]"}, commands);
    EXPECT_FALSE(sim::DirExists("C:\\" + software));
}

// Which thread the worker's input joins and which one its quit message
// goes to, and the worker's stack, show in the calls alone.
TEST_F(Startup, TheWorkerKnowsTheMainThreadAndEndsItsLoop)
{
    EXPECT_TRUE(EndedAs(RunAndCheck(ToolRun()), RUN_COMPLETED));

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
    SimulatedRun run = ToolRun();
    run.fault = Fault{Fault::EVERY_CALL, 0, "AttachThreadInput", ERROR_ACCESS_DENIED};
    EXPECT_TRUE(EndedAs(RunAndCheck(run), RUN_COMPLETED));
    std::vector<sim::Call> beeps = sim::CallsTo("MessageBeep");
    ASSERT_EQ(1u, beeps.size());
    EXPECT_EQ("0", beeps[0].args[0]);
    EXPECT_FALSE(sim::FileExists(TOOL_APP "\\tool.exe"));
}

TEST_F(Startup, CommonControlsComeFromSystem32Only)
{
    EXPECT_TRUE(EndedAs(RunAndCheck(ToolRun()), RUN_COMPLETED));
    EXPECT_EQ(std::vector<std::string>{SIM_COMCTL32}, sim::LoadedLibraries());
    std::vector<sim::Call> limit = sim::CallsTo("SetDefaultDllDirectories");
    ASSERT_EQ(1u, limit.size());
    EXPECT_EQ("0x800", limit[0].args[0]);
}

TEST_F(Startup, WindowsWithoutALimitOnTheDllSearchStillRun)
{
    EXPECT_TRUE(EndedAs(RunAndCheck(ToolRun(), [] { sim::SetHasDefaultDllDirectories(false); }), RUN_COMPLETED));
}

TEST_F(Startup, ARunLeavesNoHandleOpenButTheLog)
{
    EXPECT_TRUE(EndedAs(RunAndCheck(NamedRun("declined")), RUN_DECLINED));
    EXPECT_EQ(std::vector<std::string>{"file " TOOL_LOG}, sim::OpenHandles());
}

// The invariants check the boxes (the question, the custom-run failure with
// the default caption, the abort with the question's), that nothing goes,
// that the log is closed and the dialog stays shown.
TEST_F(Startup, AFailedCustomProgramAbortsWithTwoBoxesAndLeavesTheDialogShown)
{
    EXPECT_TRUE(EndedAs(RunAndCheck(NamedRun("scenario_aborted")), RUN_ABORTED));
    EXPECT_EQ(OUTCOME_ABORTED, g_outcome);
    sim::WindowState dlg = *sim::FindWindowByTemplate("UNINSTDLG");
    EXPECT_EQ(kLoadingLog, sim::FindItem(dlg, IDC_STATUS)->text);
    EXPECT_EQ(kPleaseWait, sim::FindItem(dlg, IDC_DETAIL)->text);
    EXPECT_EQ(0, sim::FindItem(dlg, IDC_PROGRESS)->position);
}

TEST_F(Startup, TheWayOfWaitingIsChosenFromTheVersionAtStartUp)
{
    // Win32s (not NT, major version 3), Windows 95, Windows 7.
    for (DWORD version : {0x80000A03u, 0xC0000004u, 0x1DB10106u}) {
        EXPECT_TRUE(EndedAs(RunAndCheck(ToolRun(), [version] { sim::SetVersion(version); }), RUN_COMPLETED));
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
        SimulatedRun run = ToolRun();
        if (!lost)
            run.fault = Fault{Fault::NTH_OF_FUNCTION, 1, "MsgWaitForMultipleObjects", ERROR_INVALID_PARAMETER};
        EXPECT_TRUE(EndedAs(RunAndCheck(run, [lost] {
                                if (lost)
                                    sim::LoseQuitMessages();
                            }),
                            RUN_COMPLETED));
        EXPECT_EQ(OUTCOME_COMPLETED, g_outcome);
        EXPECT_FALSE(sim::FileExists(TOOL_APP "\\tool.exe"));
        EXPECT_FALSE(sim::FileExists(TOOL_LOG)) << "the completion steps ran";
        EXPECT_EQ(2u, BoxTexts().size()) << "the success box stays until it is answered";
    }
}

TEST_F(Startup, AQuitMessageThatCannotBePostedAtOnceIsPostedAgain)
{
    SimulatedRun run = ToolRun();
    run.fault = Fault{Fault::NTH_OF_FUNCTION, 1, "PostThreadMessageA", 1816};   // ERROR_NOT_ENOUGH_QUOTA: the queue is full
    EXPECT_TRUE(EndedAs(RunAndCheck(run), RUN_COMPLETED));
    EXPECT_EQ(OUTCOME_COMPLETED, g_outcome);
    EXPECT_EQ(2u, sim::CallsTo("PostThreadMessageA").size()) << "the loop would end with the worker all the same";
    EXPECT_FALSE(sim::FileExists(TOOL_LOG)) << "the completion steps ran";
}
