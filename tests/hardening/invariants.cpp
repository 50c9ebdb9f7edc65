#include "invariants.h"
#include "removal/passes.h"
#include "driver/program_texts.h"
#include "support/program_world.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>
#include <set>

namespace hardening {


static const char kWarning[] = "0x30";    // MB_OK | MB_ICONWARNING
static const char kQuestion[] = "0x24";   // MB_YESNO | MB_ICONQUESTION
static const char kPlainOk[] = "0x0";     // MB_OK

static const char kWininit[] = WININIT_PATH;
// The keys as sim::RegistryKeys names them.
static const std::string kSharedDlls = sim::RegKeyPath(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH);
static const std::string kUninstall = sim::RegKeyPath(HKEY_LOCAL_MACHINE, UNINSTALL_KEY);
static const std::string kJournal = sim::RegKeyPath(HKEY_LOCAL_MACHINE, JOURNAL_KEY);
// Its list of deletions at restart is checked as such, with WININIT.INI's.
static const std::string kSessionManager = sim::RegKeyPath(HKEY_LOCAL_MACHINE, SESSION_MANAGER_KEY);

static const size_t kRecordSize = 516;
static const size_t kTextSize = 256;

// Exit statuses of the checked programs' runs, in order.
static std::mutex g_runsMutex;
static std::vector<DWORD> g_runs;

using sim::Upper;

static std::string Shown(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if ((unsigned char)c < 32 || (unsigned char)c >= 127)
            out += "\\x" + std::string(1, "0123456789ABCDEF"[(unsigned char)c >> 4]) +
                   std::string(1, "0123456789ABCDEF"[c & 15]);
        else
            out += c;
    }
    return "\"" + out + "\"";
}

const char *OutcomeName(Outcome outcome)
{
    switch (outcome) {
    case RUN_CORRUPT: return "corrupt executable";
    case RUN_INIT_FAILED: return "start-up failure";
    case RUN_DECLINED: return "declined";
    case RUN_ABORTED: return "aborted";
    case RUN_COMPLETED: return "completed";
    case RUN_ELSEWHERE: return "second start";
    default: return "unknown";
    }
}

void AddCheckedProgram(const std::string &path, DWORD status, int stillActiveReads, std::function<void()> action)
{
    sim::AddProgram(
        path,
        [status, action](const sim::ProgramRun &) {
            if (action)
                action();
            std::lock_guard<std::mutex> lock(g_runsMutex);
            g_runs.push_back(status);
            return status;
        },
        stillActiveReads);
}

DWORD LittleEndian(const std::string &bytes, size_t at)
{
    DWORD value = 0;
    for (size_t i = 0; i < 4 && at + i < bytes.size(); i++)
        value |= (DWORD)(unsigned char)bytes[at + i] << (8 * i);
    return value;
}

// A note of the release journal: the log's write time and size, how many
// of its first records are released, and whether the last one's count was
// found at 1.
static const size_t kNoteSize = 24;

// The components of a path or group name between its separators, stepping
// over the second bytes of double-byte characters.
static std::vector<std::string> Components(const std::string &text)
{
    std::vector<std::string> parts{""};
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\\' || text[i] == '/') {
            parts.push_back("");
            continue;
        }
        parts.back() += text[i];
        if (IsDBCSLeadByte((BYTE)text[i]) && i + 1 < text.size())
            parts.back() += text[++i];
    }
    return parts;
}

// Holds a backslash of its own, not the second byte of a double-byte
// character.
static bool HoldsBackslash(const std::string &text)
{
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\\')
            return true;
        if (IsDBCSLeadByte((BYTE)text[i]))
            i++;
    }
    return false;
}

// Where a path's last component begins: past its last backslash of its
// own, not the second byte of a double-byte character; 0 when it has none.
static size_t LastComponentAt(const std::string &path)
{
    size_t at = 0;
    for (size_t i = 0; i < path.size(); i++) {
        if (path[i] == '\\')
            at = i + 1;
        else if (IsDBCSLeadByte((BYTE)path[i]))
            i++;
    }
    return at;
}

// The folder of a path's item: the path before its last backslash of its
// own; "" when it has none.
static std::string FolderOf(const std::string &path)
{
    size_t at = LastComponentAt(path);
    return at == 0 ? "" : path.substr(0, at - 1);
}

// Names its item whatever the current folder: C:\... or \\server\share...
static bool FullyQualified(const std::string &path)
{
    std::vector<std::string> parts = Components(path);
    const std::string &first = parts[0];
    if (first.size() == 2 && isalpha((unsigned char)first[0]) && first[1] == ':')
        return parts.size() > 1;
    return parts.size() >= 4 && first.empty() && parts[1].empty() && !parts[2].empty() && !parts[3].empty();
}

// Names one group below Programs.
static bool OneGroup(const std::string &name)
{
    std::vector<std::string> parts = Components(name);
    if (name.empty() || parts[0].empty())
        return false;
    for (const std::string &part : parts) {
        if (!part.empty() && part.find_first_not_of(". ") == std::string::npos)
            return false;
        for (size_t i = 0; i < part.size(); i++) {
            if (IsDBCSLeadByte((BYTE)part[i])) {
                i++;
                continue;
            }
            if (part[i] == ':' || part[i] == '*' || part[i] == '?')
                return false;
        }
    }
    return true;
}

bool ReadsAsUnattended(const std::string &tail, std::string *logPath)
{
    *logPath = tail;
    std::string lower = tail;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
    });
    for (const std::string switchText : {"/s ", "/quiet "}) {
        if (lower.compare(0, switchText.size(), switchText) != 0)
            continue;
        std::string rest = tail.substr(switchText.size());
        bool drive = rest.size() >= 3 && std::isalpha((unsigned char)rest[0]) && rest[1] == ':' && rest[2] == '\\';
        if (!drive && rest.compare(0, 2, "\\\\") != 0)
            return false;
        *logPath = rest;
        return true;
    }
    return false;
}

bool RecordIsActedOn(const std::string &bytes)
{
    DWORD type = LittleEndian(bytes, 0);
    bool primaryEnds = memchr(bytes.data() + 4, 0, kTextSize) != nullptr;
    bool secondaryEnds = memchr(bytes.data() + 4 + kTextSize, 0, kTextSize) != nullptr;
    std::string primary = bytes.c_str() + 4;
    std::string secondary = bytes.c_str() + 4 + kTextSize;
    switch (type) {
    case 0:
        return primaryEnds;
    case 1:
    case 2:
    case 4:
        return primaryEnds && FullyQualified(primary);
    case 5:
        return secondaryEnds && OneGroup(secondary);
    case 7:
        return primaryEnds && secondaryEnds;
    }
    return true;
}

