// The exit codes of instlog, one per kind of outcome, so that scripts can
// tell a log with problems from a bad command line or an unreadable file.
#ifndef INSTLOG_EXIT_CODES_H
#define INSTLOG_EXIT_CODES_H

enum InstlogExit {
    INSTLOG_OK = 0,          // done; for check: no problems found
    INSTLOG_PROBLEMS = 1,    // check found problems in the log
    INSTLOG_USAGE = 2,       // unknown command or option, missing or extra arguments
    INSTLOG_UNREADABLE = 3,  // the input file cannot be opened or read
    INSTLOG_MALFORMED = 4,   // the text given to build is not in the text form
    INSTLOG_UNWRITABLE = 5   // build cannot write the log, or the output cannot be written
};

#endif
