#include "setup/setup_cancel.h"

#include <signal.h>

#include "setup/setup_errors.h"

namespace kitforge::setup {

namespace {

volatile sig_atomic_t cancel_requested = 0;

void OnSignal(int) { cancel_requested = 1; }

}  // namespace

void InstallCancelHandler() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait for a program returns early, and the loop around it looks again.
    action.sa_flags = 0;
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal_number, &action, nullptr);
}

bool CancelRequested() noexcept { return cancel_requested != 0; }
void RequestCancel() noexcept { cancel_requested = 1; }
void ResetCancel() noexcept { cancel_requested = 0; }

void ThrowIfCancelled() {
    if (CancelRequested()) throw SetupCancelled();
}

}  // namespace kitforge::setup