// The text of a record field: up to its terminating zero; usable when that
// zero lies within the field.
static std::string FieldText(const std::string &bytes, size_t offset, bool *terminated)
{
    std::string field = bytes.substr(offset, kTextSize);
    size_t end = field.find('\0');
    *terminated = end != std::string::npos;
    return field.substr(0, *terminated ? end : kTextSize);
}

// "~MU", five hex digits, ".TMP": the names files in use are renamed to.
static bool IsRenamedAsideName(const std::string &name)
{
    if (name.size() != 12 || name.compare(0, 3, "~MU") != 0 || name.compare(8, 4, ".TMP") != 0)
        return false;
    for (size_t i = 3; i < 8; i++)
        if (!isxdigit((unsigned char)name[i]))
            return false;
    return true;
}

// The INI file's lines as (upper-case section, line) pairs.
static std::multiset<std::pair<std::string, std::string>> IniLines(const std::string &content)
{
    std::multiset<std::pair<std::string, std::string>> out;
    for (const auto &line : sim::ProfileSectionLines(content))
        out.insert({Upper(line.first), line.second});
    return out;
}

RunCheck::RunCheck(const RunSetup &setup) : setup_(setup)
{
    {
        std::lock_guard<std::mutex> lock(g_runsMutex);
        g_runs.clear();
    }
    for (const sim::ItemInfo &item : sim::AllItems())
        items_[Upper(item.longPath)] = item;
    for (const sim::RegKeyInfo &key : sim::RegistryKeys()) {
        Values &values = registry_[key.path];
        for (const auto &v : key.values)
            values[Upper(v.first)] = v;
    }
    pending_ = sim::PendingDeletes();
    auto wininit = items_.find(Upper(kWininit));
    if (wininit != items_.end() && !wininit->second.isDir) {
        wininitExisted_ = true;
        wininit_ = wininit->second.content;
    }

    unattended_ = ReadsAsUnattended(setup.commandTail, &logArg_);
    logFull_ = Upper(sim::FullPathName(logArg_));
    std::optional<std::string> log = sim::ResolvePath(logArg_);
    logLong_ = log ? Upper(*log) : "";
    resolved_[logArg_] = logLong_;
    auto logItem = items_.find(logLong_);
    if (logItem != items_.end() && !logItem->second.isDir) {
        logIsFile_ = true;
        logBytes_ = logItem->second.content;
        logWritten_ = logItem->second.written;
    }
    bool anyLogRecord = false;
    for (size_t at = 0; at + kRecordSize <= logBytes_.size(); at += kRecordSize) {
        std::string bytes = logBytes_.substr(at, kRecordSize);
        Record rec;
        rec.type = LittleEndian(bytes, 0);
        bool primaryEnds, secondaryEnds;
        rec.primary = FieldText(bytes, 4, &primaryEnds);
        rec.secondary = FieldText(bytes, 4 + kTextSize, &secondaryEnds);
        rec.usable = RecordIsActedOn(bytes);
        anyLogRecord = anyLogRecord || (rec.type <= 7 && primaryEnds && secondaryEnds);
        records_.push_back(rec);
        if (rec.usable) {
            std::optional<std::string> found = sim::ResolvePath(rec.primary);
            resolved_[rec.primary] = found ? Upper(*found) : "";
        }
    }
    // A document named by mistake: bytes, but not one record as the setup
    // program writes them (a type it writes, both texts ending in their fields).
    notALog_ = logIsFile_ && !logBytes_.empty() && !anyLogRecord;
    auto journal = registry_.find(kJournal);
    if (journal != registry_.end())
        for (const auto &note : journal->second)
            if (NamesThisLog(note.second.first, note.second.second)) {
                releasedBefore_ = LittleEndian(note.second.second.data, 16);
                lastReachedZero_ = LittleEndian(note.second.second.data, 20) != 0;
            }
}

// Whether a note of the release journal is this log's: named by its full
// path, and holding its write time and size as they are.
bool RunCheck::NamesThisLog(const std::string &noteName, const sim::RegValue &note) const
{
    const std::string &d = note.data;
    return logIsFile_ && Upper(noteName) == logFull_ && note.type == REG_BINARY &&
           d.size() == kNoteSize && LittleEndian(d, 0) == (DWORD)logWritten_ &&
           LittleEndian(d, 4) == (DWORD)(logWritten_ >> 32) && LittleEndian(d, 8) == (DWORD)logBytes_.size() &&
           LittleEndian(d, 12) == (DWORD)((unsigned long long)logBytes_.size() >> 32);
}

void RunCheck::Fail(const std::string &what)
{
    errors_.push_back(what);
}

std::string RunCheck::Resolve(const std::string &text) const
{
    // Resolved before the run: afterwards the item may be gone.
    auto found = resolved_.find(text);
    return found == resolved_.end() ? "" : found->second;
}

// The captions the program may use after its start-up scan: the one formed
// from the last usable name record, or, when a read may have ended the scan
// early, the one formed from any prefix of the log.
std::vector<std::string> RunCheck::Captions(bool allPrefixes) const
{
    std::vector<std::string> captions{kDefaultCaption};
    for (const Record &rec : records_) {
        if (rec.type == 0 && rec.usable) {
            std::string caption = rec.primary.substr(0, 245) + " Uninstall";
            if (allPrefixes)
                captions.push_back(caption);
            else
                captions[0] = caption;
        }
    }
    return captions;
}

// The count that the SharedDLLs value named dllText held before the run.
// countable is false when there is no such value or its data is longer than
// 4 bytes.
DWORD RunCheck::CountBefore(const std::string &dllText, bool *countable) const
{
    *countable = false;
    auto key = registry_.find(kSharedDlls);
    if (key == registry_.end())
        return 0;
    auto value = key->second.find(Upper(dllText));
    if (value == key->second.end() || value->second.second.data.size() > 4)
        return 0;
    DWORD count = LittleEndian(value->second.second.data, 0);
    *countable = true;
    return count;
}

// How many usable shared-DLL records name the value dllText, of those that
// no earlier run on this log released.
int RunCheck::Releases(const std::string &dllText) const
{
    int n = 0;
    for (size_t i = releasedBefore_; i < records_.size(); i++)
        if (records_[i].type == 4 && records_[i].usable && Upper(records_[i].primary) == Upper(dllText))
            n++;
    return n;
}

