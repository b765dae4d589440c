// The saved copy of an ini file: its path from the ini file's name, and its
// restoration into a new temporary file, with the codes of each failure.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "settings/IniBackup.h"
#include "support/TempFolder.h"

namespace {

TEST(IniBackupTest, BackupPath) {
    const std::pair<const char*, const char*> cases[] = {
        {"/cfg/Trans.ini", "/w/SavedData/Trans_bkp.ini"}, {"E:\\a\\ZK8Host.INI", "/w/SavedData/ZK8Host_bkp.ini"},
        {"a\\b/c.d.ini", "/w/SavedData/c.d_bkp.ini"},     {"ZK8Host.ini", "/w/SavedData"},
        {"/ZK8Host.ini", "/w/SavedData"},                 {"/cfg/", "/w/SavedData"},
        {"/cfg/Trans.txt", "/w/SavedData"},
    };
    for (const auto& [iniPath, expected] : cases) {
        char backup[260] = "stale";
        MakeBackupIniPath(iniPath, backup, "/w");
        EXPECT_STREQ(backup, expected) << iniPath;
    }
    char backup[260] = "stale";
    MakeBackupIniPath("/cfg/Trans.ini", backup, ("/" + std::string(250, 'w')).c_str());
    EXPECT_STREQ(backup, "");  // does not fit
}

TEST(IniBackupTest, Restore) {
    TempFolder folder;
    WriteFile(folder / "b.ini", "[Advanced]\r\nSavedIniFile=1\r\n");
    std::filesystem::permissions(folder / "b.ini", std::filesystem::perms::owner_read);
    char temp[260] = "";
    EXPECT_EQ(RestoreBackupToTemp(temp, (folder / "b.ini").c_str(), folder.Path().c_str()), 0);
    EXPECT_TRUE(std::regex_match(temp, std::regex(folder.Path() + "/[0-9A-F]{4}\\.TMP")));
    EXPECT_EQ(ReadFile(temp), "[Advanced]\r\nSavedIniFile=1\r\n");
    EXPECT_NE(std::filesystem::status(temp).permissions() & std::filesystem::perms::owner_write,
              std::filesystem::perms::none);

    EXPECT_EQ(RestoreBackupToTemp(temp, (folder / "b.ini").c_str(), (folder / "missing").c_str()), -92);
    EXPECT_EQ(RestoreBackupToTemp(temp, (folder / "none.ini").c_str(), folder.Path().c_str()), -91);
    EXPECT_EQ(ReadFile(temp), "");  // the empty temporary file is left for the caller
    EXPECT_TRUE(Exists(temp));
    std::filesystem::create_directory(folder / "dir.ini");  // exists, but cannot be copied
    EXPECT_EQ(RestoreBackupToTemp(temp, (folder / "dir.ini").c_str(), folder.Path().c_str()), -90);
}

}  // namespace
