#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "runlog/ZkLogFile.h"
#include "settings/Folders.h"
#include "support/RunLogText.h"
#include "support/TempFolder.h"

namespace {

void WriteSettings(const std::string& folder, const std::string& values) {
    WriteFile(folder + "/Interface.ini", "[LogFiles]\r\n" + values + "\r\n");
}

TEST(ZkLogFileTest, MessageIsCatalogueTextThenCallersText) {
    const struct {
        int code;
        const char *text, *line;
    } cases[] = {
        {31000, "article", "31000   ZK8 unknown field -  article"},
        {1, "only this", "1       only this"},
        {99, "x", "99      undefined runlog code x"},
        {32301, "Start of Utf8ToUtf16 conversion", "32301   Conversion:  Start of Utf8ToUtf16 conversion"},
        {220001, "", "22000   XML input file doesn't exist. "},
        {22000, "", "22000   KQ5 input file doesn't exist. "},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        CZkLogFile logger;
        EXPECT_TRUE(logger.Log(g_moduleName, 1, c.code, c.text, folder.Path()));
        EXPECT_EQ(Masked(ReadFile(folder / "Runlog.log")),
                  kRunLogHead + "<TS> : ZK8_XML_Conv         " + c.line + "\r\n");
    }
    EXPECT_EQ(GetMessageText(22003), "Error creating ZK8 input file.");       // first row
    EXPECT_EQ(GetMessageText(11307), "Interface file updated successfully");  // last row
    EXPECT_EQ(GetMessageText(13008), "NMW.XML file not exists ");
}

TEST(ZkLogFileTest, LevelFilter) {
    TempFolder folder;
    CZkLogFile logger;
    EXPECT_FALSE(logger.Log(g_moduleName, 2, 32005, "", folder.Path()));  // no settings: level 1
    EXPECT_FALSE(Exists(folder / "Runlog.log"));
    EXPECT_TRUE(logger.Log(g_moduleName, 1, 32006, "", folder.Path()));
    WriteSettings(folder.Path(), "LoggingLevel=3");
    EXPECT_TRUE(logger.Log(g_moduleName, 3, 31000, "plu", folder.Path()));
    EXPECT_FALSE(logger.Log(g_moduleName, 4, 31000, "plu", folder.Path()));
}

TEST(ZkLogFileTest, LevelSetting) {
    const struct {
        const char* value;
        int level;
    } cases[] = {{"0", 1}, {"4", 1}, {"-2", 1}, {"word", 1}, {"2", 2}, {"3", 3}};
    for (const auto& c : cases) {
        TempFolder folder;
        WriteSettings(folder.Path(), std::string("LoggingLevel=") + c.value);
        CZkLogFile logger;
        logger.RefreshSettings(folder.Path());
        EXPECT_EQ(logger.Level(), c.level) << c.value;
    }
}

// Writes twenty entries of 80 bytes; true when the run log was rotated.
bool Rotates(const std::string& sizeValue) {
    TempFolder folder;
    WriteSettings(folder.Path(), "RunLogSize=" + sizeValue);
    CZkLogFile logger;
    for (int i = 0; i < 20; ++i) logger.Log(g_moduleName, 1, 1, std::string(27, 'e'), folder.Path());
    return Exists(folder / "Runlog_sav.log");
}

TEST(ZkLogFileTest, RunLogSizeSetsRotationThreshold) {
    EXPECT_TRUE(Rotates("1000"));
    EXPECT_FALSE(Rotates("0"));
    EXPECT_FALSE(Rotates("abc"));
}

TEST(ZkLogFileTest, SettingsFallBackToAppDataThenExeFolder) {
    TempFolder common, folder;
    setenv("ZK8_COMMON_APPDATA", common.Path().c_str(), 1);
    CZkLogFile logger;
    // No application-data folder: the reader looks in the executable's
    // folder and leaves an empty settings file there.
    logger.RefreshSettings("");
    EXPECT_TRUE(Exists(GetExeFolder() + "/Interface.ini"));

    std::filesystem::create_directories(common / "ORVANE/Kelmora");
    WriteSettings(common / "ORVANE/Kelmora", "LoggingLevel=3");
    logger.RefreshSettings(common / "missing");
    EXPECT_EQ(logger.Level(), 3);
    logger.RefreshSettings("");
    EXPECT_EQ(logger.Level(), 3);
    WriteSettings(folder.Path(), "LoggingLevel=2");  // an existing folder comes first
    logger.RefreshSettings(folder.Path());
    EXPECT_EQ(logger.Level(), 2);
    unsetenv("ZK8_COMMON_APPDATA");
}

TEST(ZkLogFileTest, ConcurrentEntriesStayWholeAndComplete) {
    TempFolder folder;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &folder] {
            for (int i = 0; i < 50; ++i)
                GetLogger().Log(g_moduleName, 1, 1,
                                "thread " + std::to_string(t) + " entry " + std::to_string(i), folder.Path());
        });
    }
    for (std::thread& thread : threads) thread.join();

    const std::string content = Masked(ReadFile(folder / "Runlog.log"));
    ASSERT_EQ(content.substr(0, kRunLogHead.size()), kRunLogHead);
    std::istringstream rest(content.substr(kRunLogHead.size()));
    const std::regex entry(R"(<TS> : ZK8_XML_Conv         1       thread (\d) entry (\d+)\r)");
    std::set<std::string> seen;
    std::smatch match;
    for (std::string line; std::getline(rest, line);) {
        ASSERT_TRUE(std::regex_match(line, match, entry)) << line;
        seen.insert(match[1].str() + "/" + match[2].str());
    }
    EXPECT_EQ(seen.size(), 200u);
}

}  // namespace
