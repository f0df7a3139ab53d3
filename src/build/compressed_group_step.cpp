#include "build/compressed_group_step.h"

#include "platform/errors.h"

namespace kitforge {

// Packing groups into self-extracting zips needs the zip front-end, which this build of
// Kitforge does not have yet. Refusing is better than an installer that silently carries
// the files uncompressed when the author asked for compression.
std::size_t MakeCompressedGroups(std::vector<std::string>& /*lines*/, const std::string& script_path) {
    throw Error("Cannot build " + script_path +
                ": compressed builds (\"Use compression\", compressed=1) are not available in this version. "
                "Turn compression off and build again.");
}

}  // namespace kitforge
