// The run log: the message catalogue, the logging settings (level, where
// they are read, when a change takes effect) and entries from several
// threads and programs.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "platform/File.h"
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
        logger.Log(g_moduleName, 9, 1, "", folder.Path());
        EXPECT_EQ(logger.Level(), level) << value;
    }
}

// The caller's folder, then the application-data folder, then the
// executable's folder, where an empty settings file is left.
TEST(RunLogTest, SettingsFolders) {
    TempFolder common, folder;
    setenv("ZK8_COMMON_APPDATA", common.Path().c_str(), 1);
    CZkLogFile logger;
    logger.Log(g_moduleName, 9, 1, "", "");
    EXPECT_TRUE(Exists(GetExeFolder() + "/Interface.ini"));
    WriteSettings(common / "ORVANE/Kelmora", "LoggingLevel=3");
    logger.Log(g_moduleName, 9, 1, "", common / "missing");
    EXPECT_EQ(logger.Level(), 3);
    WriteSettings(folder.Path(), "LoggingLevel=2");
    logger.Log(g_moduleName, 9, 1, "", folder.Path());
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

// Programs logging into one folder and rotating its run log: every line is
// whole, the save file is a whole generation (rotated once it reached the
// size), and of each program's entries the two generations keep a run
// without gaps up to its last one: only the rotation discards, oldest first.
TEST(RunLogTest, ProgramsRotatingOneRunLogLoseOnlyTheOldestGeneration) {
    TempFolder folder;
    WriteSettings(folder.Path(), "RunLogSize=6000");
    std::vector<pid_t> children;
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    for (int p = 0; p < 3; ++p) {
        const pid_t child = fork();
        if (child == 0) {
            close(start[1]);
            char go;
            if (read(start[0], &go, 1) != 0) _exit(1);  // all start when the pipe closes
            // The save file, whenever there is one, is a whole generation.
            bool whole = true;
            for (int i = 0; i < 1000; ++i) {
                GetLogger().Log(g_moduleName, 1, 1, std::to_string(p) + "/" + std::to_string(i), folder.Path());
                struct stat save;
                if (stat((folder / "Runlog_sav.log").c_str(), &save) == 0 && save.st_size < 6000) whole = false;
            }
            _exit(whole ? 0 : 1);
        }
        children.push_back(child);
    }
    close(start[0]);
    close(start[1]);
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_EQ(status, 0) << "a save file of less than a generation";
    }
    std::map<int, std::vector<int>> kept;
    const std::regex entry(R"(1       (\d)/(\d+)\r)");
    std::smatch match;
    for (const char* name : {"Runlog_sav.log", "Runlog.log"}) {
        std::istringstream lines(Entries(folder / name));
        for (std::string line; std::getline(lines, line);) {
            ASSERT_TRUE(std::regex_match(line, match, entry)) << name << ": " << line;
            kept[std::stoi(match[1])].push_back(std::stoi(match[2]));
        }
    }
    for (const auto& [program, numbers] : kept) {
        for (std::size_t i = 0; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], 1000 - static_cast<int>(numbers.size() - i)) << program;
    }
}

// A program killed while it holds the run log leaves no lock behind: the
// next entry is written at once.
TEST(RunLogTest, LockOfAKilledProgramDiesWithIt) {
    TempFolder folder;
    int held[2];
    ASSERT_EQ(pipe(held), 0);
    const pid_t child = fork();
    if (child == 0) {
        platform::Refusal why;
        const platform::File log = platform::OpenOwnToAppend((folder / "Runlog.log").c_str(), why);
        const char told = log ? 1 : 0;
        if (write(held[1], &told, 1) != 1) _exit(1);
        pause();
    }
    char told = 0;
    const ssize_t readCount = read(held[0], &told, 1);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_EQ(readCount, 1);
    ASSERT_EQ(told, 1);
    alarm(20);  // a lock that stayed would hang the entry
    EXPECT_TRUE(GetLogger().Log(g_moduleName, 1, 1, "after", folder.Path()));
    alarm(0);
}

}  // namespace
