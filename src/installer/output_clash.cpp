#include "installer/output_clash.h"

#include <optional>
#include <utility>

#include "os/errors.h"
#include "os/native_path.h"
#include "platform/file_stamp.h"
#include "platform/paths.h"

namespace kitforge {

namespace {

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    if (path.empty()) return std::nullopt;
    const auto stamp = StampOf(path);
    if (!stamp) return std::nullopt;
    return stamp->identity;
}

[[noreturn]] void Refuse(const std::string& output, const std::string& what) {
    throw Error("Cannot build " + DisplayPath(output) + ": the output file is " + what +
                ", which building would destroy. Choose another output file.");
}

}  // namespace

void RefuseOutputThatIsAnInput(const std::string& output_path, const std::string& stub_path,
                               const std::string& script_path, const std::vector<std::string>& sources) {
    const auto output = IdentityOf(output_path);
    if (!output) return;
    if (IdentityOf(script_path) == output) Refuse(output_path, "the build script " + script_path);
    if (IdentityOf(stub_path) == output) Refuse(output_path, "the installer stub " + stub_path);
    for (const auto& source : sources) {
        if (IdentityOf(source) == output) Refuse(output_path, "the source file " + source + " of a Put command");
    }
}

}  // namespace kitforge