// Whether the SharedDLLs value named dllText went during the run, as it
// does when its count reaches 0. A deletion that was attempted and made to
// fail counts too: the release deletes the DLL all the same.
bool RunCheck::CountReachedZero(const std::string &dllText) const
{
    for (const sim::Call &call : sim::CallsTo("RegDeleteValueA"))
        if (call.failedWith != 0 && Upper(call.args[1]) == Upper(dllText))
            return true;
    bool countable;
    CountBefore(dllText, &countable);
    if (!countable)
        return false;
    std::optional<sim::RegValue> now = sim::GetRegValue(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, dllText);
    return !now;
}

struct Box {
    std::string owner, text, caption, type;
};

static std::vector<Box> AttemptedBoxes()
{
    std::vector<Box> boxes;
    for (const sim::Call &call : sim::CallsTo("MessageBoxA"))
        boxes.push_back(Box{call.args[0], call.args[1], call.args[2], call.args[3]});
    return boxes;
}

// Whether the worker thread started: a start-up failure ends before it.
static bool WorkerStarted()
{
    std::vector<sim::Call> starts = sim::CallsTo("CreateThread");
    return !starts.empty() && starts.back().failedWith == 0;
}

Outcome RunCheck::ReadOutcome(int exitCode)
{
    if (unattended_) {
        switch (exitCode) {
        case EXIT_CORRUPT: return RUN_CORRUPT;
        case EXIT_RUNNING_ELSEWHERE: return RUN_ELSEWHERE;
        case EXIT_NOT_REMOVED: return WorkerStarted() ? RUN_ABORTED : RUN_INIT_FAILED;
        case EXIT_REMOVED:
        case EXIT_RESTART_NEEDED: return RUN_COMPLETED;
        default: return RUN_UNKNOWN;
        }
    }
    std::vector<Box> boxes = AttemptedBoxes();
    auto has = [&](const char *text) {
        return std::any_of(boxes.begin(), boxes.end(), [&](const Box &b) { return b.text == text; });
    };
    if (has(kCorrupt))
        return RUN_CORRUPT;
    if (has(kTerminated))
        return RUN_INIT_FAILED;
    if (boxes.empty() && setup_.otherRunUnderWay)
        return RUN_ELSEWHERE;
    if (boxes.empty() || boxes[0].text != kConfirm)
        return RUN_UNKNOWN;
    if (has(kAborted))
        return RUN_ABORTED;
    if (has(kRemoved))
        return RUN_COMPLETED;
    return boxes.size() == 1 ? RUN_DECLINED : RUN_UNKNOWN;
}

static std::string BoxList(const std::vector<Box> &boxes)
{
    std::string out;
    for (const Box &b : boxes)
        out += "\n    [" + b.type + " owner " + b.owner + " caption " + Shown(b.caption) + "] " + Shown(b.text);
    return out;
}

void RunCheck::CheckBoxes()
{
    std::vector<Box> boxes = AttemptedBoxes();
    std::vector<std::string> captions = Captions(faulted_);
    auto isCaption = [&](const std::string &c) {
        return std::find(captions.begin(), captions.end(), c) != captions.end();
    };
    // Whether the boxes begin with those that end shows (a completed run's
    // success message is the last box, after Program Manager's): texts,
    // types, no owner, and captions: the default one, or one the log gives,
    // the same for each.
    auto shows = [&](RunEnd end) {
        std::vector<ShownBox> wanted = BoxesOf(end);
        std::string logCaption;
        for (size_t k = 0; k < wanted.size(); k++) {
            size_t i = end == END_COMPLETED && k + 1 == wanted.size() ? boxes.size() - 1 : k;
            if (i >= boxes.size())
                return false;
            const Box &b = boxes[i];
            bool question = std::string(wanted[k].text) == kConfirm;
            bool captionOk = wanted[k].defaultCaption ? b.caption == kDefaultCaption
                             : logCaption.empty()     ? isCaption(b.caption)
                                                      : b.caption == logCaption;
            if (!wanted[k].defaultCaption)
                logCaption = b.caption;
            if (b.text != wanted[k].text || b.type != (question ? kQuestion : kWarning) || !captionOk ||
                b.owner != "0x0")
                return false;
        }
        return true;
    };
    size_t n = boxes.size();
    if (unattended_) {
        if (n != 0)
            Fail("an unattended run showed boxes:" + BoxList(boxes));
        return;
    }
    bool ok = true;
    switch (outcome_) {
    case RUN_CORRUPT:
        ok = n == 1 && shows(END_CORRUPT);
        break;
    case RUN_INIT_FAILED:
        ok = (n == 2 && (shows(END_NO_LOG) || shows(END_RESOURCE_ERROR))) || (n == 1 && shows(END_WORKER_FAILED));
        break;
    case RUN_DECLINED:
        ok = n == 1 && shows(END_DECLINED);
        break;
    case RUN_ELSEWHERE:
        ok = n == 0;
        break;
    case RUN_ABORTED:
        ok = n == 3 && shows(END_ABORTED);
        break;
    case RUN_COMPLETED: {
        ok = n >= 2 && shows(END_COMPLETED);
        // Between them, Program Manager's boxes: one per group record at
        // most, in log order.
        std::vector<std::string> commands;
        for (const Record &rec : records_)
            if (rec.type == 5 && rec.usable)
                commands.push_back("[DeleteGroup(\"" + rec.secondary + "\")]");
        size_t next = 0;
        size_t failedBoxes = 0;
        for (size_t i = 1; ok && i + 1 < n; i++) {
            const Box &b = boxes[i];
            if (b.caption != kSetupCaption || b.type != kPlainOk || b.owner != "0x0") {
                ok = false;
                break;
            }
            if (b.text == kDdeInitFailed) {
                if (next++ >= commands.size())
                    ok = false;
                continue;
            }
            while (next < commands.size() && b.text != DdeFailedText(commands[next]))
                next++;
            if (next++ >= commands.size())
                ok = false;
            failedBoxes++;
        }
        if (ok && !faulted_) {
            size_t expected = setup_.progman == PROGMAN_ACCEPTS ? 0 : commands.size();
            if (failedBoxes != expected || n - 2 != expected)
                Fail("Program Manager " + std::string(setup_.progman == PROGMAN_ACCEPTS ? "accepts" : "fails") +
                     " every command, so " + std::to_string(expected) + " of its boxes were due, not " +
                     std::to_string(n - 2));
        }
        break;
    }
    default:
        ok = false;
        break;
    }
    if (!ok)
        Fail(std::string("the boxes do not match the ") + OutcomeName(outcome_) + " run:" + BoxList(boxes));
}

