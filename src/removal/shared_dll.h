// Releasing the application's reference on a shared DLL.
#ifndef REMOVAL_SHARED_DLL_H
#define REMOVAL_SHARED_DLL_H

// Lowers the DLL's count under the SharedDLLs key by one. At zero the count's
// value is deleted and then the DLL itself (or scheduled for the restart). A
// DLL without a count, or with a count of 0, is left alone. Returns 1 when
// the count was lowered, 0 otherwise.
int ReleaseSharedDll(const char *path);

// Ends a release that an earlier run began and was ended in: the count's
// value was about to be deleted, and then the DLL. When the value is gone,
// the DLL is deleted (or scheduled for the restart); when it is there,
// nothing is done. Returns 1 when the DLL was passed on for deletion.
int FinishSharedDllRelease(const char *path);

#endif
