#pragma once
// The installer's check of its own payload against the checksum the builder stored, run before
// it writes anything (and by --check).

#include <string>

#include "payload/payload_checksum.h"
#include "setup/setup_console.h"

namespace kitforge::setup {

// Reads the whole payload and compares it with its checksum. Throws
// payload::DamagedInstallerError (naming the installer, asking for a new download) when they
// differ; an installer built without a checksum passes. Prints nothing unless the reading
// takes longer than a second, and then one line on `streams.out`.
payload::ChecksumCheck VerifyInstallerChecksum(payload::ByteSource& source, const payload::Payload& payload,
                                               const SetupStreams& streams, const std::string& program_name);

}  // namespace kitforge::setup
