// The stub's questions answered through the front-end a window implements: which front-end a
// run gets, and what each structured answer does to the files on the disk.

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>

#include "support/temp_folder.h"
#include "zipsfx/sfx_program.h"
#include "zipsfx_test_archives.h"

namespace kitforge::zipsfx {
namespace {

using kitforge::testing::ReadBytes;
using kitforge::testing::TempFolder;
using kitforge::testing::WriteBytes;
using testing::BuildZip;
using testing::HeaderBytes;
using testing::ScriptedConsole;
using testing::StubBytes;
using testing::TestEntry;
using testing::WriteSfx;

// Answers as a person clicking through the window would, and notes what it was shown.
class ScriptedWindow : public SfxFrontEnd {
public:
    std::optional<std::string> Begin(const SfxIntroduction& introduction) override {
        shown.push_back("begin " + introduction.caption + " | " + introduction.folder +
                        (introduction.folder_choosable ? " | choosable" : ""));
        return folder;
    }
    std::optional<std::vector<bool>> ChooseFiles(const std::vector<std::string>& files) override {
        std::string list = "files";
        for (const auto& file : files) list += " " + file;
        shown.push_back(list);
        return files_chosen;
    }
    std::optional<OverwriteMode> AskOverwriteMode(std::size_t existing, OverwriteMode) override {
        shown.push_back("overwrite " + std::to_string(existing));
        return mode;
    }
    ReplaceAnswer AskReplace(const std::string& path) override {
        shown.push_back("replace " + path);
        if (replies.empty()) return ReplaceAnswer::No;
        const ReplaceAnswer reply = replies.front();
        replies.pop_front();
        return reply;
    }
    bool AskRunCommand(const std::string& command, bool proposed) override {
        shown.push_back("run " + command + (proposed ? " (yes)" : " (no)"));
        return run;
    }
    std::optional<std::string> AskPassword(const std::string& path, bool again) override {
        shown.push_back("password " + path + (again ? " again" : ""));
        if (passwords.empty()) return std::nullopt;
        std::string password = passwords.front();
        passwords.pop_front();
        return password;
    }
    void Kept(const std::string& path) override { shown.push_back("kept " + path); }
    void Extracting(const std::string& path) override { shown.push_back("extracting " + path); }
    bool Progress(std::uint64_t done, std::uint64_t total) override {
        last_progress = {done, total};
        return !cancel_after || done < *cancel_after;
    }
    void Say(const std::string& text) override { shown.push_back("say " + text); }
    void Complain(const std::string& text) override { shown.push_back("complain " + text); }
    void Finish(int status) override { finished = status; }

    std::optional<std::string> folder;
    std::optional<std::vector<bool>> files_chosen;
    std::optional<OverwriteMode> mode;
    std::deque<ReplaceAnswer> replies;
    std::deque<std::string> passwords;
    bool run = false;
    std::optional<std::uint64_t> cancel_after;
    std::vector<std::string> shown;
    std::pair<std::uint64_t, std::uint64_t> last_progress;
    std::optional<int> finished;
};

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
    for (const auto& line : lines) {
        if (line.find(text) != std::string::npos) return true;
    }
    return false;
}

// Every name in `folder`, temporary ones included.
std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
    }
    return names;
}

const std::vector<TestEntry> kFiles = {
    {"one.txt", "1 new"},
    {"two.txt", "2 new"},
    {"three.txt", std::string(70000, '3'), true},
};

class SfxFrontEnds : public ::testing::Test {
protected:
    void Make(std::uint8_t flags, const std::string& command = "") {
        WriteSfx(exe, HeaderBytes(flags, "Caption", "", command), BuildZip(kFiles, StubBytes().size() + 256).bytes);
    }

    // Runs with the scripted window offered when `window` is set, standard input no terminal
    // unless `terminal`.
    int Run(std::vector<std::string> arguments, bool window = true, bool terminal = false) {
        SfxEnvironment environment;
        environment.console = &console;
        environment.self_path = exe;
        environment.input_is_terminal = terminal;
        environment.free_space = [](const std::string&) { return std::nullopt; };
        environment.run_command = [this](const std::string& command, const std::string&) {
            commands.push_back(command);
            return 0;
        };
        if (window) {
            environment.make_window = [this](const std::string& program) -> std::unique_ptr<SfxFrontEnd> {
                EXPECT_EQ(program, "exe.exe");
                if (no_display) return nullptr;
                return std::make_unique<Forward>(front);
            };
        }
        return RunSfx(arguments, environment);
    }

