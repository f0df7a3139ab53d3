#include "setup/script_plan.h"

#include <array>

#include "formats/installer_payload.h"
#include "platform/ascii_case.h"
#include "setup/command_line_split.h"
#include "setup/setup_errors.h"

namespace kitforge::setup {

namespace {

struct Keyword {
    std::string_view text;
    CommandWord word;
};

constexpr std::array<Keyword, 6> kKeywords = {{
    {"EXECUTE", CommandWord::Execute},
    {"RUN", CommandWord::Run},
    {"COPY", CommandWord::Copy},
    {"LINK", CommandWord::Link},
    {"CLEANUP", CommandWord::Cleanup},
    {"QUIT", CommandWord::Quit},
}};

// The text after the command word and its one blank.
std::string_view RestOf(std::string_view line) {
    const std::size_t blank = line.find(' ');
    return blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
}

constexpr std::string_view kAppPathToken = "%apppath%";
// A damaged record can claim a name of megabytes; messages show its start.
constexpr std::size_t kShownNameBytes = 100;

bool NamesRecord(std::string_view written, std::string_view name) {
    if (written == name) return true;
    if (written.size() < kAppPathToken.size() + name.size()) return false;
    return written.substr(written.size() - name.size()) == name &&
           written.substr(written.size() - name.size() - kAppPathToken.size(), kAppPathToken.size()) == kAppPathToken;
}

class Planner {
public:
    explicit Planner(const payload::Payload& payload) : payload_(payload) {}

    std::vector<ScriptStep> Plan() {
        std::vector<ScriptStep> steps;
        steps.reserve(payload_.lines.size());
        for (std::size_t i = 0; i < payload_.lines.size(); ++i) {
            ScriptStep step;
            step.line_number = i + 1;
            step.line = payload_.lines[i];
            step.word = ReadCommandWord(step.line);
            Fill(step);
            steps.push_back(std::move(step));
        }
        return steps;
    }

private:
    [[noreturn]] static void Fail(const ScriptStep& step, std::string_view reason) {
        throw ScriptError(step.line_number, step.line, reason);
    }

    void Fill(ScriptStep& step) {
        const std::string_view rest = RestOf(step.line);
        switch (step.word) {
            case CommandWord::Extract: FillExtract(step); break;
            case CommandWord::Execute:
            case CommandWord::Run:
                step.words = SplitCommandLine(rest);
                if (step.words.empty() || step.words.front().empty()) Fail(step, "the line names no program");
                break;
            case CommandWord::Copy: FillCopy(step, rest); break;
            case CommandWord::Link: FillLink(step, rest); break;
            case CommandWord::Cleanup: step.folder = std::string(rest); break;
            case CommandWord::Quit:
            case CommandWord::Unknown: break;
        }
    }

    void FillExtract(ScriptStep& step) {
        if (next_file_ >= payload_.files.size()) {
            Fail(step, "the installer is damaged: this EXTRACT line has no file record");
        }
        step.file_index = next_file_++;
        const std::string& name = payload_.files[step.file_index].name;
        if (!formats::IsSafeFileName(name)) {
            Fail(step, "the installer is damaged: its file record is named \"" + Printable(name, kShownNameBytes) +
                           "\", which is not a plain file name");
        }
        if (!SplitExtractLine(step.line, name, step.folder)) {
            Fail(step, "the installer is damaged: the line does not name its file record \"" +
                           Printable(name, kShownNameBytes) + "\"");
        }
    }

    static void FillCopy(ScriptStep& step, std::string_view rest) {
        // The source ends at the first blank, as the editor reads a copy line back.
        const std::size_t blank = rest.find(' ');
        if (blank == std::string_view::npos || blank == 0) Fail(step, "the line names no file to copy");
        step.source = std::string(rest.substr(0, blank));
        step.folder = std::string(rest.substr(blank + 1));
    }

    static void FillLink(ScriptStep& step, std::string_view rest) {
        const std::vector<std::string> groups = QuotedGroups(rest);
        if (groups.empty() || groups[0].empty()) Fail(step, "the line names no launcher");
        if (groups.size() < 2 || groups[1].empty()) Fail(step, "the line names no program for the launcher");
        step.location = groups[0];
        step.words.push_back(groups[1]);
        if (groups.size() > 2) {
            for (auto& argument : SplitCommandLine(groups[2])) step.words.push_back(std::move(argument));
        }
    }

    const payload::Payload& payload_;
    std::size_t next_file_ = 0;
};

}  // namespace

CommandWord ReadCommandWord(std::string_view line) {
    if (formats::IsExtractLine(line)) return CommandWord::Extract;
    const std::string_view word = line.substr(0, line.find(' '));
    for (const auto& keyword : kKeywords) {
        if (EqualIgnoringAsciiCase(word, keyword.text)) return keyword.word;
    }
    return CommandWord::Unknown;
}

bool SplitExtractLine(std::string_view line, std::string_view name, std::string& target) {
    if (!formats::IsExtractLine(line) || name.empty()) return false;
    const std::string_view rest = line.substr(formats::kExtractWord.size());
    // An empty target leaves the line as the name alone, possibly without its last blank.
    if (NamesRecord(rest, name)) {
        target.clear();
        return true;
    }
    for (std::size_t blank = rest.find(' '); blank != std::string_view::npos; blank = rest.find(' ', blank + 1)) {
        if (NamesRecord(rest.substr(0, blank), name)) {
            target = std::string(rest.substr(blank + 1));
            return true;
        }
    }
    return false;
}

std::vector<ScriptStep> PlanScript(const payload::Payload& payload) { return Planner(payload).Plan(); }

}  // namespace kitforge::setup