// Without an injected failure the world and the answers decide the outcome.
void RunCheck::CheckExpectedOutcome()
{
    size_t runs;
    bool allSucceeded = true;
    {
        std::lock_guard<std::mutex> lock(g_runsMutex);
        runs = g_runs.size();
        for (DWORD status : g_runs)
            allSucceeded = allSucceeded && status == 0;
    }
    if (faulted_)
        return;
    size_t customRecords = 0;
    bool cutRun = false;   // a custom program record with a cut text stops the removal
    for (const Record &rec : records_) {
        if (rec.type == 7 && rec.usable)
            customRecords++;
        cutRun = cutRun || (rec.type == 7 && !rec.usable);
    }

    Outcome expected;
    if (!setup_.exeIntact)
        expected = RUN_CORRUPT;
    else if (!logIsFile_ || setup_.logHeld)
        expected = RUN_INIT_FAILED;
    else if (setup_.otherRunUnderWay)
        expected = RUN_ELSEWHERE;
    else if (notALog_)
        expected = RUN_INIT_FAILED;
    else if (!setup_.confirm && !unattended_)
        expected = RUN_DECLINED;
    else if (runs == customRecords && allSucceeded && !cutRun)
        expected = RUN_COMPLETED;
    else
        expected = RUN_ABORTED;
    if (expected != outcome_)
        Fail(std::string("the run ended ") + OutcomeName(outcome_) + ", where " + OutcomeName(expected) +
             " was due (" + std::to_string(runs) + " custom program runs for " + std::to_string(customRecords) +
             " records)");
    if (expected == RUN_INIT_FAILED && !sim::CallsTo("MessageBoxA").empty() &&
        sim::CallsTo("MessageBoxA")[0].args[1] != kNoLog)
        Fail("a log that cannot be opened must be reported as not found");
    if (expected != RUN_COMPLETED && expected != RUN_ABORTED && runs != 0)
        Fail("custom programs ran although the removal never started");
}

// What waits for the restart after the run, whoever scheduled it: the
// session manager's list and WININIT.INI's NUL= lines, in upper case.
static std::set<std::string> Waiting(const std::vector<std::string> &pending, const std::string &wininit)
{
    std::set<std::string> waiting;
    for (const std::string &name : pending)
        waiting.insert(Upper(name));
    for (const auto &line : IniLines(wininit))
        if (line.first == Upper(WININIT_RENAME_SECTION) && Upper(line.second.substr(0, 4)) == "NUL=")
            waiting.insert(Upper(line.second.substr(4)));
    return waiting;
}

// The items directly in folder (an upper-case long path).
static std::vector<sim::ItemInfo> AllIn(const std::map<std::string, sim::ItemInfo> &items, const std::string &folder)
{
    std::vector<sim::ItemInfo> in;
    for (const auto &item : items)
        if (FolderOf(item.first) == folder)
            in.push_back(item.second);
    return in;
}

// Something in folder that does not wait for the restart, which the restart
// so cannot empty; "" when there is none.
static std::string Keeps(const std::map<std::string, sim::ItemInfo> &items, const std::set<std::string> &waiting,
                         const std::string &folder)
{
    for (const sim::ItemInfo &item : AllIn(items, folder))
        if (waiting.count(Upper(item.longPath)) == 0 && waiting.count(Upper(item.shortPath)) == 0)
            return item.longPath;
    return "";
}

// What waits for the restart can be carried out then: a folder that waits
// holds only what waits too, since Windows deletes no folder that is not
// empty. Nothing this run scheduled is gone by its end: the scheduled
// deletion would stay, to delete whatever a later install puts there. A
// restart helps when something of the removal waits for it.
void RunCheck::CheckRestartList(const std::map<std::string, sim::ItemInfo> &after,
                                const std::set<std::string> &waiting, const std::set<std::string> &scheduled,
                                const std::set<std::string> &mayBeNamed)
{
    // A failed read of what waits already leaves the program guessing.
    bool listUnread = false;
    for (const sim::Call &call : sim::Calls())
        listUnread = listUnread || (call.failedWith != 0 && (call.function == "RegOpenKeyExA" ||
                                                               call.function == "RegQueryValueExA" ||
                                                               call.function == "GetPrivateProfileSectionA" ||
                                                               call.function == "GetShortPathNameA" ||
                                                               call.function == "GetVersion"));
    for (const std::string &name : scheduled) {
        std::optional<std::string> now = sim::ResolvePath(name);
        if (!now) {
            if (!listUnread)
                Fail("scheduled for the restart, then deleted by the same run: " + Shown(name));
            continue;
        }
        auto item = after.find(Upper(*now));
        std::string keeps = item != after.end() && item->second.isDir ? Keeps(after, waiting, item->first) : "";
        if (!keeps.empty())
            Fail("a folder waits for the restart, which cannot delete it: it keeps " + keeps + ": " + *now);
    }
    waitsForRestart_ = !scheduled.empty();
    for (const std::string &name : waiting)
        waitsForRestart_ = waitsForRestart_ || (mayBeNamed.count(name) != 0 && sim::ResolvePath(name));
}

// The program holds the log open, without delete sharing, until the
// completion step closes it to delete it; a deletion at the restart
// scheduled meanwhile would outlive that deletion and take whatever is at
// that path then.
void RunCheck::CheckLogNotScheduledWhileOpen()
{
    auto log = items_.find(logLong_);
    if (log == items_.end())
        return;
    std::set<std::string> names{logLong_, Upper(log->second.shortPath)};
    for (const sim::Call &call : sim::Calls()) {
        if (call.function == "CloseHandle" && Upper(call.file) == logLong_ && (call.fileAccess & GENERIC_READ))
            return;
        if (call.function == "MoveFileExA" && call.failedWith == 0 && call.args[2] == "0x4" &&
            names.count(Upper(call.args[0])) != 0) {
            Fail("the log was scheduled for the restart while the program held it open");
            return;
        }
    }
}