    // The scripted window stays with the test after the run has let go of its front-end.
    class Forward : public SfxFrontEnd {
    public:
        explicit Forward(ScriptedWindow& to) : to_(to) {}
        std::optional<std::string> Begin(const SfxIntroduction& i) override { return to_.Begin(i); }
        std::optional<std::vector<bool>> ChooseFiles(const std::vector<std::string>& f) override {
            return to_.ChooseFiles(f);
        }
        std::optional<OverwriteMode> AskOverwriteMode(std::size_t e, OverwriteMode m) override {
            return to_.AskOverwriteMode(e, m);
        }
        ReplaceAnswer AskReplace(const std::string& p) override { return to_.AskReplace(p); }
        bool AskRunCommand(const std::string& c, bool p) override { return to_.AskRunCommand(c, p); }
        std::optional<std::string> AskPassword(const std::string& p, bool a) override { return to_.AskPassword(p, a); }
        void Kept(const std::string& p) override { to_.Kept(p); }
        void Extracting(const std::string& p) override { to_.Extracting(p); }
        bool Progress(std::uint64_t d, std::uint64_t t) override { return to_.Progress(d, t); }
        void Say(const std::string& t) override { to_.Say(t); }
        void Complain(const std::string& t) override { to_.Complain(t); }
        void Finish(int s) override { to_.Finish(s); }

    private:
        ScriptedWindow& to_;
    };

    TempFolder dir;
    TempFolder target;
    std::string exe = dir / "exe.exe";
    ScriptedConsole console;
    ScriptedWindow front;
    bool no_display = false;
    std::vector<std::string> commands;
};

