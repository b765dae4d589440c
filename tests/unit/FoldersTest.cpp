#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "settings/Folders.h"
#include "support/TempFolder.h"

namespace {

TEST(FoldersTest, AppDataPathIsProductFolderBelowCommonFolder) {
    TempFolder common;
    const std::string expected = common.Path() + "/ORVANE/Kelmora";
    setenv("ZK8_COMMON_APPDATA", common.Path().c_str(), 1);
    EXPECT_EQ(std::string(GetAppDataPath()), expected);
    EXPECT_FALSE(FileExists(g_appDataPath));
    std::filesystem::create_directories(expected);
    EXPECT_TRUE(FileExists(GetAppDataPath()));
    // A failing query keeps the last good path.
    setenv("ZK8_COMMON_APPDATA", "", 1);
    EXPECT_EQ(std::string(GetAppDataPath()), expected);
    unsetenv("ZK8_COMMON_APPDATA");
}

TEST(FoldersTest, FileExistsForFilesAndFolders) {
    TempFolder folder;
    WriteFile(folder / "a.txt", "x");
    EXPECT_TRUE(FileExists(folder.Path().c_str()));
    EXPECT_TRUE(FileExists((folder / "a.txt").c_str()));
    EXPECT_FALSE(FileExists((folder / "missing.txt").c_str()));
    EXPECT_TRUE(FileExists(nullptr));
}

TEST(FoldersTest, ExeFolder) {
    EXPECT_EQ(GetExeFolder(), std::filesystem::read_symlink("/proc/self/exe").parent_path().string());
}

}  // namespace
