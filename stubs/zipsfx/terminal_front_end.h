#pragma once
// The self-extractor's dialogue on the terminal: lines of text and questions answered with a
// line of input, through a Console (standard streams, or a script in the tests).

#include "zipsfx/console.h"
#include "zipsfx/sfx_front_end.h"

namespace kitforge::zipsfx {

class TerminalFrontEnd final : public SfxFrontEnd {
public:
    explicit TerminalFrontEnd(Console& console) : console_(console) {}

    std::optional<std::string> Begin(const SfxIntroduction& introduction) override;
    std::optional<std::vector<bool>> ChooseFiles(const std::vector<std::string>& files) override;
    std::optional<OverwriteMode> AskOverwriteMode(std::size_t existing, OverwriteMode proposed) override;
    ReplaceAnswer AskReplace(const std::string& path) override;
    bool AskRunCommand(const std::string& command, bool proposed) override;
    std::optional<std::string> AskPassword(const std::string& path, bool again) override;
    void Kept(const std::string& path) override;
    void Extracting(const std::string& path) override;
    bool Progress(std::uint64_t, std::uint64_t) override { return true; }
    void Say(const std::string& text) override { console_.Say(text); }
    void Complain(const std::string& text) override { console_.Complain(text); }
    void Finish(int) override {}

private:
    Console& console_;
};

}  // namespace kitforge::zipsfx
