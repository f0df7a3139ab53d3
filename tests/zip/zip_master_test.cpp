// The component itself: its defaults, the setters with rules of their own, how it reports,
// and the exception it raises inside.

#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include "zip_test_support.h"
#include "zip/zip_master_internals.h"

namespace kitforge {
namespace {

using testing::TempFolder;
using testing::WriteBytes;
using testing::ZipHarness;

TEST(ZipMaster, StartsWithTheDefaultsOfAnArchiveOperation) {
    testing::ScriptedUiHost host;
    TZipMaster zip(host);
    EXPECT_FALSE(zip.Verbose());
    EXPECT_FALSE(zip.Trace());
    EXPECT_EQ(zip.AddCompLevel(), 9);
    EXPECT_TRUE(zip.AddOptions().Empty());
    EXPECT_TRUE(zip.ExtrOptions().Empty());
    EXPECT_EQ(zip.SFXOptions(), SFXOpts{SFXCheckSize});
    EXPECT_EQ(zip.SFXOptions().Bits(), 16);
    EXPECT_TRUE(zip.FSpecArgs().empty());
    EXPECT_FALSE(zip.Unattended());
    EXPECT_EQ(zip.ZipFilename(), "");
    EXPECT_EQ(zip.SFXPath(), "ZipSFX.bin");
    EXPECT_EQ(zip.DLLDirectory(), "");
    EXPECT_EQ(zip.SFXOverWriteMode(), OvrConfirm);
    EXPECT_EQ(zip.SFXCaption(), "Self-extracting Archive");
    EXPECT_EQ(zip.MaxVolumeSize(), 0);
    EXPECT_EQ(zip.MinFreeVolumeSize(), 65536);
    EXPECT_EQ(zip.KeepFreeOnDisk1(), 0);
    EXPECT_TRUE(zip.ConfirmErase());
    EXPECT_EQ(zip.CodePage(), cpAuto);
    EXPECT_EQ(zip.HowToDelete(), htdAllowUndo);
    EXPECT_EQ(zip.VersionInfo(), "1.52 M");
    EXPECT_EQ(zip.OwnerWindow(), &host);
    EXPECT_FALSE(zip.OperationActive());
    EXPECT_FALSE(zip.LibraryLoaded());
    EXPECT_EQ(ZipMasterInternals::Library(zip).CallRecord, nullptr);
}

TEST(ZipMaster, OptionSetsKeepValueNAsBitN) {
    EXPECT_EQ((SFXOpts{SFXAutoRun, SFXHideOverWriteBox}).Bits(), 12);
    EXPECT_EQ((AddOpts{AddDirNames, AddDiskSpanErase}).Bits(), 0x801);
    AddOpts options{AddFreshen, AddUpdate};
    options.Exclude(AddFreshen);
    EXPECT_TRUE(options.Contains(AddUpdate));
    EXPECT_FALSE(options.Contains(AddFreshen));
    EXPECT_EQ(ExtrOpts::FromBits(0x10), ExtrOpts{ExtrTest});
}

TEST(ZipMaster, DllDirectoryLosesOneTrailingSeparatorWhenItChanges) {
    testing::ScriptedUiHost host;
    TZipMaster zip(host);
    zip.SetDLLDirectory("C:\\Kitforge\\");
    EXPECT_EQ(zip.DLLDirectory(), "C:\\Kitforge");
    zip.SetDLLDirectory("C:\\Kitforge\\\\");
    EXPECT_EQ(zip.DLLDirectory(), "C:\\Kitforge\\");
    // The same value again is not a change, so it keeps its backslash.
    zip.SetDLLDirectory("C:\\Kitforge\\");
    EXPECT_EQ(zip.DLLDirectory(), "C:\\Kitforge\\");
    zip.SetDLLDirectory("/opt/kitforge/bin/");
    EXPECT_EQ(zip.DLLDirectory(), "/opt/kitforge/bin");
}

TEST(ZipMaster, ReadOnlyAndBoundedProperties) {
    testing::ScriptedUiHost host;
    TZipMaster zip(host);
    zip.SetVersionInfo("9.99");
    EXPECT_EQ(zip.VersionInfo(), "1.52 M");
    zip.SetPassword(std::string(300, 'p'));
    EXPECT_EQ(zip.Password(), std::string(255, 'p'));
    const std::vector<std::string> specs{"/a/b.txt", "/c/*.dat"};
    zip.SetFSpecArgs(specs);
    zip.FSpecArgs().push_back("/d");
    EXPECT_EQ(zip.FSpecArgs().size(), 3u);
    EXPECT_EQ(specs.size(), 2u);
}

TEST(ZipMaster, AssigningTheSameArchiveNameReadsItAgain) {
    TempFolder folder;
    WriteBytes(folder / "a.zip", std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    ZipHarness h;
    h.Read(folder / "a.zip");
    h.Read(folder / "a.zip");
    EXPECT_EQ(h.dir_updates, 2);
    EXPECT_EQ(h.host.busy_changes, 4);
}

TEST(ZipMaster, ReportMessageShowsABoxUnlessUnattendedAndAlwaysTellsTheHandler) {
    ZipHarness h;
    h.zip.ReportMessage(10604);
    h.zip.ReportMessage(10203, " (extra)");
    ASSERT_EQ(h.host.messages.size(), 2u);
    EXPECT_EQ(h.host.messages[0].text, "Unable to load the zip library ZIPDLL.DLL");
    EXPECT_EQ(h.host.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(h.host.messages[0].caption, "Kitforge");
    EXPECT_EQ(h.host.messages[0].buttons, Buttons::Ok);
    EXPECT_EQ(h.host.messages[1].kind, MessageKind::Warning);
    EXPECT_EQ(h.reports.size(), 2u);
    EXPECT_EQ(h.reports[1].text.substr(h.reports[1].text.size() - 8), " (extra)");
    EXPECT_EQ(h.zip.LastMessageId(), 10203);

    h.zip.SetUnattended(true);
    h.zip.ReportMessage(10102);
    EXPECT_EQ(h.host.messages.size(), 2u);
    ASSERT_EQ(h.reports.size(), 3u);
    EXPECT_EQ(h.reports[2].id, 10102);
}

TEST(ZipMaster, IdsWithoutATextShowTheMissingTextRule) {
    ZipHarness h;
    h.zip.ReportMessage(10999, "!");
    ASSERT_EQ(h.host.messages.size(), 1u);
    EXPECT_EQ(h.host.messages[0].text,
              "ZipMsgXX.res is probably not bound to executable\nMissing String ID is: 10999!");
}

TEST(ZipMaster, ReportExceptionShowsOnlyWhatIsToBeDisplayed) {
    ZipHarness h;
    h.zip.ReportException(EZipMaster::Silent(11007));
    EXPECT_TRUE(h.host.messages.empty());
    ASSERT_EQ(h.reports.size(), 1u);
    EXPECT_EQ(h.reports[0].id, 11007);
    h.zip.ReportException(EZipMaster::WithDisk(11038, 3));
    ASSERT_EQ(h.host.messages.size(), 1u);
    EXPECT_EQ(h.host.messages[0].text, "This is disk 3 of a multi-volume zip set; insert the last disk of the set");
    EXPECT_EQ(h.reports.size(), 2u);
}

TEST(ZipMaster, ReportsNeverRaiseEvenWhenTheHandlerDoes) {
    ZipHarness h;
    h.zip.OnMessage = [](TZipMaster&, int, const std::string&) { throw std::runtime_error("handler failed"); };
    EXPECT_NO_THROW(h.zip.ReportMessage(10202));
    EXPECT_NO_THROW(h.zip.ReportException(EZipMaster::Shown(11036)));
    EXPECT_EQ(h.host.messages.size(), 2u);
}

TEST(EZipMasterTest, ThreeConstructorsFillTheTextTheirWay) {
    const EZipMaster plain = EZipMaster::Silent(11036);
    EXPECT_EQ(plain.MessageId, 11036);
    EXPECT_FALSE(plain.DisplayMessage);
    EXPECT_STREQ(plain.what(), "This file is not a zip archive: it has no end of central directory record");
    EXPECT_TRUE(EZipMaster::Shown(11036).DisplayMessage);

    const EZipMaster disk = EZipMaster::WithDisk(11038, 2);
    EXPECT_TRUE(disk.DisplayMessage);
    EXPECT_STREQ(disk.what(), "This is disk 2 of a multi-volume zip set; insert the last disk of the set");

    const EZipMaster drive = EZipMaster::WithDrive(11004, "A:\\");
    EXPECT_TRUE(drive.DisplayMessage);
    EXPECT_STREQ(drive.what(), "The drive A:\\ is not ready, or its volume cannot be read");
    const std::string root = "\\\\server\\share\\";
    EXPECT_STREQ(EZipMaster::WithDrive(11003, root).what(),
                 "The drive \\\\server\\share\\ is not a drive letter from A to Z");

    // Without a bound text the rule is shown as it is, with nothing filled in.
    EXPECT_STREQ(EZipMaster::WithDisk(10998, 5).what(),
                 "ZipMsgXX.res is probably not bound to executable\nMissing String ID is: 10998");
    EXPECT_STREQ(EZipMaster::WithDrive(10997, "C:\\").what(),
                 "ZipMsgXX.res is probably not bound to executable\nMissing String ID is: 10997");
}

TEST(PathHelpers, TrailingBackslashAndBackslashes) {
    EXPECT_EQ(WithTrailingBackslash("C:\\temp"), "C:\\temp\\");
    EXPECT_EQ(WithTrailingBackslash("C:\\temp\\"), "C:\\temp\\");
    EXPECT_EQ(WithTrailingBackslash("/tmp/"), "/tmp/");
    EXPECT_EQ(WithTrailingBackslash(""), "\\");
    EXPECT_EQ(ToBackslashes("a/b/c.txt"), "a\\b\\c.txt");
    EXPECT_EQ(ToBackslashes("/"), "\\");
}

}  // namespace
}  // namespace kitforge
