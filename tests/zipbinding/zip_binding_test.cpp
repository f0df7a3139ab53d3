// The binding of the zip component to the zip library, driven through small fake libraries
// built by the test suite: the layout chosen by version, every field of the call record, the
// loading failures, the checks of Add and its clean-up, and the callback.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_zipdll.h"
#include "support/scripted_ui_host.h"
#include "support/temp_folder.h"
#include "zip/zip_master.h"
#include "zip/zip_master_internals.h"

namespace {

using kitforge::TZipMaster;
using kitforge::testing::ScriptedUiHost;
using kitforge::testing::TempFolder;

std::string FakeFolder(const std::string& variant) { return std::string(FAKE_ZIPDLL_ROOT) + "/" + variant; }

// Holds the fake loaded for the whole test, so that its recorded state outlives the
// component's own load and unload.
class Fake {
public:
    explicit Fake(const std::string& variant) {
        handle_ = dlopen((FakeFolder(variant) + "/ZIPDLL.DLL").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) {
            ADD_FAILURE() << dlerror();
            return;
        }
        auto get = reinterpret_cast<FakeZipDllStateFunction>(dlsym(handle_, FAKE_STATE_NAME));
        state_ = get();
        std::memset(state_, 0, sizeof(*state_));
    }
    ~Fake() {
        if (handle_ != nullptr) dlclose(handle_);
    }
    FakeZipDllState& State() { return *state_; }
    void Script(int action, int error_code, std::uint32_t size, const std::string& text) {
        FakeCallbackStep& step = state_->steps[state_->step_count++];
        step.action = action;
        step.error_code = error_code;
        step.size = size;
        std::memcpy(step.text, text.data(), std::min(text.size(), sizeof(step.text)));
    }

private:
    void* handle_ = nullptr;
    FakeZipDllState* state_ = nullptr;
};

struct Message {
    int code;
    std::string text;
    int id;  // the component's message id (0 for library reports)
};

struct Progress {
    kitforge::ProgressType type;
    std::string name;
    std::int64_t size;
};

class ZipBinding : public ::testing::Test {
protected:
    ScriptedUiHost host;
    TZipMaster zip{host};
    TempFolder folder;
    std::vector<Message> messages;
    std::vector<Progress> progress;

    void SetUp() override {
        zip.OnMessage = [this](TZipMaster& sender, int code, const std::string& text) {
            messages.push_back({code, text, code == 0 && text == sender.LastMessage() ? sender.LastMessageId() : 0});
        };
        zip.OnProgress = [this](TZipMaster&, kitforge::ProgressType type, const std::string& name, std::int64_t size) {
            progress.push_back({type, name, size});
        };
    }

    void Prepare(const std::string& variant, std::vector<std::string> specs = {"/data/a.txt", "/data/b.txt"}) {
        zip.SetDLLDirectory(FakeFolder(variant));
        zip.SetZipFilename(folder / "out.zip");
        zip.FSpecArgs() = std::move(specs);
        messages.clear();
        host.messages.clear();
    }

