// instlog check: the problems of a log, one per line with the record they
// concern, so that an installer author can fix them before shipping.
#ifndef INSTLOG_CHECK_H
#define INSTLOG_CHECK_H

#include <ostream>
#include <string>

// Writes the findings for the log at path to out; messages go to err.
// Returns INSTLOG_OK for a clean log, INSTLOG_PROBLEMS when something was
// found, or another InstlogExit code when the log cannot be read.
int RunCheck(const char *path, std::ostream &out, std::ostream &err);

#endif
