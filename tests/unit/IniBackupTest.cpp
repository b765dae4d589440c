#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "settings/IniBackup.h"
#include "support/TempFolder.h"

namespace {

struct NameCase {
    const char* path;
    const char* expected;
};

class IniBackupNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(IniBackupNameTest, FileNameAfterLastSeparator) {
    char name[260] = "stale";
    GetPathFileName(GetParam().path, name);
    EXPECT_STREQ(name, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(IniBackup, IniBackupNameTest,
                         ::testing::Values(NameCase{"/cfg/sub/Trans.ini", "Trans.ini"},
                                           NameCase{"E:\\cfg\\Trans.ini", "Trans.ini"},
                                           NameCase{"a\\b/c.ini", "c.ini"}, NameCase{"a/b\\c.ini", "c.ini"},
                                           NameCase{"Trans.ini", ""}, NameCase{"/Trans.ini", ""},
                                           NameCase{"/cfg/", ""}));

struct BackupCase {
    const char* iniPath;
    const char* expected;
};

class IniBackupPathTest : public ::testing::TestWithParam<BackupCase> {};

TEST_P(IniBackupPathTest, BackupPathBelowSavedData) {
    char backup[260] = "stale";
    MakeBackupIniPath(GetParam().iniPath, backup, "/w");
    EXPECT_STREQ(backup, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(IniBackup, IniBackupPathTest,
                         ::testing::Values(BackupCase{"/cfg/Trans.ini", "/w/SavedData/Trans_bkp.ini"},
                                           BackupCase{"E:\\a\\ZK8Host.INI", "/w/SavedData/ZK8Host_bkp.ini"},
                                           BackupCase{"/cfg/a.b.ini", "/w/SavedData/a.b_bkp.ini"},
                                           BackupCase{"ZK8Host.ini", "/w/SavedData"},
                                           BackupCase{"/cfg/Trans.txt", "/w/SavedData"},
                                           BackupCase{"/cfg/Trans", "/w/SavedData"}));

TEST(IniBackupTest, BackupPathThatDoesNotFitStaysEmpty) {
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

TEST(IniBackupTest, MissingFolderGivesMinus92) {
    TempFolder folder;
    WriteFile(folder / "b.ini", "x");
    char temp[260] = "stale";
    EXPECT_EQ(RestoreBackupToTemp(temp, (folder / "b.ini").c_str(), (folder / "missing").c_str()), -92);
}

TEST(IniBackupTest, MissingBackupGivesMinus91AndLeavesEmptyTmp) {
    TempFolder folder;
    char temp[260] = "";
    EXPECT_EQ(RestoreBackupToTemp(temp, (folder / "none_bkp.ini").c_str(), folder.Path().c_str()), -91);
    ASSERT_TRUE(Exists(temp));
    EXPECT_EQ(ReadFile(temp), "");
}

TEST(IniBackupTest, FailedCopyGivesMinus90) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "dir_bkp.ini");
    char temp[260] = "";
    EXPECT_EQ(RestoreBackupToTemp(temp, (folder / "dir_bkp.ini").c_str(), folder.Path().c_str()), -90);
}

}  // namespace
