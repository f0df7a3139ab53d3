// Ctrl+C, Ctrl+Break and closing the console window on Windows: the handler only sets the
// flag that the installer looks at between commands and between the chunks of every copy.
#include "os/win32_api.h"
#include "setup/setup_cancel.h"
#include "setup/setup_errors.h"

namespace kitforge::setup {

namespace {

volatile LONG cancel_requested = 0;

BOOL WINAPI OnConsoleEvent(DWORD) {
    InterlockedExchange(&cancel_requested, 1);
    return TRUE;
}

}  // namespace

void InstallCancelHandler() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool CancelRequested() noexcept { return InterlockedCompareExchange(&cancel_requested, 0, 0) != 0; }
void RequestCancel() noexcept { InterlockedExchange(&cancel_requested, 1); }
void ResetCancel() noexcept { InterlockedExchange(&cancel_requested, 0); }

void ThrowIfCancelled() {
    if (CancelRequested()) throw SetupCancelled();
}

}  // namespace kitforge::setup