void RunCheck::CheckFiles()
{
    bool removal = outcome_ == RUN_COMPLETED;
    bool logMayGo = outcome_ == RUN_COMPLETED && !notALog_;

    // What the log names, resolved before the run.
    std::set<std::string> mayGo;       // upper-case long paths
    std::set<std::string> mayBeNamed;  // upper-case names that may be scheduled
    std::vector<std::string> mustGo;   // long paths that must be gone or scheduled (no failure)
    std::set<std::string> stillCounted;   // names of shared DLLs whose counts stay above 0
    // The names by which text may be deleted or scheduled: as it stands,
    // and the long and short paths of the item it names.
    auto namesOf = [&](const std::string &text) {
        std::set<std::string> names{Upper(text)};
        std::string found = Resolve(text);
        if (!found.empty())
            names.insert(found);
        auto item = items_.find(found);
        if (item != items_.end())
            names.insert(Upper(item->second.shortPath));
        return names;
    };
    auto allow = [&](const std::string &text, bool required) {
        std::set<std::string> names = namesOf(text);
        mayBeNamed.insert(names.begin(), names.end());
        std::string found = Resolve(text);
        if (found.empty())
            return;
        mayGo.insert(found);
        if (required && items_.count(found) != 0)
            mustGo.push_back(found);
    };
    // Why an item that may not go must not: the removal never ran, a
    // shared DLL still counted on, or one the log does not name.
    auto whyNot = [&](const std::string &name) {
        if (!removal)
            return std::string("the run did not complete (") + OutcomeName(outcome_) + ")";
        return std::string(stillCounted.count(name) != 0 ? "its shared-DLL count did not reach 0"
                                                         : "not named by the log");
    };
    for (size_t i = 0; i < records_.size(); i++) {
        const Record &rec = records_[i];
        if (!rec.usable)
            continue;
        if (rec.type == 1 || rec.type == 2)
            allow(rec.primary, true);
        bool countable;
        CountBefore(rec.primary, &countable);
        if (rec.type == 4 && lastReachedZero_ && i + 1 == releasedBefore_ && !countable) {
            // An earlier run deleted its count and was ended before the DLL.
            allow(rec.primary, true);
        } else if (rec.type == 4) {
            // A DLL that only this record names may go when its count
            // reached 0: it held 1 to as many as the records naming it, and
            // its value went.
            DWORD count = CountBefore(rec.primary, &countable);
            if (countable && count >= 1 && count <= (DWORD)Releases(rec.primary) && CountReachedZero(rec.primary))
                allow(rec.primary, true);
            else
                for (const std::string &name : namesOf(rec.primary))
                    stillCounted.insert(name);
        }
    }
    // A file renamed aside by an earlier run, which was ended before it
    // scheduled it: "~MU", five hex digits and ".TMP", in the folder of a
    // file the log names that is gone.
    std::set<std::string> asideBefore;
    auto allowRenamedAside = [&](const std::string &text) {
        if (!Resolve(text).empty())
            return;
        std::string folder = FolderOf(text == logArg_ ? logFull_ : Upper(sim::FullPathName(text)));
        for (const auto &item : items_) {
            const std::string &path = item.first;
            if (FolderOf(path) == folder && IsRenamedAsideName(path.substr(LastComponentAt(path)))) {
                mayGo.insert(path);
                mayBeNamed.insert(path);
                mayBeNamed.insert(Upper(item.second.shortPath));
                mustGo.push_back(path);
                asideBefore.insert(path);
            }
        }
    };
    for (const Record &rec : records_)
        if (rec.usable && (rec.type == 1 || rec.type == 4))
            allowRenamedAside(rec.primary);
    if (logMayGo && !logArg_.empty()) {
        allowRenamedAside(logArg_);
        allow(logArg_, true);
        // The log's folders go when they are empty.
        for (std::string folder = FolderOf(logLong_); folder.size() > 2; folder = FolderOf(folder))
            mayGo.insert(folder);
    }

    std::map<std::string, sim::ItemInfo> after;
    std::map<unsigned long long, sim::ItemInfo> afterById;
    for (const sim::ItemInfo &item : sim::AllItems()) {
        after[Upper(item.longPath)] = item;
        afterById[item.id] = item;
    }
    // Files the log names that were renamed within their folders, to be
    // deleted at the restart under their new names: old path -> the item now.
    std::map<std::string, sim::ItemInfo> renamed;
    for (const auto &before : items_) {
        auto now = after.find(before.first);
        auto moved = afterById.find(before.second.id);
        bool mayChange = removal && mayGo.count(before.first) != 0;
        if (now == after.end() && moved != afterById.end()) {
            if (!mayChange)
                Fail("renamed to " + moved->second.longPath + ", but " + whyNot(before.first) + ": " +
                     before.second.longPath);
            else if (before.second.isDir)
                Fail("a folder renamed to " + moved->second.longPath + ": " + before.second.longPath);
            else if (FolderOf(Upper(moved->second.longPath)) != FolderOf(before.first))
                Fail("renamed out of its folder to " + moved->second.longPath + ": " + before.second.longPath);
            renamed[before.first] = moved->second;
            mayBeNamed.insert(Upper(moved->second.longPath));
            mayBeNamed.insert(Upper(moved->second.shortPath));
        } else if (now == after.end()) {
            if (!mayChange)
                Fail("deleted, but " + whyNot(before.first) + ": " + before.second.longPath);
        } else if (now->second.content != before.second.content && before.first != Upper(kWininit)) {
            Fail("changed: " + before.second.longPath);
        }
        const sim::ItemInfo *kept = now != after.end() ? &now->second : nullptr;
        if (kept == nullptr && moved != afterById.end())
            kept = &moved->second;
        if (kept != nullptr && kept->attributes != before.second.attributes &&
            (!mayChange || kept->attributes != (before.second.attributes & ~(DWORD)FILE_ATTRIBUTE_READONLY)))
            Fail("attributes changed from " + std::to_string(before.second.attributes) + " to " +
                 std::to_string(kept->attributes) + ": " + before.second.longPath);
    }
    for (const auto &now : after) {
        if (items_.count(now.first) != 0 || now.first == Upper(kWininit))
            continue;
        bool isRename = false;
        for (const auto &r : renamed)
            isRename = isRename || r.second.id == now.second.id;
        if (!isRename)
            Fail("created: " + now.second.longPath);
    }

    // Deletions at restart, by MoveFileExA.
    std::vector<std::string> pending = sim::PendingDeletes();
    std::set<std::string> scheduled;
    if (pending.size() < pending_.size() || !std::equal(pending_.begin(), pending_.end(), pending.begin()))
        Fail("deletions at restart that were registered before the run were changed");
    for (size_t i = pending_.size(); i < pending.size(); i++) {
        scheduled.insert(Upper(pending[i]));
        if (!removal || mayBeNamed.count(Upper(pending[i])) == 0)
            Fail("scheduled for deletion at restart, but " + whyNot(Upper(pending[i])) + ": " + Shown(pending[i]));
    }

    // Deletions at restart, by WININIT.INI.
    auto wininit = after.find(Upper(kWininit));
    std::string wininitNow = wininit != after.end() ? wininit->second.content : "";
    if (wininitNow != wininit_) {
        auto before = IniLines(wininit_);
        auto now = IniLines(wininitNow);
        // A read of the section that failed with "no such file" is the
        // platform saying that there is no WININIT.INI whose lines could stay.
        bool saidMissing = false;
        for (const sim::Call &call : sim::CallsTo("GetPrivateProfileSectionA"))
            saidMissing = saidMissing || call.failedWith == ERROR_FILE_NOT_FOUND ||
                          call.failedWith == ERROR_PATH_NOT_FOUND;
        if ((mayGo.count(Upper(kWininit)) == 0 || !removal) && !saidMissing) {
            for (const auto &line : before) {
                if (now.count(line) < before.count(line)) {
                    Fail("WININIT.INI lost the line " + Shown(line.second) + " of [" + line.first + "]");
                    break;
                }
            }
        }
        for (const auto &line : now) {
            if (before.count(line) >= now.count(line))
                continue;
            std::string name = line.second.substr(0, 4) == "NUL=" ? line.second.substr(4) : "";
            if (!removal || line.first != Upper(WININIT_RENAME_SECTION) || mayBeNamed.count(Upper(name)) == 0)
                Fail("WININIT.INI gained a line, but " + whyNot(Upper(name)) + ": " + Shown(line.second) + " in [" +
                     line.first + "]");
            else
                scheduled.insert(Upper(name));
        }
    }

    std::set<std::string> waiting = Waiting(pending, wininitNow);
    CheckRestartList(after, waiting, scheduled, mayBeNamed);
    if (notALog_ && (after.count(logLong_) == 0 || after[logLong_].content != logBytes_ ||
                     scheduled.count(logLong_) != 0 || scheduled.count(Upper(items_[logLong_].shortPath)) != 0))
        Fail("a file that holds no log record was deleted, changed or scheduled: " + items_[logLong_].longPath);

    // Nothing waits for the restart under a path the log names unless the
    // file there could not be renamed first: at the restart a new install
    // may have put its own file there.
    for (const auto &item : items_) {
        const sim::ItemInfo &was = item.second;
        bool scheduledHere = scheduled.count(item.first) != 0 || scheduled.count(Upper(was.shortPath)) != 0;
        if (!scheduledHere || was.isDir || mayGo.count(item.first) == 0 || asideBefore.count(item.first) != 0)
            continue;
        // The program itself holds the log open, without delete sharing,
        // until the passes are over.
        if (renamed.count(item.first) != 0)
            Fail("scheduled under the name it had before it was renamed: " + was.longPath);
        else if (!faulted_ && !was.heldWithoutDeleteSharing && item.first != logLong_)
            Fail("scheduled under its own name, though it could be renamed: " + was.longPath);
    }

    // Without a failure, everything the log names that exists goes now or
    // at restart, and only what exists is scheduled. A file nothing holds
    // goes now, read-only or not; what waits for the restart has no
    // read-only attribute left to stop it then.
    if (removal && !faulted_) {
        auto isScheduled = [&](const sim::ItemInfo &item) {
            return waiting.count(Upper(item.shortPath)) != 0 || waiting.count(Upper(item.longPath)) != 0;
        };
        // A folder that a file or shared-DLL record names is handled with the
        // files, before the directories' pass empties it: it may stay.
        std::set<std::string> directories;
        for (const Record &rec : records_)
            if (rec.type == 2 && rec.usable)
                directories.insert(Resolve(rec.primary));
        for (const std::string &path : mustGo) {
            // WININIT.INI, once deleted, comes back with the next scheduled item.
            if (path == Upper(kWininit))
                continue;
            const sim::ItemInfo &item = items_[path];
            if (item.isDir && directories.count(path) == 0)
                continue;
            auto moved = renamed.find(path);
            const sim::ItemInfo *left = moved != renamed.end() ? &moved->second
                                        : after.count(path) != 0 ? &after[path] : nullptr;
            if (left == nullptr)
                continue;
            // A folder stays, without a restart, when it keeps what no
            // restart deletes (the user's own files), and only then.
            std::string keeps = item.isDir ? Keeps(after, waiting, path) : "";
            if (!isScheduled(*left) && keeps.empty())
                Fail("named by the log, but neither deleted nor scheduled: " + left->longPath);
            else if (!isScheduled(*left))
                continue;
            // The program itself holds the folder it moved to, for the
            // removal, as its current one.
            else if (item.isDir ? !item.held && path != Upper(sim::CurrentFolder()) && AllIn(after, path).empty()
                                : !item.loaded && !item.heldWithoutDeleteSharing)
                Fail("named by the log and held by nothing, but only scheduled: " + left->longPath);
            if (left->attributes & FILE_ATTRIBUTE_READONLY)
                Fail("scheduled, but still read-only: " + left->longPath);
        }
        for (const std::string &name : scheduled) {
            bool exists = false;
            for (const auto &item : items_)
                exists = exists || item.first == name || Upper(item.second.shortPath) == name;
            for (const auto &item : renamed)
                exists = exists || Upper(item.second.longPath) == name || Upper(item.second.shortPath) == name;
            if (!exists && name != "C:\\")
                Fail("scheduled, but it did not exist: " + Shown(name));
        }
    }
}

