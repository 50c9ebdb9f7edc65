#include "progman.h"

#include "log/install_log.h"
#include "platform/sizes.h"
#include "platform/text.h"
#include "user_messages.h"

#define COMMAND_PREFIX "[DeleteGroup(\""
#define COMMAND_SUFFIX "\")]"
// Room for the longest group name a log can hold, never cut: a cut name
// could name another group.
#define COMMAND_SIZE (sizeof(COMMAND_PREFIX) - 1 + sizeof(COMMAND_SUFFIX) - 1 + LOG_TEXT_SIZE)
#define PROGMAN_SERVICE "PROGMAN"
#define EXECUTE_TIMEOUT 10000
#define CONVCONTEXT_SIZE 32

static const char kCaption[] = "Setup";
static const char kInitFailed[] = "DDEML Initialization Failure";
static const char kExecuteFailed[] = "Unable to update Start Menu\nDdeClientTransaction Failed\n[";

static DWORD g_ddeInst;   // 0 between calls: each call starts a new instance
static CONVCONTEXT g_convContext = {CONVCONTEXT_SIZE, 0, 0, 0, 0, 0, {}};   // the context of every conversation

static HDDEDATA CALLBACK ProgmanDdeCallback(UINT type, UINT format, HCONV conversation, HSZ text1,
                                            HSZ text2, HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2)
{
    (void)type;
    (void)format;
    (void)conversation;
    (void)text1;
    (void)text2;
    (void)data;
    (void)data1;
    (void)data2;
    return 0;
}

static void ReportFailedCommand(const char *command)
{
    char message[MESSAGE_SIZE];
    CopyText(message, sizeof(message), kExecuteFailed);
    AppendText(message, sizeof(message), command);
    AppendText(message, sizeof(message), "]");
    ShowMessage(message, kCaption, MB_OK);
}

// Sends one execute command to Program Manager.
static int ProgmanExecute(const char *command)
{
    if (DdeInitializeA(&g_ddeInst, ProgmanDdeCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
        ShowMessage(kInitFailed, kCaption, MB_OK);
        return 0;
    }
    HSZ progman = DdeCreateStringHandleA(g_ddeInst, PROGMAN_SERVICE, CP_WINANSI);
    if (progman != 0) {
        // A missing conversation or data handle shows as a failed transaction.
        HCONV conversation = DdeConnect(g_ddeInst, progman, progman, &g_convContext);
        DWORD length = (DWORD)TextLength(command, MESSAGE_SIZE) + 1;
        HDDEDATA data = DdeCreateDataHandle(g_ddeInst, (LPBYTE)command, length, 0, 0, CF_TEXT, 0);
        DWORD result = 0;
        if (!DdeClientTransaction((LPBYTE)data, 0xFFFFFFFF, conversation, 0, 0, XTYP_EXECUTE, EXECUTE_TIMEOUT,
                                  &result))
            ReportFailedCommand(command);
        DdeFreeStringHandle(g_ddeInst, progman);
        DdeDisconnect(conversation);
    }
    DdeUninitialize(g_ddeInst);
    g_ddeInst = 0;
    return 1;
}

int ProgmanDeleteGroup(const char *name)
{
    char command[COMMAND_SIZE];
    CopyText(command, sizeof(command), COMMAND_PREFIX);
    AppendText(command, sizeof(command), name);
    AppendText(command, sizeof(command), COMMAND_SUFFIX);
    return ProgmanExecute(command);
}
