#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "runlog/LogFileBase.h"
#include "support/RunLogText.h"
#include "support/TempFolder.h"

namespace {

std::string Format(CLogFileBase& log, const std::string& module, int code, const std::string& text) {
    std::string line = text;
    log.FormatEntry(module, code, line);
    return line;
}

TEST(LogFileTest, FirstEntryWritesHeaderRuleAndCreateEntry) {
    TempFolder folder;
    CLogFileBase log;
    EXPECT_TRUE(log.WriteEntry(folder / "Runlog.log", Format(log, "ZK8_XML_Conv", 32005, "done")));
    EXPECT_TRUE(log.WriteEntry(folder / "Runlog.log", Format(log, "ZK8_XML_Conv", 32008, "")));
    EXPECT_EQ(Masked(ReadFile(folder / "Runlog.log")), kRunLogHead +
                                                           "<TS> : ZK8_XML_Conv         32005   done\r\n"
                                                           "<TS> : ZK8_XML_Conv         32008   \r\n");
}

TEST(LogFileTest, LineFormat) {
    CLogFileBase log;
    EXPECT_EQ(Masked(Format(log, "ZK8_XML_Conv", 220001, "t")), "<TS> : ZK8_XML_Conv         22000   t");
    EXPECT_EQ(Masked(Format(log, "ZK8_XML_Conv", 31000, "t")), "<TS> : ZK8_XML_Conv         31000   t");
    EXPECT_EQ(Masked(Format(log, "ZK8_XML_Conv", 1, "t")), "<TS> : ZK8_XML_Conv         1       t");
    EXPECT_EQ(Masked(Format(log, "AModuleNameOfTwentySixChars", 7, "t")),
              "<TS> : AModuleNameOfTwentySixChars 7       t");
    // Longer lines are cut to 511 characters.
    EXPECT_EQ(Masked(Format(log, "ZK8_XML_Conv", 7, std::string(600, 'm'))),
              "<TS> : ZK8_XML_Conv         7       " + std::string(460, 'm'));
}

TEST(LogFileTest, SaveNameHasSavBeforeExtension) {
    EXPECT_EQ(CLogFileBase::MakeSaveName("/x/Runlog.log"), "/x/Runlog_sav.log");
    EXPECT_EQ(CLogFileBase::MakeSaveName("C:\\a.b\\Runlog.log"), "C:\\a.b\\Runlog_sav.log");
    EXPECT_EQ(CLogFileBase::MakeSaveName("/x.y/Runlog"), "");
}

TEST(LogFileTest, RotationKeepsOneSaveGeneration) {
    TempFolder folder;
    const std::string path = folder / "Runlog.log", save = folder / "Runlog_sav.log";
    CLogFileBase log;
    EXPECT_EQ(log.SetMaxSize(1000), 1000);
    // Entries of 80 bytes after a 246-byte head: the tenth takes the file to
    // 1046 bytes; it is still written, then the file is moved.
    for (int i = 0; i < 9; ++i) ASSERT_TRUE(log.WriteEntry(path, Format(log, "M", 1, std::string(27, 'a'))));
    EXPECT_EQ(ReadFile(path).size(), 966u);
    EXPECT_FALSE(Exists(save));
    ASSERT_TRUE(log.WriteEntry(path, Format(log, "M", 1, std::string(27, 'a'))));
    EXPECT_EQ(ReadFile(save).size(), 1046u);
    EXPECT_EQ(ReadFile(path), "");
    // The next generation replaces the save file.
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(log.WriteEntry(path, Format(log, "M", 1, std::string(27, 'b'))));
    EXPECT_EQ(Masked(ReadFile(save)).substr(0, kRunLogHead.size()), kRunLogHead);
    EXPECT_EQ(ReadFile(save).find("aaa"), std::string::npos);
    EXPECT_EQ(ReadFile(path), "");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 2);
}

}  // namespace
