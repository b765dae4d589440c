#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "runlog/ZkLogFile.h"
#include "settings/Folders.h"
#include "support/TempFolder.h"

namespace {

const std::string kLogHead = "Date/Time            : Modulename          LogID   LogText\r\n" +
                             std::string(115, '-') +
                             "\r\n"
                             "<TS> : ZkLog                1       Create LogFile\r\n"
                             "\r\n";

std::string MaskTimeStamps(const std::string& text) {
    static const std::regex stamp(R"(\d{4}\.\d{2}\.\d{2} \d{2}\.\d{2}\.\d{2} : )");
    return std::regex_replace(text, stamp, "<TS> : ");
}

void WriteSettings(const std::string& folder, const std::string& values) {
    WriteFile(folder + "/Interface.ini", "[LogFiles]\r\n" + values);
}

// Points the application-data folder at a test folder and restores it after.
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

struct MessageCase {
    int code;
    const char* text;
    const char* line;
};

class ZkLogMessageTest : public ::testing::TestWithParam<MessageCase> {};

TEST_P(ZkLogMessageTest, CatalogueTextThenCallersText) {
    TempFolder folder;
    CZkLogFile logger;
    EXPECT_TRUE(logger.Log(g_moduleName, 1, GetParam().code, GetParam().text, folder.Path()));
    EXPECT_EQ(MaskTimeStamps(ReadFile(folder / "Runlog.log")),
              std::string(kLogHead) + GetParam().line + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    ZkLog, ZkLogMessageTest,
    ::testing::Values(
        MessageCase{31000, "article", "<TS> : ZK8_XML_Conv         31000   ZK8 unknown field -  article"},
        MessageCase{1, "only this", "<TS> : ZK8_XML_Conv         1       only this"},
        MessageCase{99, "x", "<TS> : ZK8_XML_Conv         99      undefined runlog code x"},
        MessageCase{32301, "Start of Utf8ToUtf16 conversion",
                    "<TS> : ZK8_XML_Conv         32301   Conversion:  Start of Utf8ToUtf16 conversion"},
        MessageCase{220001, "", "<TS> : ZK8_XML_Conv         22000   XML input file doesn't exist. "},
        MessageCase{22000, "", "<TS> : ZK8_XML_Conv         22000   KQ5 input file doesn't exist. "}));

TEST(ZkLogFileTest, CatalogueTexts) {
    EXPECT_EQ(GetMessageText(1), "");
    EXPECT_EQ(GetMessageText(99), "undefined runlog code");
    EXPECT_EQ(GetMessageText(22003), "Error creating ZK8 input file.");
    EXPECT_EQ(GetMessageText(11307), "Interface file updated successfully");
    EXPECT_EQ(GetMessageText(320011), "Error creating XML output file");
    EXPECT_EQ(GetMessageText(32001), "Error creating KQ5 output file");
    EXPECT_EQ(GetMessageText(13005), "Reconnect occurred with device ");
    EXPECT_EQ(GetMessageText(13008), "NMW.XML file not exists ");
    EXPECT_EQ(GetMessageText(13011), "Sending file - ");
    EXPECT_EQ(GetMessageText(13305), "Restoration failed - ");
    EXPECT_EQ(GetMessageText(12004), "ZK8 transmission error - ");
}

TEST(ZkLogFileTest, DefaultLevelFiltersLevelTwo) {
    TempFolder folder;
    CZkLogFile logger;
    EXPECT_FALSE(logger.Log(g_moduleName, 2, 32005, "", folder.Path()));
    EXPECT_FALSE(Exists(folder / "Runlog.log"));
    EXPECT_TRUE(Exists(folder / "Interface.ini"));
    EXPECT_TRUE(logger.Log(g_moduleName, 1, 32006, "", folder.Path()));
}

TEST(ZkLogFileTest, LevelThreeWritesEveryLevel) {
    TempFolder folder;
    WriteSettings(folder.Path(), "LoggingLevel=3\r\n");
    CZkLogFile logger;
    for (int level = 1; level <= 3; ++level)
        EXPECT_TRUE(logger.Log(g_moduleName, level, 1, "e", folder.Path()));
    EXPECT_FALSE(logger.Log(g_moduleName, 4, 1, "e", folder.Path()));
}

struct LevelCase {
    const char* value;
    int level;
};

class ZkLogLevelSettingTest : public ::testing::TestWithParam<LevelCase> {};

TEST_P(ZkLogLevelSettingTest, OutOfRangeFallsBackToOne) {
    TempFolder folder;
    WriteSettings(folder.Path(), std::string("LoggingLevel=") + GetParam().value + "\r\n");
    CZkLogFile logger;
    logger.RefreshSettings(folder.Path());
    EXPECT_EQ(logger.Level(), GetParam().level);
}

INSTANTIATE_TEST_SUITE_P(ZkLog, ZkLogLevelSettingTest,
                         ::testing::Values(LevelCase{"0", 1}, LevelCase{"4", 1}, LevelCase{"-2", 1},
                                           LevelCase{"word", 1}, LevelCase{"2", 2}, LevelCase{"3", 3}));

// Writes twenty entries of about 80 bytes; true when the run log was rotated.
bool RotatesWithin20Entries(const std::string& sizeValue) {
    TempFolder folder;
    WriteSettings(folder.Path(), "RunLogSize=" + sizeValue + "\r\n");
    CZkLogFile logger;
    for (int i = 0; i < 20; ++i) logger.Log(g_moduleName, 1, 1, std::string(27, 'e'), folder.Path());
    return Exists(folder / "Runlog_sav.log");
}

TEST(ZkLogFileTest, RunLogSizeSetsRotationThreshold) {
    EXPECT_TRUE(RotatesWithin20Entries("1000"));
    EXPECT_FALSE(RotatesWithin20Entries("0"));
    EXPECT_FALSE(RotatesWithin20Entries("abc"));
}

TEST(ZkLogFileTest, SettingsFromAppDataWhenFolderMissing) {
    TempFolder common;
    AppDataVariable variable(common.Path());
    std::filesystem::create_directories(common / "ORVANE/Kelmora");
    WriteSettings(common / "ORVANE/Kelmora", "LoggingLevel=3\r\n");

    CZkLogFile logger;
    logger.RefreshSettings(common / "missing");
    EXPECT_EQ(logger.Level(), 3);
    logger.RefreshSettings("");
    EXPECT_EQ(logger.Level(), 3);

    // An existing folder wins over the application-data folder.
    TempFolder folder;
    WriteSettings(folder.Path(), "LoggingLevel=2\r\n");
    logger.RefreshSettings(folder.Path());
    EXPECT_EQ(logger.Level(), 2);
}

TEST(ZkLogFileTest, SettingsFromExeFolderWithoutAppDataFolder) {
    TempFolder common;
    AppDataVariable variable(common.Path());
    CZkLogFile logger;
    logger.RefreshSettings("");
    // The reader leaves an empty settings file where it looked.
    EXPECT_TRUE(Exists(GetExeFolder() + "/Interface.ini"));
    EXPECT_FALSE(Exists(common / "ORVANE/Kelmora/Interface.ini"));
}

TEST(ZkLogFileTest, GetLoggerIsOneObject) { EXPECT_EQ(&GetLogger(), &GetLogger()); }

TEST(ZkLogFileTest, ConcurrentEntriesStayWholeAndComplete) {
    TempFolder folder;
    WriteSettings(folder.Path(), "LoggingLevel=1\r\n");
    constexpr int kThreads = 4;
    constexpr int kEntries = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &folder] {
            for (int i = 0; i < kEntries; ++i) {
                GetLogger().Log(g_moduleName, 1, 1,
                                "thread " + std::to_string(t) + " entry " + std::to_string(i), folder.Path());
            }
        });
    }
    for (std::thread& thread : threads) thread.join();

    const std::string content = MaskTimeStamps(ReadFile(folder / "Runlog.log"));
    ASSERT_EQ(content.rfind(kLogHead, 0), 0u);
    std::istringstream rest(content.substr(kLogHead.size()));
    const std::regex entry(R"(<TS> : ZK8_XML_Conv         1       thread (\d) entry (\d+)\r)");
    std::set<std::string> seen;
    std::string line;
    std::smatch match;
    while (std::getline(rest, line)) {
        ASSERT_TRUE(std::regex_match(line, match, entry)) << line;
        EXPECT_TRUE(seen.insert(match[1].str() + "/" + match[2].str()).second) << line;
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kEntries));
}

}  // namespace