void RunCheck::CheckRegistry()
{
    bool removal = outcome_ == RUN_COMPLETED;
    std::map<std::string, Values> after;
    for (const sim::RegKeyInfo &key : sim::RegistryKeys()) {
        Values &values = after[key.path];
        for (const auto &v : key.values)
            values[Upper(v.first)] = v;
    }

    // The entries the run may delete: the one the log's last usable name
    // record names or, when the scan may have ended early, any of them.
    std::set<std::string> entries;
    std::string lastName;
    bool named = false;
    for (const Record &rec : records_) {
        if (rec.type != 0 || !rec.usable)
            continue;
        lastName = rec.primary;
        named = true;
        if (faulted_ && !rec.primary.empty() && !HoldsBackslash(rec.primary))
            entries.insert(kUninstall + "\\" + Upper(rec.primary));
    }
    if (named && !lastName.empty() && !HoldsBackslash(lastName))
        entries.insert(kUninstall + "\\" + Upper(lastName));

    // An entry goes with its subtree, but for what lies behind a symbolic
    // link in it.
    auto inEntry = [&](const std::string &path) {
        for (std::string key = path; !key.empty(); key = FolderOf(key))
            if (entries.count(key) != 0)
                return true;
        return false;
    };
    for (const auto &key : registry_) {
        auto now = after.find(key.first);
        if (now == after.end()) {
            if (key.first == kJournal)
                continue;
            if (!removal || !inEntry(key.first))
                Fail("registry key deleted: " + key.first);
            continue;
        }
        std::set<std::string> names;
        for (const auto &v : key.second)
            names.insert(v.first);
        for (const auto &v : now->second)
            names.insert(v.first);
        for (const std::string &name : names) {
            auto was = key.second.find(name);
            auto is = now->second.find(name);
            bool same = was != key.second.end() && is != now->second.end() &&
                        was->second.second.type == is->second.second.type &&
                        was->second.second.data == is->second.second.data;
            if (key.first == kJournal || (key.first == kSessionManager && Upper(name) == Upper(PENDING_RENAMES_VALUE)))
                continue;
            if (key.first != kSharedDlls) {
                if (!same)
                    Fail("registry value changed: " + key.first + " " + Shown(name));
                continue;
            }
            int releases = removal ? Releases(name) : 0;
            bool countable;
            DWORD count = CountBefore(name, &countable);
            std::string what = "shared-DLL count " + Shown(name) + " ";
            if (was == key.second.end()) {
                if (is != now->second.end())
                    Fail(what + "created");
                continue;
            }
            bool expectSame = releases == 0 || !countable || count == 0;
            if (same && !expectSame) {
                // A failed registry call or a cut log pass releases nothing.
                if (!faulted_)
                    Fail(what + "stays at " + std::to_string(count) + " after " + std::to_string(releases) +
                         " releases");
                continue;
            }
            if (expectSame) {
                if (!same)
                    Fail(what + "changed, though it " +
                         (releases == 0 ? "is not released" : !countable ? "is longer than 4 bytes" : "was 0"));
                continue;
            }
            if (is == now->second.end()) {
                if (count > (DWORD)releases)
                    Fail(what + "deleted at " + std::to_string(count) + " after " + std::to_string(releases) +
                         " releases");
                continue;
            }
            const sim::RegValue &v = is->second.second;
            DWORD lowered = LittleEndian(v.data, 0);
            if (v.type != was->second.second.type || v.data.size() != was->second.second.data.size())
                Fail(what + "written back with another type or size");
            else if (lowered >= count)
                Fail(what + "went from " + std::to_string(count) + " to " + std::to_string(lowered) +
                     (lowered > count ? ": a wrapped value" : ""));
            else if (count - lowered > (DWORD)releases)
                Fail(what + "lowered by " + std::to_string(count - lowered) + " for " + std::to_string(releases) +
                     " records");
            else if (!faulted_ && count > (DWORD)releases && count - lowered != (DWORD)releases)
                Fail(what + "lowered by " + std::to_string(count - lowered) + " instead of " +
                     std::to_string(releases));
            else if (!faulted_ && count <= (DWORD)releases)
                Fail(what + "kept at " + std::to_string(lowered) + " though it reached 0");
        }
    }
    for (const auto &key : after)
        if (registry_.count(key.first) == 0 && key.first != kJournal)
            Fail("registry key created: " + key.first);
    CheckJournal(after);

    // Without a failure the application's entry goes, with every key below
    // it, unless a symbolic link stands in it.
    if (removal && !faulted_ && entries.size() == 1) {
        bool linked = false;
        for (const auto &key : registry_)
            if (inEntry(key.first)) {
                auto link = key.second.find("SYMBOLICLINKVALUE");
                linked = linked || (link != key.second.end() && link->second.second.type == REG_LINK);
            }
        for (const auto &key : after)
            if (inEntry(key.first) && !linked)
                Fail("the application's Uninstall entry stays in part: " + key.first);
    }
}

