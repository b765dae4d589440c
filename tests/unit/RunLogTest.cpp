// The run log: the message catalogue, the logging settings (level, where
// they are read, when a change takes effect) and entries from several
// threads.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "runlog/ZkLogFile.h"
#include "settings/Folders.h"
#include "support/TempFolder.h"

namespace {

void WriteSettings(const std::string& folder, const std::string& values) {
    std::filesystem::create_directories(folder);
    WriteFile(folder + "/Interface.ini", "[LogFiles]\r\n" + values + "\r\n");
}

std::string Entries(const std::string& path) {
    static const std::regex stamp(R"(\d{4}\.\d\d\.\d\d \d\d\.\d\d\.\d\d : ZK8_XML_Conv +)");
    const std::string text = ReadFile(path);
    const std::size_t head = text.find("\r\n\r\n");
    return head == std::string::npos ? "" : std::regex_replace(text.substr(head + 4), stamp, "");
}

TEST(RunLogTest, Catalogue) {
    std::ifstream rows(ZK8_CASES_DIR "/messages.txt");
    int count = 0;
    for (std::string line; std::getline(rows, line);) {
        if (line[0] == '#') continue;
        const std::size_t space = line.find(' ');
        EXPECT_EQ(GetMessageText(std::stoi(line.substr(0, space))), line.substr(space + 2, line.size() - space - 3));
        ++count;
    }
    EXPECT_EQ(count, 105);
    EXPECT_EQ(GetMessageText(1), "");
    EXPECT_EQ(GetMessageText(2), "undefined runlog code");
}

TEST(RunLogTest, LevelSetting) {
    const std::pair<const char*, int> cases[] = {{"0", 1}, {"4", 1}, {"-2", 1}, {"word", 1}, {"2", 2}, {"3", 3}};
    for (const auto& [value, level] : cases) {
        TempFolder folder;
        WriteSettings(folder.Path(), std::string("LoggingLevel=") + value);
        CZkLogFile logger;
        logger.RefreshSettings(folder.Path());
        EXPECT_EQ(logger.Level(), level) << value;
    }
}

// The caller's folder, then the application-data folder, then the
// executable's folder, where an empty settings file is left.
TEST(RunLogTest, SettingsFolders) {
    TempFolder common, folder;
    setenv("ZK8_COMMON_APPDATA", common.Path().c_str(), 1);
    CZkLogFile logger;
    logger.RefreshSettings("");
    EXPECT_TRUE(Exists(GetExeFolder() + "/Interface.ini"));
    WriteSettings(common / "ORVANE/Kelmora", "LoggingLevel=3");
    logger.RefreshSettings(common / "missing");
    EXPECT_EQ(logger.Level(), 3);
    WriteSettings(folder.Path(), "LoggingLevel=2");
    logger.RefreshSettings(folder.Path());
    EXPECT_EQ(logger.Level(), 2);
    unsetenv("ZK8_COMMON_APPDATA");
}

// A change takes effect with the next entry, also one of the same size; a
// removed file means the defaults, and an empty file in its place.
TEST(RunLogTest, ChangedSettingsTakeEffectAtTheNextEntry) {
    TempFolder folder;
    CZkLogFile logger;
    WriteSettings(folder.Path(), "LoggingLevel=1");
    EXPECT_FALSE(logger.Log(g_moduleName, 3, 31000, "a", folder.Path()));
    WriteSettings(folder.Path(), "LoggingLevel=3");
    EXPECT_TRUE(logger.Log(g_moduleName, 3, 31000, "b", folder.Path()));
    WriteSettings(folder.Path(), "LoggingLevel=2");
    EXPECT_FALSE(logger.Log(g_moduleName, 3, 31000, "c", folder.Path()));
    EXPECT_TRUE(logger.Log(g_moduleName, 2, 32005, "", folder.Path()));
    std::remove((folder / "Interface.ini").c_str());
    EXPECT_FALSE(logger.Log(g_moduleName, 2, 32005, "", folder.Path()));
    EXPECT_EQ(ReadFile(folder / "Interface.ini"), "");
    EXPECT_EQ(Entries(folder / "Runlog.log"),
              "31000   ZK8 unknown field -  b\r\n32005   UTF8 to UTF16 conversion successfull \r\n");
}

// A settled file (last changed over 2 s ago) is not read again while its
// stamp stays the same: a change must show in the stamp, whichever way the
// file was changed (in place, renamed over, its times set back).
TEST(RunLogTest, SettledSettingsFileChangedAnyWay) {
    TempFolder folders[3];
    for (const TempFolder& folder : folders) WriteSettings(folder.Path(), "LoggingLevel=1");
    struct stat original;
    ASSERT_EQ(stat((folders[2] / "Interface.ini").c_str(), &original), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(3100));
    CZkLogFile loggers[3];
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(loggers[i].Log(g_moduleName, 3, 31000, "a", folders[i].Path()));
        EXPECT_FALSE(loggers[i].Log(g_moduleName, 3, 31000, "a", folders[i].Path()));
    }
    WriteSettings(folders[0].Path(), "LoggingLevel=3");
    WriteSettings(folders[1] / "new", "LoggingLevel=3");
    ASSERT_EQ(std::rename((folders[1] / "new/Interface.ini").c_str(), (folders[1] / "Interface.ini").c_str()), 0);
    WriteSettings(folders[2].Path(), "LoggingLevel=3");
    const struct timespec times[2] = {original.st_atim, original.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, (folders[2] / "Interface.ini").c_str(), times, 0), 0);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(loggers[i].Log(g_moduleName, 3, 31000, "b", folders[i].Path())) << i;
}

TEST(RunLogTest, ConcurrentEntriesStayWholeAndComplete) {
    TempFolder folder;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &folder] {
            for (int i = 0; i < 50; ++i) {
                GetLogger().Log(g_moduleName, 1, 1, std::to_string(t) + "/" + std::to_string(i), folder.Path());
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    std::set<std::string> seen;
    const std::regex entry(R"(1       (\d/\d+)\r)");
    std::istringstream lines(Entries(folder / "Runlog.log"));
    std::smatch match;
    for (std::string line; std::getline(lines, line);) {
        ASSERT_TRUE(std::regex_match(line, match, entry)) << line;
        seen.insert(match[1]);
    }
    EXPECT_EQ(seen.size(), 200u);
}

}  // namespace
