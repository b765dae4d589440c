#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "runlog/LogFileBase.h"
#include "support/TempFolder.h"

namespace {

const std::string kHeader = "Date/Time            : Modulename          LogID   LogText\r\n" +
                            std::string(115, '-') +
                            "\r\n"
                            "<TS> : ZkLog                1       Create LogFile\r\n"
                            "\r\n";

// Time stamps vary; their format is checked and the value replaced.
std::string MaskTimeStamps(const std::string& text) {
    static const std::regex stamp(R"(\d{4}\.\d{2}\.\d{2} \d{2}\.\d{2}\.\d{2} : )");
    return std::regex_replace(text, stamp, "<TS> : ");
}

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
    EXPECT_EQ(MaskTimeStamps(ReadFile(folder / "Runlog.log")),
              std::string(kHeader) +
                  "<TS> : ZK8_XML_Conv         32005   done\r\n"
                  "<TS> : ZK8_XML_Conv         32008   \r\n");
}

struct CodeCase {
    int code;
    const char* line;
};

class LogFileCodeColumnTest : public ::testing::TestWithParam<CodeCase> {};

TEST_P(LogFileCodeColumnTest, CodeColumnIsFiveWide) {
    CLogFileBase log;
    EXPECT_EQ(MaskTimeStamps(Format(log, "ZK8_XML_Conv", GetParam().code, "text")), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(LogFile, LogFileCodeColumnTest,
                         ::testing::Values(CodeCase{220001, "<TS> : ZK8_XML_Conv         22000   text"},
                                           CodeCase{320011, "<TS> : ZK8_XML_Conv         32001   text"},
                                           CodeCase{31000, "<TS> : ZK8_XML_Conv         31000   text"},
                                           CodeCase{1, "<TS> : ZK8_XML_Conv         1       text"},
                                           CodeCase{-12, "<TS> : ZK8_XML_Conv         -12     text"}));

TEST(LogFileTest, LongModuleNamePushesLineRight) {
    CLogFileBase log;
    EXPECT_EQ(MaskTimeStamps(Format(log, "AModuleNameOfTwentySixChars", 7, "x")),
              "<TS> : AModuleNameOfTwentySixChars 7       x");
}

TEST(LogFileTest, OverlongLineIsCutTo511Characters) {
    CLogFileBase log;
    const std::string line = Format(log, "ZK8_XML_Conv", 7, std::string(600, 'm'));
    ASSERT_EQ(line.size(), 511u);
    EXPECT_EQ(MaskTimeStamps(line), "<TS> : ZK8_XML_Conv         7       " + std::string(460, 'm'));
}

TEST(LogFileTest, SaveNameHasSavBeforeExtension) {
    EXPECT_EQ(CLogFileBase::MakeSaveName("/x/Runlog.log"), "/x/Runlog_sav.log");
    EXPECT_EQ(CLogFileBase::MakeSaveName("C:\\a.b\\Runlog.log"), "C:\\a.b\\Runlog_sav.log");
    EXPECT_EQ(CLogFileBase::MakeSaveName("/x/a.b.log"), "/x/a.b_sav.log");
    EXPECT_EQ(CLogFileBase::MakeSaveName("/x.y/Runlog"), "");
}

TEST(LogFileTest, RotationKeepsOneSaveGeneration) {
    TempFolder folder;
    const std::string path = folder / "Runlog.log";
    const std::string save = folder / "Runlog_sav.log";
    CLogFileBase log;
    EXPECT_EQ(log.SetMaxSize(1000), 1000);

    // Entries of 80 bytes each after a 246-byte head: the tenth entry takes the
    // file to 1046 bytes; it is still written, then the file is moved.
    const std::string text(27, 'a');
    for (int i = 0; i < 9; ++i) ASSERT_TRUE(log.WriteEntry(path, Format(log, "ZK8_XML_Conv", 1, text)));
    EXPECT_EQ(ReadFile(path).size(), 966u);
    EXPECT_FALSE(Exists(save));
    ASSERT_TRUE(log.WriteEntry(path, Format(log, "ZK8_XML_Conv", 1, text)));
    EXPECT_EQ(ReadFile(save).size(), 1046u);
    EXPECT_EQ(ReadFile(path), "");

    // The next generation replaces the save file.
    const std::string other(27, 'b');
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(log.WriteEntry(path, Format(log, "ZK8_XML_Conv", 1, other)));
    const std::string saved = MaskTimeStamps(ReadFile(save));
    EXPECT_EQ(saved.find("aaaa"), std::string::npos);
    EXPECT_EQ(saved.rfind(kHeader, 0), 0u);
    EXPECT_EQ(ReadFile(path), "");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 2);
}

TEST(LogFileTest, FailedRotationKeepsFileAndReportsFalse) {
    TempFolder folder;
    std::filesystem::create_directories(folder / "Runlog_sav.log/blocker");
    CLogFileBase log;
    log.SetMaxSize(1);
    EXPECT_FALSE(log.WriteEntry(folder / "Runlog.log", "entry"));
    EXPECT_EQ(MaskTimeStamps(ReadFile(folder / "Runlog.log")), std::string(kHeader) + "entry\r\n");
}

TEST(LogFileTest, UnopenableFileLosesEntry) {
    TempFolder folder;
    CLogFileBase log;
    EXPECT_FALSE(log.WriteEntry(folder / "missing/Runlog.log", "entry"));
}

TEST(LogFileTest, DeviceLogHasOwnHeader) {
    TempFolder folder;
    CLogFileBase log;
    EXPECT_TRUE(log.WriteDeviceEntry(folder / "Device.log", "one"));
    EXPECT_TRUE(log.WriteDeviceEntry(folder / "Device.log", "two"));
    EXPECT_EQ(ReadFile(folder / "Device.log"),
              "Date/Time            : Device No        Action         \t\t\tState\r\n" +
                  std::string(90, '-') + "\r\none\r\ntwo\r\n");
}

}  // namespace
