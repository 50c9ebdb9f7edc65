// Releasing the application's reference on a shared DLL, once over every
// run on the same log.
#ifndef REMOVAL_SHARED_DLL_H
#define REMOVAL_SHARED_DLL_H

#include "platform/platform.h"

// Releases the shared DLL at path that the log's record at index (counted
// from 0 in file order) names, unless an earlier run on this log, ended
// halfway, released it already: no count is lowered twice. When that run
// was ended while the count's value and then the DLL went, the DLL goes now
// (or waits for the restart) if the value is still gone.
void ReleaseSharedDllOnce(const char *path, DWORD index);

// Lowers the DLL's count under the SharedDLLs key by one. At zero the count's
// value is deleted and then the DLL itself (or scheduled for the restart). A
// DLL without a count, or with a count of 0, is left alone. Returns 1 when
// the count was lowered, 0 otherwise.
int ReleaseSharedDll(const char *path);

#endif
