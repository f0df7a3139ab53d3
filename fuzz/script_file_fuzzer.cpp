// Build scripts come from anywhere: the reader must take any bytes without crashing, and a
// save of what it read must read back with the same fields and every non-empty command. The
// editor's diagnosis of the same bytes must list every line that became an empty row; when it
// lists nothing, a save must keep the whole project; and what the writer writes is a script.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "model/script_diagnosis.h"
#include "model/script_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const kitforge::BuildScript script = kitforge::ParseScriptFile(text);
    const std::string saved = kitforge::FormatScriptFile(script);
    const kitforge::BuildScript again = kitforge::ParseScriptFile(saved);
    std::size_t kept = 0;
    for (const auto& command : script.Commands) kept += command.Action != kitforge::CommandKind::None;
    if (again.Title != script.Title || again.Prompt != script.Prompt || again.Notes != script.Notes ||
        again.Output != script.Output || again.Compressed != script.Compressed || again.Commands.size() != kept) {
        std::abort();
    }

    const kitforge::ScriptDiagnosis diagnosis = kitforge::DiagnoseScript(text);
    if (diagnosis.unread_lines.size() < script.Commands.size() - kept) std::abort();
    if (diagnosis.unread_lines.empty() && !diagnosis.cut_at_line && !(again == script)) std::abort();
    const kitforge::ScriptDiagnosis of_saved = kitforge::DiagnoseScript(saved);
    if (of_saved.cut_at_line || of_saved.verdict == kitforge::ScriptVerdict::NoSection ||
        of_saved.verdict == kitforge::ScriptVerdict::NulBeforeSection) {
        std::abort();
    }
    return 0;
}
