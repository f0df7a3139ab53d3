// Which folders root refuses to install into: one that another user owns, or may write
// without the sticky bit, anywhere from "/" down to the install folder.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "setup/folder_ownership.h"
#include "support/temp_folder.h"

namespace kitforge::setup {
namespace {

using testing::TempFolder;

constexpr uid_t kNobody = 65534;

TEST(FolderOthersCanChange, NamesTheFirstFolderAnotherUserCouldChange) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: the folders of the test must belong to root, and another "
                        "user's folder is made with chown";
    TempFolder folder;
    const std::string base = folder.Path();
    struct Case {
        const char* name;
        mode_t mode;
        uid_t owner;
        std::string reason;  // after the folder's path; empty when the folder is fine
    };
    const Case cases[] = {
        {"root's own folder", 0755, 0, ""},
        {"sticky and writable by all, like /tmp", 01777, 0, ""},
        {"writable by others", 0777, 0, " is writable by others and has no sticky bit"},
        {"writable by its group", 0775, 0, " is writable by its group 0 and has no sticky bit"},
        {"another user's", 0755, kNobody, " is owned by user 65534, not by root"},
        {"another user's, in a sticky folder", 01777, kNobody, " is owned by user 65534, not by root"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const std::string shared = base + "case" + std::to_string(i);
        ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
        ASSERT_EQ(::chmod(shared.c_str(), c.mode), 0);
        ASSERT_EQ(::chown(shared.c_str(), c.owner, 0), 0);
        const std::string expected = c.reason.empty() ? "" : shared + c.reason;
        EXPECT_EQ(FolderOthersCanChange(shared + "/app/bin"), expected) << c.name << " above";
        EXPECT_EQ(FolderOthersCanChange(shared), expected) << c.name << " as the target";
    }

    // A link is judged by its owner, and what it leads to is judged too.
    ASSERT_EQ(::mkdir((base + "good").c_str(), 0755), 0);
    ASSERT_EQ(::symlink((base + "good").c_str(), (base + "their-link").c_str()), 0);
    ASSERT_EQ(::lchown((base + "their-link").c_str(), kNobody, 0), 0);
    EXPECT_EQ(FolderOthersCanChange(base + "their-link/app"),
              base + "their-link is a link owned by user 65534, not by root");
    ASSERT_EQ(::symlink((base + "case2").c_str(), (base + "root-link").c_str()), 0);
    EXPECT_EQ(FolderOthersCanChange(base + "root-link/app"),
              base + "case2 is writable by others and has no sticky bit");
    ASSERT_EQ(::symlink((base + "good").c_str(), (base + "fine-link").c_str()), 0);
    EXPECT_EQ(FolderOthersCanChange(base + "fine-link/app"), "");
}

}  // namespace
}  // namespace kitforge::setup