TEST_F(SfxFrontEnds, TheWindowIsUsedOnlyWhenNobodyCanAnswerOnTheTerminalOrGuiAsks) {
    struct Row {
        const char* label;
        std::vector<std::string> arguments;
        bool terminal;
        bool no_display;
        bool window_used;
        const char* warning;  // in the console's complaints
    };
    const Row rows[] = {
        {"no terminal", {}, false, false, true, ""},
        {"a terminal", {}, true, false, false, ""},
        {"--gui on a terminal", {"--gui"}, true, false, true, ""},
        {"--text without a terminal", {"--text"}, false, false, false, ""},
        {"--silent", {"--silent"}, false, false, false, ""},
        {"--list", {"--list"}, false, false, false, ""},
        {"--test", {"--test"}, false, false, false, ""},
        {"no display", {}, false, true, false, ""},
        {"--gui, no display", {"--gui"}, true, true, false, "warning: no window can be shown"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        Make(0x04 | 0x08 | 0x20);
        console = ScriptedConsole();
        front = ScriptedWindow();
        front.folder = target.Path();
        no_display = row.no_display;
        std::vector<std::string> arguments = row.arguments;
        arguments.insert(arguments.end(), {"-d", target.Path()});
        EXPECT_EQ(Run(arguments, true, row.terminal), 0) << console.err;
        EXPECT_EQ(front.finished.has_value(), row.window_used);
        EXPECT_EQ(front.shown.empty(), !row.window_used);
        EXPECT_NE(console.err.find(row.warning), std::string::npos) << console.err;
        if (!*row.warning) {
            EXPECT_EQ(console.err, "");
        }
    }
    // A build without a window says so in its help, and --gui and --text exclude each other.
    console = ScriptedConsole();
    EXPECT_EQ(Run({"--help"}, false), 0);
    EXPECT_NE(console.out.find("This build has no window"), std::string::npos) << console.out;
    console = ScriptedConsole();
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(console.out.find("asks in a window"), std::string::npos) << console.out;
    console = ScriptedConsole();
    EXPECT_EQ(Run({"--gui", "--text"}), 2);
    EXPECT_NE(console.err.find("--gui and --text cannot be combined"), std::string::npos) << console.err;
}

TEST_F(SfxFrontEnds, EachStructuredAnswerDecidesWhatIsWritten) {
    struct Row {
        const char* label;
        std::uint8_t flags;
        std::vector<bool> files;            // empty: the header does not ask
        std::optional<OverwriteMode> mode;  // nothing: quit at the question
        std::deque<ReplaceAnswer> replies;
        bool run;
        int status;
        const char* expected;  // the contents of one.txt, two.txt, three.txt's first byte
        std::size_t commands;
    };
    const std::string old_files = "1 old|2 old|o";
    const Row rows[] = {
        {"files 1 and 3, never, no command",
         0x02 | 0x01 | 0x40,
         {true, false, true},
         OverwriteMode::Never,
         {},
         false,
         0,
         "1 old|2 old|3",
         0},
        {"all files, always, run",
         0x02 | 0x01,
         {true, true, true},
         OverwriteMode::Always,
         {},
         true,
         0,
         "1 new|2 new|3",
         1},
        {"confirm: yes, none",
         0,
         {},
         OverwriteMode::Confirm,
         {ReplaceAnswer::Yes, ReplaceAnswer::None},
         false,
         0,
         "1 new|2 old|3",
         0},
        {"confirm: no, all",
         0,
         {},
         OverwriteMode::Confirm,
         {ReplaceAnswer::No, ReplaceAnswer::All},
         false,
         0,
         "1 old|2 new|3",
         0},
        {"confirm: quit", 0, {}, OverwriteMode::Confirm, {ReplaceAnswer::Quit}, false, 3, "1 old|2 old|o", 0},
        {"quit at the overwrite question", 0, {}, std::nullopt, {}, false, 3, "1 old|2 old|o", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        TempFolder out;
        WriteBytes(out / "one.txt", "1 old");
        WriteBytes(out / "two.txt", "2 old");
        Make(0x20 | row.flags, "one.txt");
        front = ScriptedWindow();
        front.folder = out.Path();
        if (!row.files.empty()) front.files_chosen = row.files;
        front.mode = row.mode;
        front.replies = row.replies;
        front.run = row.run;
        commands.clear();
        EXPECT_EQ(Run({}), row.status);
        EXPECT_EQ(front.finished, row.status);
        const std::string third = ::access((out / "three.txt").c_str(), F_OK) == 0 ? ReadBytes(out / "three.txt") : "";
        EXPECT_EQ(ReadBytes(out / "one.txt") + "|" + ReadBytes(out / "two.txt") + "|" +
                      (third.empty() ? "o" : third.substr(0, 1)),
                  row.expected);
        EXPECT_EQ(commands.size(), row.commands);
        EXPECT_TRUE(Contains(front.shown, "begin Caption | " + ParentFolder(exe) + " | choosable"));
        EXPECT_EQ(Contains(front.shown, "files one.txt two.txt three.txt"), !row.files.empty());
        EXPECT_EQ(Contains(front.shown, "run one.txt"), (row.flags & 0x01) != 0);
        if (row.status == 3) {
            EXPECT_TRUE(Contains(front.shown, "complain exe.exe: cancelled: nothing was extracted"));
        }
        EXPECT_TRUE(console.out.empty() && console.err.empty() && console.questions.empty())
            << console.out << console.err;
    }
}

TEST_F(SfxFrontEnds, TheFolderChosenInTheWindowIsUsedAndLeavingWritesNothing) {
    Make(0x04 | 0x08 | 0x20);
    // -d fixes the folder: the window shows it but may not change it.
    front.folder = target.Path();
    ASSERT_EQ(Run({"-d", target.Path()}), 0);
    EXPECT_TRUE(Contains(front.shown, "begin Caption | " + target.Path()));
    EXPECT_FALSE(Contains(front.shown, "choosable"));

    // Without -d the person may pick another folder; it is made when missing.
    front = ScriptedWindow();
    front.folder = target / "chosen/deeper";
    ASSERT_EQ(Run({}), 0);
    EXPECT_TRUE(Contains(front.shown, "begin Caption | " + ParentFolder(exe) + " | choosable"));
    EXPECT_EQ(ReadBytes(target / "chosen/deeper/one.txt"), "1 new");
    EXPECT_EQ(front.last_progress, std::make_pair(std::uint64_t{70010}, std::uint64_t{70010}));
    EXPECT_TRUE(Contains(front.shown, "say 3 files extracted."));

    // Exit on the first page.
    front = ScriptedWindow();
    EXPECT_EQ(Run({}), 3);
    EXPECT_EQ(front.finished, 3);
    EXPECT_EQ(NamesIn(dir.Path()), std::vector<std::string>{"exe.exe"});
}

TEST_F(SfxFrontEnds, CancelDuringTheWritingRemovesWhatThisRunWrote) {
    Make(0x04 | 0x08 | 0x20);
    WriteBytes(target / "one.txt", "1 old");
    front.folder = target / "";
    front.cancel_after = 20000;  // inside three.txt, after one.txt and two.txt were staged
    EXPECT_EQ(Run({}), 3);
    EXPECT_EQ(front.finished, 3);
    EXPECT_TRUE(Contains(front.shown, "complain exe.exe: cancelled: nothing was extracted"));
    EXPECT_EQ(ReadBytes(target / "one.txt"), "1 old");
    EXPECT_EQ(NamesIn(target.Path()), std::vector<std::string>{"one.txt"});
}

}  // namespace
}  // namespace kitforge::zipsfx
