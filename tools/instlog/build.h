// instlog build: writes a log from its text form (text_form.h).
#ifndef INSTLOG_BUILD_H
#define INSTLOG_BUILD_H

#include <istream>
#include <ostream>

// Reads the text form from textPath ("-" for standardInput) and writes the
// log to logPath, replacing it. Nothing is written when the text is not in
// the text form. Messages go to err. Returns an InstlogExit code.
int RunBuild(const char *textPath, const char *logPath, std::istream &standardInput, std::ostream &err);

#endif
