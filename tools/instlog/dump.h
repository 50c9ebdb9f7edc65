// instlog dump: every byte of a log in the readable text form that
// instlog build turns back into the same log.
#ifndef INSTLOG_DUMP_H
#define INSTLOG_DUMP_H

#include <ostream>

// Writes the text form of the log at path to out; messages go to err.
// Returns an InstlogExit code.
int RunDump(const char *path, std::ostream &out, std::ostream &err);

#endif
