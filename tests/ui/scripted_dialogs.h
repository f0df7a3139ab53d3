#pragma once
// CommandDialogs for tests: records what each dialog was filled with and answers from a
// queue (nothing = Cancel). A dialog with no answer queued fails the test.

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "ui/command_dialogs.h"

namespace kitforge::testing {

struct DialogCall {
    std::string dialog;               // the caption it was shown with
    std::vector<std::string> fields;  // its texts when it opened (Execute: the label first)
};

class ScriptedDialogs : public CommandDialogs {
public:
    std::deque<std::optional<std::vector<std::string>>> answers;
    std::vector<DialogCall> calls;

    std::optional<ExtractFields> ShowExtract(const ExtractFields& f) override {
        const auto a = Next({"Put A File", {f.SourceFiles, f.TargetFolder}});
        if (!a) return std::nullopt;
        return ExtractFields{a->at(0), a->at(1)};
    }
    std::optional<std::string> ShowExecute(const ExecuteTexts& texts, const std::string& command_line) override {
        const auto a = Next({std::string(texts.caption), {std::string(texts.label), command_line}});
        if (!a) return std::nullopt;
        return a->at(0);
    }
    std::optional<CopyFields> ShowCopy(const CopyFields& f) override {
        const auto a = Next({"Copy File", {f.SourceFile, f.TargetFolder}});
        if (!a) return std::nullopt;
        return CopyFields{a->at(0), a->at(1)};
    }
    std::optional<LinkFields> ShowLink(const LinkFields& f) override {
        const auto a = Next({"Create A Shortcut", {f.ShortcutLocation, f.TargetProgram, f.Arguments}});
        if (!a) return std::nullopt;
        return LinkFields{a->at(0), a->at(1), a->at(2)};
    }

private:
    std::optional<std::vector<std::string>> Next(DialogCall call) {
        calls.push_back(call);
        if (answers.empty()) {
            ADD_FAILURE() << "no answer for the dialog " << call.dialog;
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

}  // namespace kitforge::testing