    bool Reported(int id) const {
        for (const auto& message : messages)
            if (message.id == id) return true;
        return false;
    }
};

TEST_F(ZipBinding, Version150GetsTheOldLayoutAnd151TheNewOne) {
    {
        Fake fake("v150");
        Prepare("v150");
        zip.Add();
        EXPECT_EQ(fake.State().exec_calls, 1);
        EXPECT_EQ(fake.State().seal, ZIPDLL_RECORD_SEAL);  // at the old layout's place
        EXPECT_STREQ(fake.State().specs[0], "/data/a.txt");
        EXPECT_STREQ(fake.State().specs[1], "/data/b.txt");
        EXPECT_EQ(zip.LibraryVersion(), 150);
    }
    {
        Fake fake("v151");
        Prepare("v151");
        zip.SetTempDir("/scratch");
        zip.Add();
        EXPECT_EQ(fake.State().exec_calls, 1);
        EXPECT_EQ(fake.State().seal, ZIPDLL_RECORD_SEAL);  // at the new layout's place
        EXPECT_STREQ(fake.State().specs[1], "/data/b.txt");
        EXPECT_TRUE(fake.State().has_temp_dir);
        EXPECT_STREQ(fake.State().temp_dir, "/scratch");
    }
    EXPECT_FALSE(zip.LibraryLoaded());  // each Add unloaded what it loaded
}

TEST_F(ZipBinding, TheToolsCaseFillsTheCommonFieldsAsDocumented) {
    Fake fake("v151");
    Prepare("v151");
    zip.Add();
    const ZipCallHeader& h = fake.State().header;
    EXPECT_EQ(h.caller, &zip);
    EXPECT_EQ(h.window, static_cast<void*>(zip.OwnerWindow()));
    EXPECT_EQ(h.record_version, 158);
    EXPECT_NE(h.callback, nullptr);
    EXPECT_EQ(h.no_directory_entries, -1);
    EXPECT_EQ(h.junk_directory_names, -1);
    EXPECT_EQ(h.recurse, 0);
    for (std::int32_t flag : {h.encrypt, h.hidden_files, h.force_dos, h.move, h.update, h.freshen, h.zip_time, h.trace,
                              h.verbose, h.reserved24, h.reserved36, h.reserved40, h.reserved48, h.reserved64,
                              h.reserved68, h.reserved92, h.reserved104})
        EXPECT_EQ(flag, 0);
    EXPECT_EQ(h.always_true56, -1);
    EXPECT_EQ(h.always_true80, -1);
    EXPECT_EQ(h.compression_level, 9);
    EXPECT_EQ(h.spec_count, 2);
    EXPECT_EQ(std::string(fake.State().archive_name), folder / "out.zip");
    EXPECT_FALSE(fake.State().has_temp_dir);
}

TEST_F(ZipBinding, OptionsReachTheirFlags) {
    Fake fake("v151");
    Prepare("v151");
    using namespace kitforge;
    zip.SetAddOptions({AddDirNames, AddRecurseDirs, AddMove, AddFreshen, AddUpdate, AddZipTime, AddForceDOS,
                       AddHiddenFiles, AddEncrypt, AddSeparateDirs});
    zip.SetPassword(std::string(100, 'p'));
    zip.SetUnattended(true);
    zip.SetAddCompLevel(3);
    zip.Add();
    const ZipCallHeader& h = fake.State().header;
    EXPECT_EQ(h.window, nullptr);
    EXPECT_EQ(h.no_directory_entries, 0);
    EXPECT_EQ(h.junk_directory_names, 0);
    EXPECT_EQ(h.recurse, 0xFFFF);
    for (std::int32_t flag : {h.encrypt, h.hidden_files, h.force_dos, h.move, h.update, h.zip_time})
        EXPECT_EQ(flag, -1);
    EXPECT_EQ(h.freshen, 0);  // update wins over freshen
    EXPECT_EQ(h.compression_level, 3);
    EXPECT_EQ(std::string(fake.State().password), std::string(80, 'p'));
}

TEST_F(ZipBinding, MissingExportsAreReportedAndNeverCalled) {
    {
        Fake fake("no-exec");
        Prepare("no-exec");
        zip.Add();
        EXPECT_TRUE(Reported(10602));
        EXPECT_EQ(fake.State().version_calls, 0);
        EXPECT_EQ(zip.FSpecArgs().size(), 2u);
    }
    {
        Fake fake("no-version");
        Prepare("no-version");
        zip.Add();
        EXPECT_TRUE(Reported(10603));
        EXPECT_EQ(fake.State().exec_calls, 0);
        EXPECT_EQ(zip.LibraryVersion(), 0);
        EXPECT_FALSE(zip.LibraryLoaded());
        EXPECT_FALSE(zip.OperationActive());
    }
}

TEST_F(ZipBinding, AMissingLibraryIsReportedIn10604sBox) {
    Prepare("no-such-variant");
    zip.Add();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, kitforge::MessageTextOrMissing(10604));
    EXPECT_TRUE(Reported(10604));
    EXPECT_EQ(zip.AddedCount(), 0);
    EXPECT_FALSE(zip.OperationActive());
    EXPECT_EQ(zip.FSpecArgs().size(), 2u);
}

