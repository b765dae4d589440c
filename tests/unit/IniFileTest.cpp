#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "settings/IniFile.h"
#include "support/TempFolder.h"

namespace {

int ReadInt(const std::string& content, const std::string& section, const std::string& key) {
    TempFolder folder;
    WriteFile(folder / "Test.ini", content);
    auto reader = std::make_unique<CIniFile>((folder / "Test.ini").c_str());
    return reader->GetInt(section.c_str(), key.c_str(), 55);
}

TEST(IniFileTest, SyntaxCases) {
    const std::string nil = "bCreateNilAttribute";
    const std::string size = "RunLogSize";
    const std::string longName(128, 'L');  // one more than a section or key may have
    const struct {
        std::string content, section, key;
        int expected;
    } cases[] = {
        {"[advanced]\nbCreateNilAttribute = 0\n", "Advanced", nil, 0},
        {"[Advanced] ; x\nbCreateNilAttribute=0\n", "Advanced", nil, 55},
        {" [Advanced]\nbCreateNilAttribute=0\n", "Advanced", nil, 55},
        {"[Advanced]\r\nbCreateNilAttribute=   7   \r\n", "Advanced", nil, 7},
        {"[Advanced]\nbCreateNILattribute=2\n", "Advanced", nil, 2},
        {"[Advanced]\nBCreateNilAttribute=2\n", "Advanced", nil, 55},
        {"[Advanced]\n  bCreateNilAttribute=2\n", "Advanced", nil, 55},
        {"[Advanced]\nbCreateNilAttribute=3\nbCreateNilAttribute=4\n", "Advanced", nil, 3},
        {"[Advanced]\n[Other]\nbCreateNilAttribute=3\n", "Advanced", nil, 55},
        {"[LogFiles]\nRunLogSize=abc\n", "LogFiles", size, 0},
        {"[LogFiles]\nRunLogSize=-42xyz\n", "LogFiles", size, -42},
        {"[LogFiles]\nRunLogSize=99999999999\n", "LogFiles", size, INT_MAX},
        {"; c\n[LogFiles]\n\n;RunLogSize=5\nRunLogSize=1000\n", "LogFiles", size, 1000},
        {"[LogFiles]\nRunLogSize\t=12\n", "LogFiles", size, 12},
        {"[LogFiles]\nRunLogSize\xA0=5\n", "LogFiles", size, 5},
        {"[LogFiles]\nRunLogSize 12\n", "LogFiles", size, 55},
        {"[LogFiles]\nRunLogSize=12", "LogFiles", size, 12},
        {"", "LogFiles", size, 55},
        // A physical line of more than 511 characters fills several slots.
        {"[LogFiles]\n" + std::string(511, 'x') + "RunLogSize=9\n", "LogFiles", size, 9},
        {"[LogFiles]" + std::string(255, '\n') + "RunLogSize=8\n", "LogFiles", size, 8},
        {"[LogFiles]" + std::string(256, '\n') + "RunLogSize=8\n", "LogFiles", size, 55},
        {"[" + longName + "]\nRunLogSize=8\n", longName, size, 55},
        {"[LogFiles]\n" + longName + "=8\n", "LogFiles", longName, 55},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.substr(0, 60));
        EXPECT_EQ(ReadInt(c.content, c.section, c.key), c.expected);
    }
}

TEST(IniFileTest, MissingFileIsCreatedEmpty) {
    TempFolder folder;
    auto reader = std::make_unique<CIniFile>((folder / "Interface.ini").c_str());
    EXPECT_EQ(reader->GetInt("LogFiles", "LoggingLevel", 1), 1);
    EXPECT_TRUE(Exists(folder / "Interface.ini"));
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
