#include "support/remove_tree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

class RemoveTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("remove-tree-" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(root_, ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    fs::remove_all(root_, ignored);
  }
  void Touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
  }
  fs::path root_;
};

TEST_F(RemoveTreeTest, RemovesNestedFoldersAndFiles) {
  Touch(root_ / "tree/a.jpg");
  Touch(root_ / "tree/sub/b.jpg");
  Touch(root_ / "tree/sub/deeper/c");
  fs::create_directories(root_ / "tree/empty");
  RemoveDirectoryTree((root_ / "tree").string().c_str());
  EXPECT_FALSE(fs::exists(root_ / "tree"));
}

TEST_F(RemoveTreeTest, AcceptsBackslashesAsSeparators) {
  Touch(root_ / "tree/sub/b.jpg");
  RemoveDirectoryTree(((root_ / "tree").string() + "\\").c_str());
  EXPECT_FALSE(fs::exists(root_ / "tree"));
}

TEST_F(RemoveTreeTest, LeavesAMissingFolderAlone) {
  RemoveDirectoryTree((root_ / "missing").string().c_str());
  EXPECT_TRUE(fs::exists(root_));
  EXPECT_FALSE(fs::exists(root_ / "missing"));
}

TEST_F(RemoveTreeTest, RemovesLinksWithoutFollowingThem) {
  Touch(root_ / "outside/keep/precious.mp4");
  Touch(root_ / "outside/single.mp4");
  Touch(root_ / "tree/frame00001.jpg");
  std::error_code failed;
  fs::create_directory_symlink(root_ / "outside/keep", root_ / "tree/folder_link", failed);
  if (!failed) fs::create_symlink(root_ / "outside/single.mp4", root_ / "tree/file_link", failed);
  if (failed) GTEST_SKIP() << "links cannot be made here: " << failed.message();
  RemoveDirectoryTree((root_ / "tree").string().c_str());
  EXPECT_FALSE(fs::exists(fs::symlink_status(root_ / "tree")));
  EXPECT_TRUE(fs::exists(root_ / "outside/keep/precious.mp4"));
  EXPECT_TRUE(fs::exists(root_ / "outside/single.mp4"));
}

TEST_F(RemoveTreeTest, KeepsTheFoldersAboveAReadOnlyFileItCannotDelete) {
  Touch(root_ / "tree/sub/locked.jpg");
  Touch(root_ / "tree/sub/free.jpg");
  Touch(root_ / "tree/other/gone.jpg");
  fs::permissions(root_ / "tree/sub/locked.jpg",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  RemoveDirectoryTree((root_ / "tree").string().c_str());
  EXPECT_FALSE(fs::exists(root_ / "tree/sub/free.jpg"));
  EXPECT_FALSE(fs::exists(root_ / "tree/other"));
  // Windows cannot delete a read-only file; on POSIX its name goes. A folder that still holds
  // something stays, and every folder above it.
  const bool kept = fs::exists(root_ / "tree/sub/locked.jpg");
  EXPECT_EQ(fs::exists(root_ / "tree/sub"), kept);
  EXPECT_EQ(fs::exists(root_ / "tree"), kept);
}

TEST_F(RemoveTreeTest, RemovesAFolderThatIsALinkAsALink) {
  Touch(root_ / "outside/precious.mp4");
  std::error_code failed;
  fs::create_directory_symlink(root_ / "outside", root_ / "tree", failed);
  if (failed) GTEST_SKIP() << "links cannot be made here: " << failed.message();
  RemoveDirectoryTree((root_ / "tree").string().c_str());
  EXPECT_FALSE(fs::exists(fs::symlink_status(root_ / "tree")));
  EXPECT_TRUE(fs::exists(root_ / "outside/precious.mp4"));
}

TEST_F(RemoveTreeTest, LeavesAFileInTheFoldersPlaceAlone) {
  Touch(root_ / "tree");
  RemoveDirectoryTree((root_ / "tree").string().c_str());
  EXPECT_TRUE(fs::is_regular_file(root_ / "tree"));
}

}  // namespace
