#pragma once
// Ctrl+C during an installation. The signal handler only sets a flag; the installer looks at it
// between commands and between the chunks of every copy, removes the file it was writing and
// ends with the status for a cancelled installation.

namespace kitforge::setup {

// Routes SIGINT, SIGTERM and SIGHUP to the flag. The programs that the script starts get the
// default handling back when they start.
void InstallCancelHandler();

bool CancelRequested() noexcept;
void RequestCancel() noexcept;
void ResetCancel() noexcept;

// Throws SetupCancelled once a cancel was requested.
void ThrowIfCancelled();

}  // namespace kitforge::setup
