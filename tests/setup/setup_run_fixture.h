#pragma once
// Runs the installer (or the uninstaller) in this process on files made by the test, with its
// streams captured, and a window front-end that answers from a script.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>

#include "payload_bytes.h"
#include "setup/setup_cancel.h"
#include "setup/setup_run.h"
#include "support/temp_folder.h"

namespace kitforge::setup {

using testing::PayloadBytes;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

// Runs the installer at `installer` with `arguments` and `input`, capturing what it prints.
class SetupRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        environment_.home = root_.Path() + "home";
        ApplyXdgDefaults(environment_, "", "");
        environment_.temp_root = root_.Path() + "tmp";
        ::mkdir(environment_.temp_root.c_str(), 0700);
        environment_.current_folder = root_.Path();
        installer_ = root_ / "setup.exe";
    }

    // The installer routes these signals to its cancel flag; give them back to the test runner.
    void TearDown() override {
        for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) ::signal(signal_number, SIG_DFL);
        ResetCancel();
    }

    void MakeInstaller(const std::vector<testing::PayloadTestFile>& files, const std::vector<std::string>& lines) {
        WriteBytes(installer_, "#!stub\n" + PayloadBytes(files, lines, "Choose INSTALL or EXIT.", "Demo App"));
    }

    int Run(std::vector<std::string> arguments, const std::string& input = {}) {
        arguments.insert(arguments.begin(), "/somewhere/setup.exe");
        std::FILE* in = fmemopen(const_cast<char*>(input.data()), input.size() + 1, "r");
        if (input.empty()) {
            std::fclose(in);
            in = std::fopen("/dev/null", "r");
        }
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        const int status = RunSetup(arguments, installer_, environment_, {in, out, err}, make_window_);
        out_ = Drain(out);
        err_ = Drain(err);
        std::fclose(in);
        return status;
    }

    static std::string Drain(std::FILE* stream) {
        std::fflush(stream);
        std::rewind(stream);
        std::string text;
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, stream)) > 0) text.append(buffer, n);
        std::fclose(stream);
        return text;
    }

    TempFolder root_;
    SetupEnvironment environment_;
    std::string installer_;
    std::string out_;
    std::string err_;
    WindowFrontEndMaker make_window_;
};

// A window front-end that answers from a script and records what it was shown.
class ScriptedWindow : public SetupFrontEnd {
public:
    struct Record {
        std::string asked_folder;
        bool folder_choosable = false;
        std::uint64_t last_done = 0, last_total = 0;
        std::vector<std::string> said, complaints;
        int finished = -1;
    };
    ScriptedWindow(Record& record, std::optional<std::string> answer) : record_(record), answer_(std::move(answer)) {}
    std::optional<std::string> Ask(const SetupIntroduction& introduction) override {
        record_.asked_folder = introduction.folder;
        record_.folder_choosable = introduction.folder_choosable;
        return answer_;
    }
    void Step(std::size_t, std::size_t, const std::string&) override {}
    void Warning(const std::string&) override {}
    void Bytes(std::uint64_t done, std::uint64_t total, const std::string&) override {
        record_.last_done = done;
        record_.last_total = total;
    }
    void Say(const std::string& text) override { record_.said.push_back(text); }
    void Complain(const std::string& text) override { record_.complaints.push_back(text); }
    void Finish(SetupStatus status) override { record_.finished = status; }

private:
    Record& record_;
    std::optional<std::string> answer_;
};

}  // namespace kitforge::setup