TEST_F(ZipBinding, EarlyChecksReportAndKeepTheSpecifications) {
    Fake fake("v151");
    Prepare("v151", {});
    zip.Add();
    EXPECT_TRUE(Reported(10301));
    EXPECT_FALSE(zip.LibraryLoaded());
    EXPECT_EQ(fake.State().version_calls, 0);

    Prepare("v151");
    zip.SetZipFilename("");
    messages.clear();
    zip.Add();
    EXPECT_TRUE(Reported(10102));
    EXPECT_EQ(zip.FSpecArgs().size(), 2u);

    Prepare("v151");
    zip.SetUnattended(true);
    zip.SetAddOptions({kitforge::AddEncrypt});
    zip.Add();
    EXPECT_TRUE(Reported(10302));
    EXPECT_EQ(fake.State().exec_calls, 0);
}

TEST_F(ZipBinding, MultiVolumeAddsRefuseFreshenUpdateAndExecutables) {
    Fake fake("v151");
    using namespace kitforge;
    Prepare("v151");
    zip.SetZipFilename(folder / "set.EXE");
    zip.SetAddOptions({AddDiskSpan, AddUpdate});
    zip.Add();
    EXPECT_TRUE(Reported(10303));
    EXPECT_FALSE(Reported(11041));
    messages.clear();
    zip.SetAddOptions({AddDiskSpanErase});
    zip.Add();
    EXPECT_TRUE(Reported(11041));
    EXPECT_EQ(fake.State().exec_calls, 0);
}

// Without a temporary name the library would be handed an empty archive name: the Add reports
// 10101 and ends before the library is loaded, keeping its specifications.
TEST_F(ZipBinding, AMultiVolumeAddWithoutATemporaryFileEndsBeforeTheLibrary) {
    Fake fake("v151");
    Prepare("v151");
    zip.SetAddOptions({kitforge::AddDiskSpan});
    zip.SetTempDir(folder / "no-such-folder");
    zip.Add();
    EXPECT_TRUE(Reported(10101));
    EXPECT_EQ(fake.State().exec_calls, 0);
    EXPECT_EQ(zip.FSpecArgs().size(), 2u);
    EXPECT_FALSE(zip.OperationActive());
}

TEST_F(ZipBinding, ReportsReachOnMessageTrimmedWithBackslashesAndNoBox) {
    Fake fake("v151");
    Prepare("v151");
    fake.Script(ZIPDLL_ACTION_MESSAGE, 300, 0, "a/b/c.txt  ");
    fake.Script(ZIPDLL_ACTION_MESSAGE, 0, 0, "plain\r\n");
    zip.Add();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].code, 300);
    EXPECT_EQ(messages[0].text, "a\\b\\c.txt");
    EXPECT_EQ(messages[1].code, 0);
    EXPECT_EQ(messages[1].text, "plain");
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(ZipBinding, ProgressActionsAndAFullLengthName) {
    Fake fake("v151");
    Prepare("v151");
    fake.Script(ZIPDLL_ACTION_FILE_COUNT, 0, 2, "");
    fake.Script(ZIPDLL_ACTION_BYTE_TOTAL, 0, 4000000000u, "");
    fake.Script(ZIPDLL_ACTION_FILE_START, 0, 10, "dir/" + std::string(508, 'n'));  // fills all 512 bytes
    fake.Script(ZIPDLL_ACTION_ADVANCE, 0, 10, "ignored");
    fake.Script(99, 0, 0, "unknown actions are ignored");
    fake.Script(ZIPDLL_ACTION_BATCH_END, 0, 0, "");
    fake.State().result = 0;
    zip.Add();
    using namespace kitforge;
    ASSERT_EQ(progress.size(), 5u);
    EXPECT_EQ(progress[0].type, ProgressFileCount);
    EXPECT_EQ(progress[1].size, 4000000000);
    EXPECT_EQ(progress[2].type, ProgressFileStart);
    EXPECT_EQ(progress[2].name, "dir\\" + std::string(508, 'n'));
    EXPECT_EQ(progress[3].type, ProgressAdvance);
    EXPECT_EQ(progress[3].name, "");
    EXPECT_EQ(progress[4].type, ProgressBatchEnd);
    EXPECT_EQ(host.process_messages_calls, 6);
}

