#include "build.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <fstream>
#include <string>

#include "escape.h"
#include "exit_codes.h"
#include "text_form.h"

static int WriteLog(const char *logPath, const std::string &log, std::ostream &err)
{
    errno = 0;
    std::ofstream out(logPath, std::ios::binary | std::ios::trunc);
    if (!out) {
        // Not opened, so not touched: whatever the name stands for stays.
        err << "instlog: cannot write " << Quoted(logPath) << ": " << strerror(errno) << '\n';
        return INSTLOG_UNWRITABLE;
    }
    out.write(log.data(), (std::streamsize)log.size());
    out.close();
    if (!out) {
        // A half-written log would pass for a whole one.
        err << "instlog: cannot write " << Quoted(logPath) << ": " << strerror(errno) << '\n';
        remove(logPath);
        return INSTLOG_UNWRITABLE;
    }
    return INSTLOG_OK;
}

int RunBuild(const char *textPath, const char *logPath, std::istream &standardInput, std::ostream &err)
{
    bool fromInput = std::string(textPath) == "-";
    std::ifstream file;
    if (!fromInput) {
        errno = 0;
        file.open(textPath, std::ios::binary);
        if (!file) {
            err << "instlog: cannot open " << Quoted(textPath) << ": " << strerror(errno) << '\n';
            return INSTLOG_UNREADABLE;
        }
    }
    std::istream &in = fromInput ? standardInput : file;
    const char *shownName = fromInput ? "(standard input)" : textPath;

    std::string log;
    std::string error;
    size_t line = 0;
    bool parsed = ParseTextForm(in, log, line, error);
    if (in.bad()) {
        err << "instlog: cannot read " << Quoted(shownName) << '\n';
        return INSTLOG_UNREADABLE;
    }
    if (!parsed) {
        err << "instlog: " << EscapeBytes(shownName) << ':' << line << ": " << error << '\n';
        return INSTLOG_MALFORMED;
    }
    return WriteLog(logPath, log, err);
}
