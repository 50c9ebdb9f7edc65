// instlog plan: what the uninstaller would do with a log, in the order it
// would do it, without doing any of it.
#ifndef INSTLOG_PLAN_H
#define INSTLOG_PLAN_H

#include <ostream>

// Writes the plan for the log at path to out; messages go to err. Returns an
// InstlogExit code.
int RunPlan(const char *path, std::ostream &out, std::ostream &err);

#endif
