// The text form of a log, as instlog dump writes it, read back into the
// bytes of the log. Line by line:
//
//   # anything                      a comment; blank lines are ignored too
//   record N at OFFSET: TYPE        starts a record; "N at OFFSET:" may be
//   record TYPE                     left out and is not checked
//   primary "TEXT" [unterminated]   the field's text (default: empty)
//   primary after zero "BYTES"      bytes after its terminating zero
//   secondary ...                   the same for the second field
//   tail at OFFSET: N bytes "BYTES" 1 to 515 bytes after the last record
//
// TYPE is APPNAME, FILE, DIR, TYPE3, SHAREDDLL, PMGROUP, SYSREG, CUSTOMRUN or
// "type N" with N from 0 to 4294967295, optionally followed by "(unknown)"
// when N is not one of the named codes. Texts are written as escape.h says.
#ifndef INSTLOG_TEXT_FORM_H
#define INSTLOG_TEXT_FORM_H

#include <stddef.h>

#include <istream>
#include <string>

// The largest log build writes, and the longest line it reads.
#define TEXT_FORM_MAX_LOG (256u * 1024u * 1024u)
#define TEXT_FORM_MAX_LINE 65536u

// Reads the whole text form from in into log. On failure returns false with
// the 1-based number of the offending line and what is wrong with it.
bool ParseTextForm(std::istream &in, std::string &log, size_t &errorLine, std::string &error);

#endif
