// Both programs, the window and ombrix.exe, hold a mutex in the global namespace while they
// run, so that the installer and the uninstaller see them in every session, other users' too.
#pragma once

// Opens or creates the mutex and keeps it for the life of the process.
void MarkProgramInUse();
