#include "setup/installer_checksum.h"

#include "setup/setup_errors.h"

namespace kitforge::setup {

payload::ChecksumCheck VerifyInstallerChecksum(payload::ByteSource& source, const payload::Payload& payload,
                                               const SetupStreams& streams, const std::string& program_name) {
    payload::ChecksumOptions options;
    options.taking_long = [&] {
        PrintLine(streams.out,
                  program_name + ": checking " + PrintablePath(source.Name()) + " against its checksum...");
        std::fflush(streams.out);
    };
    return payload::VerifyPayloadChecksum(source, payload, options);
}

}  // namespace kitforge::setup