// The release journal: notes of other logs stay as they are; this log's
// note names the log as it is and only ever grows, up to the records the
// log holds; it goes with the log. Only a run that released something
// writes one.
void RunCheck::CheckJournal(const std::map<std::string, Values> &after)
{
    auto was = registry_.find(kJournal);
    auto is = after.find(kJournal);
    Values before = was != registry_.end() ? was->second : Values();
    Values now = is != after.end() ? is->second : Values();
    const std::string &ours = logFull_;
    for (const auto &v : before)
        if (v.first != ours && (now.count(v.first) == 0 || now[v.first].second.data != v.second.second.data))
            Fail("another log's release note changed: " + Shown(v.second.first));
    for (const auto &v : now) {
        if (v.first != ours) {
            if (before.count(v.first) == 0)
                Fail("a release note for another log: " + Shown(v.second.first));
            continue;
        }
        bool unchanged = before.count(v.first) != 0 && before[v.first].second.data == v.second.second.data &&
                         before[v.first].second.type == v.second.second.type;
        if (unchanged)
            continue;
        DWORD released = LittleEndian(v.second.second.data, 16);
        if (!NamesThisLog(v.second.first, v.second.second))
            Fail("the release note does not hold the log's write time and size");
        else if (outcome_ != RUN_COMPLETED)
            Fail(std::string("a release note was written in a ") + OutcomeName(outcome_) + " run");
        else if (released == 0 || released < releasedBefore_ || released > records_.size() ||
                 records_[released - 1].type != 4)
            Fail("the release note says " + std::to_string(released) + " records are released, after " +
                 std::to_string(releasedBefore_) + ", in a log of " + std::to_string(records_.size()));
    }
    bool logGone = logIsFile_ && items_.count(logLong_) != 0 && !sim::ResolvePath(logLong_);
    bool noted = before.count(ours) != 0;
    for (const sim::Call &call : sim::CallsTo("RegSetValueExA"))
        noted = noted || Upper(call.args[1]) == ours;
    if (outcome_ == RUN_COMPLETED && logGone && !faulted_) {
        if (now.count(ours) != 0)
            Fail("the log is deleted, but its release note stays");
        if (is != after.end() && now.empty())
            Fail("the release journal's key stays empty");
    }
    if (!logGone && noted && now.count(ours) == 0 && !faulted_)
        Fail("the log stays, but its release note is gone");
}

// The kind of object a handle stands for, as far as which call closes it:
// CloseHandle, RegCloseKey, DdeUninitialize, DdeFreeStringHandle,
// DdeDisconnect, UnmapViewOfFile or FindClose.
static std::string HandleFamily(const std::string &what)
{
    for (const char *family : {"registry key", "dde instance", "dde string", "dde conversation", "view of", "search"})
        if (what.compare(0, strlen(family), family) == 0)
            return family;
    return "kernel object";
}

