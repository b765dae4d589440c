// The run log of several programs: rotated by one at a time, and its lock
// gone with a program that was killed holding it. (The levels, the settings
// and the entries' texts are cases: Settings.cases and every run log
// compared there.)
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "platform/File.h"
#include "runlog/ZkLogFile.h"
#include "support/TempFolder.h"

namespace {

std::string Entries(const std::string& path) {
    static const std::regex stamp(R"(\d{4}\.\d\d\.\d\d \d\d\.\d\d\.\d\d : ZK8_XML_Conv +)");
    const std::string text = ReadFile(path);
    const std::size_t head = text.find("\r\n\r\n");
    return head == std::string::npos ? "" : std::regex_replace(text.substr(head + 4), stamp, "");
}

// Programs logging into one folder and rotating its run log: every line is
// whole, the save file is a whole generation (rotated once it reached the
// size), and of each program's entries the two generations keep a run
// without gaps up to its last one: only the rotation discards, oldest first.
TEST(RunLogTest, ProgramsRotatingOneRunLogLoseOnlyTheOldestGeneration) {
    TempFolder folder;
    WriteFile(folder / "Interface.ini", "[LogFiles]\r\nRunLogSize=6000\r\n");
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
