#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "settings/IniBackup.h"
#include "support/TempFolder.h"

namespace {

TEST(IniBackupTest, FileNameAndBackupPath) {
    const struct {
        const char *iniPath, *name, *backup;
    } cases[] = {
        {"/cfg/Trans.ini", "Trans.ini", "/w/SavedData/Trans_bkp.ini"},
        {"E:\\a\\ZK8Host.INI", "ZK8Host.INI", "/w/SavedData/ZK8Host_bkp.ini"},
        {"a\\b/c.d.ini", "c.d.ini", "/w/SavedData/c.d_bkp.ini"},
        {"ZK8Host.ini", "", "/w/SavedData"},
        {"/ZK8Host.ini", "", "/w/SavedData"},
        {"/cfg/", "", "/w/SavedData"},
        {"/cfg/Trans.txt", "Trans.txt", "/w/SavedData"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.iniPath);
        char name[260] = "stale";
        GetPathFileName(c.iniPath, name);
        EXPECT_STREQ(name, c.name);
        char backup[260] = "stale";
        MakeBackupIniPath(c.iniPath, backup, "/w");
        EXPECT_STREQ(backup, c.backup);
    }
    // A backup path that does not fit stays empty.
    char backup[260] = "stale";
    MakeBackupIniPath("/cfg/Trans.ini", backup, ("/" + std::string(250, 'w')).c_str());
    EXPECT_STREQ(backup, "");
}

TEST(IniBackupTest, RestoreCopiesBackupIntoNewTmpFile) {
    TempFolder folder;
    const std::string backup = folder / "Trans_bkp.ini";
    WriteFile(backup, "[Advanced]\r\nSavedIniFile=1\r\n");
    std::filesystem::permissions(backup, std::filesystem::perms::owner_read);
    char temp[260] = "";
    EXPECT_EQ(RestoreBackupToTemp(temp, backup.c_str(), folder.Path().c_str()), 0);
    EXPECT_TRUE(std::regex_match(temp, std::regex(folder.Path() + "/[0-9A-F]{4}\\.TMP")));
    EXPECT_EQ(ReadFile(temp), "[Advanced]\r\nSavedIniFile=1\r\n");
    const auto perms = std::filesystem::status(temp).permissions();
    EXPECT_NE(perms & std::filesystem::perms::owner_write, std::filesystem::perms::none);
}

TEST(IniBackupTest, RestoreFailures) {
    TempFolder folder;
    WriteFile(folder / "b.ini", "x");
    char temp[260] = "";
    EXPECT_EQ(RestoreBackupToTemp(temp, (folder / "b.ini").c_str(), (folder / "missing").c_str()), -92);
    EXPECT_EQ(RestoreBackupToTemp(temp, (folder / "none.ini").c_str(), folder.Path().c_str()), -91);
    EXPECT_EQ(ReadFile(temp), "");  // the empty temporary file is left for the caller
    EXPECT_TRUE(Exists(temp));
    std::filesystem::create_directory(folder / "dir.ini");  // exists, but cannot be copied
    EXPECT_EQ(RestoreBackupToTemp(temp, (folder / "dir.ini").c_str(), folder.Path().c_str()), -90);
}

}  // namespace