TEST_F(ZipBinding, CancelIsReadAfterTheHandlersAndClearedAtTheEnd) {
    Fake fake("v151");
    Prepare("v151");
    for (int i = 0; i < 4; ++i) fake.Script(ZIPDLL_ACTION_ADVANCE, 0, 1, "");
    zip.OnProgress = [this](TZipMaster& sender, kitforge::ProgressType, const std::string&, std::int64_t) {
        progress.push_back({});
        if (progress.size() == 2) sender.SetCancelRequested(true);
    };
    zip.Add();
    EXPECT_EQ(fake.State().steps_made, 2);
    EXPECT_EQ(fake.State().answers[0], 0);
    EXPECT_EQ(fake.State().answers[1], -1);
    EXPECT_FALSE(zip.CancelRequested());
    EXPECT_FALSE(zip.OperationActive());
}

TEST_F(ZipBinding, AddFromAHandlerReturnsSilently) {
    Fake fake("v151");
    Prepare("v151");
    fake.Script(ZIPDLL_ACTION_ADVANCE, 0, 1, "");
    std::vector<std::string> seen_specs;
    zip.OnProgress = [&](TZipMaster& sender, kitforge::ProgressType, const std::string&, std::int64_t) {
        sender.FSpecArgs() = {"/other"};
        std::size_t before = messages.size();
        sender.Add();
        seen_specs = sender.FSpecArgs();
        EXPECT_EQ(messages.size(), before);
    };
    fake.State().result = 0;
    zip.Add();
    EXPECT_EQ(fake.State().exec_calls, 1);
    EXPECT_EQ(seen_specs, std::vector<std::string>{"/other"});
    EXPECT_TRUE(zip.FSpecArgs().empty());  // the outer Add consumed its list
}

TEST_F(ZipBinding, AHandlerThatThrowsStopsTheLibraryAndReports10101) {
    Fake fake("v151");
    Prepare("v151");
    fake.Script(ZIPDLL_ACTION_ADVANCE, 0, 1, "");
    fake.Script(ZIPDLL_ACTION_ADVANCE, 0, 1, "");
    zip.OnProgress = [](TZipMaster&, kitforge::ProgressType, const std::string&, std::int64_t) {
        throw std::runtime_error("handler failed");
    };
    zip.Add();
    EXPECT_EQ(fake.State().steps_made, 1);
    EXPECT_EQ(fake.State().answers[0], -1);
    EXPECT_TRUE(Reported(10101));
    EXPECT_TRUE(zip.FSpecArgs().empty());
    EXPECT_FALSE(zip.OperationActive());
}

TEST_F(ZipBinding, MoreSpecificationsThanTheOldLayoutHoldsFailTheGuardedStep) {
    Fake fake("v150");
    Prepare("v150", std::vector<std::string>(4098, "/x"));
    zip.Add();
    EXPECT_TRUE(Reported(10101));
    EXPECT_EQ(fake.State().exec_calls, 0);
    EXPECT_TRUE(zip.FSpecArgs().empty());
    EXPECT_EQ(kitforge::ZipMasterInternals::Library(zip).CallRecord, nullptr);
}

TEST_F(ZipBinding, ALoadedLibraryStaysLoaded) {
    Fake fake("v151");
    Prepare("v151");
    zip.LoadZipLibrary();
    ASSERT_TRUE(zip.LibraryLoaded());
    zip.Add();
    EXPECT_TRUE(zip.LibraryLoaded());
    zip.UnloadZipLibrary();
    EXPECT_FALSE(zip.LibraryLoaded());
}

TEST_F(ZipBinding, TraceReports10601WhenTheLibraryLoads) {
    Fake fake("v151");
    Prepare("v151");
    zip.SetTrace(true);
    zip.Add();
    EXPECT_TRUE(Reported(10601));
    EXPECT_EQ(fake.State().header.verbose, -1);
}

}  // namespace
