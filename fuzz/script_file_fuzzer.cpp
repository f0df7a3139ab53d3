// Build scripts come from anywhere: the reader must take any bytes without crashing, and
// what it reads must survive a save and a second reading unchanged.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "model/script_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const kitforge::BuildScript script = kitforge::ParseScriptFile(text);
    const std::string saved = kitforge::FormatScriptFile(script);
    const kitforge::BuildScript again = kitforge::ParseScriptFile(saved);
    // A second save of what was read back must give the same bytes: saving normalises.
    if (kitforge::FormatScriptFile(again) != saved) std::abort();
    return 0;
}
