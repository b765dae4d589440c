#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "settings/Folders.h"
#include "support/TempFolder.h"

namespace {

// Sets the application-data variable for one test and restores it after.
class AppDataVariable {
public:
    explicit AppDataVariable(const std::string& value) {
        if (const char* old = std::getenv(kName)) m_old = old;
        setenv(kName, value.c_str(), 1);
    }
    ~AppDataVariable() {
        if (m_old)
            setenv(kName, m_old->c_str(), 1);
        else
            unsetenv(kName);
    }

private:
    static constexpr const char* kName = "ZK8_COMMON_APPDATA";
    std::optional<std::string> m_old;
};

TEST(FoldersTest, AppDataPathIsProductFolderBelowCommonFolder) {
    TempFolder common;
    AppDataVariable variable(common.Path());
    const std::string expected = common.Path() + "/ORVANE/Kelmora";
    EXPECT_EQ(std::string(GetAppDataPath()), expected);
    EXPECT_EQ(std::string(g_appDataPath), expected);
    EXPECT_FALSE(FileExists(expected.c_str()));
    std::filesystem::create_directories(expected);
    EXPECT_TRUE(FileExists(GetAppDataPath()));
}

TEST(FoldersTest, FailedQueryKeepsLastPath) {
    TempFolder common;
    {
        AppDataVariable variable(common.Path());
        GetAppDataPath();
    }
    AppDataVariable failing("");
    EXPECT_EQ(std::string(GetAppDataPath()), common.Path() + "/ORVANE/Kelmora");
}

TEST(FoldersTest, FileExistsForFilesAndFolders) {
    TempFolder folder;
    WriteFile(folder / "a.txt", "x");
    EXPECT_TRUE(FileExists(folder.Path().c_str()));
    EXPECT_TRUE(FileExists((folder / "a.txt").c_str()));
    EXPECT_FALSE(FileExists((folder / "missing.txt").c_str()));
    EXPECT_TRUE(FileExists(nullptr));
}

TEST(FoldersTest, ExeFolderIsFolderOfTheTestProgram) {
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(GetExeFolder(), exe.parent_path().string());
}

TEST(FoldersTest, CurrentDirectoryAndVersionClass) {
    std::string current = "stale";
    EXPECT_TRUE(GetCurrentDirectoryString(current));
    EXPECT_EQ(current, std::filesystem::current_path().string());
    EXPECT_EQ(GetWindowsVersionClass(), 2);
}

}  // namespace