void RunCheck::CheckHandles()
{
    // The closing calls made to fail: each may leave the one object it
    // names open, and nothing else.
    std::set<std::pair<std::string, std::string>> failedCloses;   // (family, handle)
    for (const sim::Call &call : sim::Calls()) {
        if (call.failedWith == 0)
            continue;
        if (call.function == "CloseHandle")
            failedCloses.insert({"kernel object", call.args[0]});
        else if (call.function == "RegCloseKey")
            failedCloses.insert({"registry key", call.args[0]});
        else if (call.function == "DdeUninitialize")
            failedCloses.insert({"dde instance", call.args[0]});
        else if (call.function == "DdeFreeStringHandle")
            failedCloses.insert({"dde string", call.args[1]});
        else if (call.function == "DdeDisconnect")
            failedCloses.insert({"dde conversation", call.args[0]});
        else if (call.function == "UnmapViewOfFile")
            failedCloses.insert({"view of", call.args[0]});
        else if (call.function == "FindClose")
            failedCloses.insert({"search", call.args[0]});
    }
    // The process ends right after a declined run or a worker that could
    // not start, and Windows closes the log then.
    bool logMayStay = outcome_ == RUN_DECLINED || (outcome_ == RUN_INIT_FAILED && !sim::CallsTo("CreateThread").empty());
    std::string list;
    for (const sim::HandleInfo &h : sim::OpenHandleInfos()) {
        if (logMayStay && Upper(h.what) == "FILE " + logLong_) {
            logMayStay = false;
            continue;
        }
        if (failedCloses.count({HandleFamily(h.what), h.id}) == 0)
            list += "\n    " + h.what + " (" + h.id + ")";
    }
    if (!list.empty())
        Fail("left open after a " + std::string(OutcomeName(outcome_)) + " run:" + list);
}

// Program Manager gets a command only for a group record it may act on.
void RunCheck::CheckGroupCommands()
{
    std::set<std::string> allowed;
    for (const Record &rec : records_)
        if (rec.type == 5 && rec.usable)
            allowed.insert("[DeleteGroup(\"" + rec.secondary + "\")]" + std::string(1, '\0'));
    for (const std::string &data : sim::DdeExecuteData())
        if (allowed.count(data) == 0)
            Fail("Program Manager was sent a command for no group the log may name: " + Shown(data));
}

// Every reading of the log (the start-up scan and each pass) reads it in
// file order from the first record, whatever the custom programs do with
// the position of the handle they inherit: each read begins at a record,
// after the one before began and no further than it reached, so that no
// record is skipped.
void RunCheck::CheckLogReads()
{
    std::map<DWORD, std::pair<unsigned long long, unsigned long long>> last;   // each thread's last read: from, to
    std::map<DWORD, int> readings;
    for (const sim::Call &call : sim::CallsTo("ReadFile")) {
        if (Upper(call.file) != logLong_ || logLong_.empty())
            continue;
        auto before = last.find(call.thread);
        if (call.position == 0) {
            readings[call.thread]++;
        } else if (before == last.end() || call.position % kRecordSize != 0 || call.position <= before->second.first ||
                   call.position > before->second.second) {
            Fail("the log was read at offset " + std::to_string(call.position) + " out of turn");
            return;
        }
        last[call.thread] = {call.position, call.position + std::stoull(call.args[1])};
    }
    int total = 0;
    for (const auto &r : readings)
        total += r.second;
    // The scan, then each pass; the directories' pass again while a reading
    // leaves folders standing and removes or schedules one.
    int directories = 0;
    for (const Record &rec : records_)
        directories += rec.type == 2 && rec.usable;
    if (total > (int)(1 + kPassCount) + directories)
        Fail("the log was read from its start " + std::to_string(total) + " times");
}

void RunCheck::CheckDialogs(int exitCode)
{
    std::optional<sim::WindowState> progress = sim::FindWindowByTemplate("UNINSTDLG");
    // The dialog shows from the user's Yes on.
    if (outcome_ != RUN_ABORTED && outcome_ != RUN_COMPLETED && progress && progress->everShown)
        Fail("the progress dialog was shown in a " + std::string(OutcomeName(outcome_)) + " run");
    if (unattended_ && progress && progress->everShown)
        Fail("an unattended run showed the progress dialog");
    if (unattended_ && sim::ForegroundWindow() != nullptr)
        Fail("an unattended run brought a window to the front");
    if (!faulted_ && !unattended_ && outcome_ == RUN_ELSEWHERE && sim::ForegroundWindow() == nullptr)
        Fail("a second start did not bring the other run's window to the front");
    if (!faulted_ && !unattended_ && outcome_ == RUN_ABORTED && !(progress && progress->visible))
        Fail("the progress dialog must stay shown after an abort");
    if (!faulted_ && outcome_ == RUN_COMPLETED && !(progress && progress->ended && !progress->visible))
        Fail("the progress dialog must be ended and hidden after a completed run");
    if (!faulted_ && progress && progress->shutdownBlockReason)
        Fail("a logoff is still held off when the run ends");

    size_t restart = 0;
    for (const sim::Call &call : sim::CallsTo("DialogBoxParamA"))
        if (Upper(call.args[0]) == "RESTARTDLG")
            restart++;
    size_t exits = sim::CallsTo("ExitWindowsEx").size();
    if (unattended_ && (restart != 0 || exits != 0))
        Fail("an unattended run offered or asked for a restart");
    // An unattended run says by its exit code what the dialog would offer.
    if (unattended_)
        restart = exitCode == EXIT_RESTART_NEEDED;
    bool scheduled = sim::PendingDeletes().size() > pending_.size();
    if (restart > 1)
        Fail("the restart dialog was offered " + std::to_string(restart) + " times");
    if (restart != 0 && outcome_ != RUN_COMPLETED)
        Fail("the restart dialog was offered after a " + std::string(OutcomeName(outcome_)) + " run");
    if (!faulted_ && outcome_ == RUN_COMPLETED && restart == 0 && scheduled)
        Fail("something was scheduled for the restart, but no restart was offered");
    if (!faulted_ && outcome_ == RUN_COMPLETED && restart != 0 && !waitsForRestart_)
        Fail("a restart was offered, but nothing of the removal waits for it");
    if (exits != 0 && (restart == 0 || !setup_.restartYes))
        Fail("Windows was restarted without the user's Yes");
    if (!faulted_ && !unattended_ && restart != 0 && setup_.restartYes && exits != 1)
        Fail("the user chose to restart, but Windows was not asked to");
}

std::vector<std::string> RunCheck::Check(int exitCode)
{
    errors_.clear();
    faulted_ = false;
    for (const sim::Call &call : sim::Calls())
        faulted_ = faulted_ || call.failedWith != 0;
    outcome_ = ReadOutcome(exitCode);

    if (unattended_ ? outcome_ == RUN_UNKNOWN : exitCode != (outcome_ == RUN_CORRUPT ? -1 : 0))
        Fail("exit code " + std::to_string(exitCode) + " after a" + (unattended_ ? "n unattended " : " ") +
             OutcomeName(outcome_) + " run");
    CheckBoxes();
    CheckExpectedOutcome();
    CheckFiles();
    CheckLogNotScheduledWhileOpen();
    CheckRegistry();
    CheckHandles();
    CheckDialogs(exitCode);
    CheckGroupCommands();
    CheckLogReads();
    return errors_;
}

}  // namespace hardening
