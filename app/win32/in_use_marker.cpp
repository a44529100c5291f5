#include "app/win32/in_use_marker.h"

#include <windows.h>
// windows.h first: sddl.h needs its types.
#include <sddl.h>

#include "product.h"

void MarkProgramInUse() {
    // Everyone may wait on it: a program of a second user then opens the first user's mutex
    // (asking no more than that) and keeps it alive after the first one ends. The creator's
    // handle has what it asks for, whatever the list grants.
    PSECURITY_DESCRIPTOR everyoneMayWait = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x00100000;;;WD)", SDDL_REVISION_1,
                                                         &everyoneMayWait, nullptr);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, everyoneMayWait, FALSE};
    // Never closed: the mutex goes when the process does, however it ends.
    CreateMutexExW(everyoneMayWait ? &attributes : nullptr, L"Global\\" OMBRIX_IN_USE_NAME, 0,
                   SYNCHRONIZE);
    if (everyoneMayWait) LocalFree(everyoneMayWait);
}
