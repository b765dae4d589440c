#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "settings/IniFile.h"
#include "support/TempFolder.h"

namespace {

int ReadInt(const std::string& content, const char* section, const char* key, int defaultValue) {
    TempFolder folder;
    WriteFile(folder / "Test.ini", content);
    auto reader = std::make_unique<CIniFile>((folder / "Test.ini").c_str());
    return reader->GetInt(section, key, defaultValue);
}

std::string Lines(int count, const std::string& line) {
    std::string text;
    for (int i = 0; i < count; ++i) text += line;
    return text;
}

struct IniCase {
    const char* name;
    std::string content;
    const char* section;
    const char* key;
    int expected;
};

class IniFileSyntaxTest : public ::testing::TestWithParam<IniCase> {};

TEST_P(IniFileSyntaxTest, ReadsValueOrDefault) {
    const IniCase& c = GetParam();
    EXPECT_EQ(ReadInt(c.content, c.section, c.key, 55), c.expected);
}

const char kNil[] = "bCreateNilAttribute";
const char kSize[] = "RunLogSize";
// One character more than a section name may have.
const std::string kLongSection = Lines(16, "LogFiles");

INSTANTIATE_TEST_SUITE_P(
    IniFile, IniFileSyntaxTest,
    ::testing::Values(
        IniCase{"SectionCaseIgnored", "[advanced]\nbCreateNilAttribute = 0\n", "Advanced", kNil, 0},
        IniCase{"CommentAfterHeader", "[Advanced] ; x\nbCreateNilAttribute=0\n", "Advanced", kNil, 55},
        IniCase{"BlankBeforeHeader", " [Advanced]\nbCreateNilAttribute=0\n", "Advanced", kNil, 55},
        IniCase{"BlanksAroundValue", "[Advanced]\r\nbCreateNilAttribute=   7   \r\n", "Advanced", kNil, 7},
        IniCase{"LaterLetterCaseIgnored", "[Advanced]\nbCreateNILattribute=2\n", "Advanced", kNil, 2},
        IniCase{"FirstLetterCaseExact", "[Advanced]\nBCreateNilAttribute=2\n", "Advanced", kNil, 55},
        IniCase{"LeadingBlanksBeforeKey", "[Advanced]\n  bCreateNilAttribute=2\n", "Advanced", kNil, 55},
        IniCase{"FirstOfTwoWins", "[Advanced]\nbCreateNilAttribute=3\nbCreateNilAttribute=4\n", "Advanced",
                kNil, 3},
        IniCase{"KeyAfterNextSection", "[Advanced]\n[Other]\nbCreateNilAttribute=3\n", "Advanced", kNil, 55},
        IniCase{"WordReadsZero", "[LogFiles]\nRunLogSize=abc\n", "LogFiles", kSize, 0},
        IniCase{"EmptyValueReadsZero", "[LogFiles]\nRunLogSize=\n", "LogFiles", kSize, 0},
        IniCase{"SignAndLeadingDigits", "[LogFiles]\nRunLogSize=-42xyz\n", "LogFiles", kSize, -42},
        IniCase{"TooLargeSaturates", "[LogFiles]\nRunLogSize=99999999999\n", "LogFiles", kSize, INT_MAX},
        IniCase{"CommentsAndBlankLines", "; head\n[LogFiles]\n\n;RunLogSize=5\nRunLogSize=1000\n", "LogFiles",
                kSize, 1000},
        IniCase{"TabBeforeEquals", "[LogFiles]\nRunLogSize\t=12\n", "LogFiles", kSize, 12},
        IniCase{"HighByteBeforeEqualsTrimmed", "[LogFiles]\nRunLogSize\xA0=5\n", "LogFiles", kSize, 5},
        IniCase{"NoEquals", "[LogFiles]\nRunLogSize 12\n", "LogFiles", kSize, 55},
        IniCase{"LastLineWithoutLineEnd", "[LogFiles]\nRunLogSize=12", "LogFiles", kSize, 12},
        IniCase{"MissingSection", "[Other]\nRunLogSize=12\n", "LogFiles", kSize, 55},
        IniCase{"EmptyFile", "", "LogFiles", kSize, 55},
        IniCase{"OverlongLineFillsSlots", "[LogFiles]\n" + std::string(511, 'x') + "RunLogSize=9\n",
                "LogFiles", kSize, 9},
        IniCase{"Line256Read", "[LogFiles]\n" + Lines(254, ";\n") + "RunLogSize=8\n", "LogFiles", kSize, 8},
        IniCase{"Line257Ignored", "[LogFiles]\n" + Lines(255, ";\n") + "RunLogSize=8\n", "LogFiles", kSize,
                55},
        IniCase{"OverlongSection", "[" + kLongSection + "]\nRunLogSize=8\n", kLongSection.c_str(), kSize,
                55}),
    [](const ::testing::TestParamInfo<IniCase>& info) { return std::string(info.param.name); });

TEST(IniFileTest, OverlongKeyGivesDefault) {
    const std::string key(200, 'R');
    EXPECT_EQ(ReadInt("[LogFiles]\n" + key + "=3\n", "LogFiles", key.c_str(), 55), 55);
}

TEST(IniFileTest, MissingFileIsCreatedEmpty) {
    TempFolder folder;
    auto reader = std::make_unique<CIniFile>((folder / "Interface.ini").c_str());
    EXPECT_EQ(reader->GetInt("LogFiles", "LoggingLevel", 1), 1);
    ASSERT_TRUE(Exists(folder / "Interface.ini"));
    EXPECT_EQ(ReadFile(folder / "Interface.ini"), "");
}

TEST(IniFileTest, OverlongPathIsNeitherReadNorCreated) {
    TempFolder folder;
    const std::string path = folder / (std::string(250, 'n') + ".ini");
    auto reader = std::make_unique<CIniFile>(path.c_str());
    EXPECT_EQ(reader->GetInt("LogFiles", "LoggingLevel", 1), 1);
    EXPECT_FALSE(Exists(path));
}

}  // namespace
