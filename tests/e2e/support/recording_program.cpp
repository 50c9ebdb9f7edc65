#include "recording_program.h"

#include <windows.h>

#include <cstdlib>

#include "files.h"

namespace e2e {

const char kJournalVariable[] = "E2E_CUSTOM_JOURNAL";

static const char kCommandLinePrefix[] = "command line: ";

std::string BuiltRecordingProgram()
{
    const char *hostPath = std::getenv("E2E_RECORDING_PROGRAM_EXE");
    return hostPath && *hostPath ? WindowsPathOfHostPath(hostPath) : "";
}

bool PlaceRecordingProgram(const std::string &path, const RecordingProgram &program, std::string *error)
{
    const std::string built = BuiltRecordingProgram();
    if (built.empty()) {
        *error = "E2E_RECORDING_PROGRAM_EXE names no recording program";
        return false;
    }
    if (!CreateDirectories(ParentOf(path), error))
        return false;
    if (!CopyFileA(built.c_str(), path.c_str(), FALSE)) {
        *error = "copying " + built + " to " + path + ": " + driver::ErrorText(GetLastError());
        return false;
    }
    std::string instructions = "exit " + std::to_string(program.exitStatus) + "\r\n";
    for (const std::string &file : program.probeFiles)
        instructions += "exists " + file + "\r\n";
    if (!program.logToInspect.empty())
        instructions += (program.recordsToRead != 0 ? "read " + std::to_string(program.recordsToRead) + " " : "log ") +
                        program.logToInspect + "\r\n";
    if (!program.waitFor.empty())
        instructions += "wait " + program.waitFor + "\r\n";
    for (const std::string &left : {path + ".out", path + ".waiting"})
        if (FileExists(left) && !DeleteFileA(left.c_str())) {
            *error = "cannot delete " + left + ": " + driver::ErrorText(GetLastError());
            return false;
        }
    return WriteText(path + ".in", instructions, error);
}

std::vector<std::string> RecordedLines(const std::string &path)
{
    std::vector<std::string> lines;
    std::vector<unsigned char> bytes;
    std::string ignored;
    if (!ReadBytes(path + ".out", &bytes, &ignored))
        return lines;
    std::string text(bytes.begin(), bytes.end());
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

bool HasRun(const std::string &path)
{
    return FileExists(path + ".out");
}

std::string RecordedCommandLine(const std::string &path)
{
    for (const std::string &line : RecordedLines(path))
        if (line.compare(0, sizeof(kCommandLinePrefix) - 1, kCommandLinePrefix) == 0)
            return line.substr(sizeof(kCommandLinePrefix) - 1);
    return "";
}

}  // namespace e2e
