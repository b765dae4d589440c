// The ini reader: 256 slots of 511 characters, names compared in full
// ignoring case, a key's first character in exact case, values read with
// strtol and saturated; the same table read from the file and from bytes.
#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "settings/IniFile.h"
#include "support/TempFolder.h"

namespace {

TEST(IniReaderTest, Syntax) {
    const std::string nil = "bCreateNilAttribute", size = "RunLogSize", longName(128, 'L');
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
        {"[Axxxxxxx]\nbCreateNilAttribute=1\n[Advanced]\nbCreateNilAttributX=2\nbCreateNilAttribute=3\n", "Advanced", nil, 3},
        {"[LogFiles]\nRunLogSize=abc\n", "LogFiles", size, 0},
        {"[LogFiles]\nRunLogSize=-42xyz\n", "LogFiles", size, -42},
        {"[LogFiles]\nRunLogSize=99999999999\n", "LogFiles", size, INT_MAX},
        {"[LogFiles]\nRunLogSize=-99999999999\n", "LogFiles", size, INT_MIN},
        {"; c\n[LogFiles]\n\n;RunLogSize=5\nRunLogSize=1000\n", "LogFiles", size, 1000},
        {"[LogFiles]\nRunLogSize\t=12\n", "LogFiles", size, 12},
        {"[LogFiles]\nRunLogSize\xA0=5\n", "LogFiles", size, 5},
        {"[LogFiles]\nRunLogSize 12\n", "LogFiles", size, 55},
        {"[LogFiles]\nRunLogSize=12", "LogFiles", size, 12},
        {"", "LogFiles", size, 55},
        {"[LogFiles]\n" + std::string(511, 'x') + "RunLogSize=9\n", "LogFiles", size, 9},
        {"[LogFiles]" + std::string(255, '\n') + "RunLogSize=8\n", "LogFiles", size, 8},
        {"[LogFiles]" + std::string(256, '\n') + "RunLogSize=8\n", "LogFiles", size, 55},
        {"[" + longName + "]\nRunLogSize=8\n", longName, size, 55},
        {"[LogFiles]\n" + longName + "=8\n", "LogFiles", longName, 55},
        // A NUL ends a line's text; a lone CR does not end a line.
        {std::string("[S]\r\nB=\0 9\r\n", 12), "S", "B", 9},
        {"[S]\r\nD=5\rE=6\r\n", "S", "E", 55},
        {"[S]\r\n" + std::string(600, 'x') + "C=3\r\nC=4\r\n", "S", "C", 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.substr(0, 60));
        TempFolder folder;
        WriteFile(folder / "Test.ini", c.content);
        const auto fromFile = std::make_unique<CIniFile>((folder / "Test.ini").c_str(), platform::Links::Follow);
        const auto fromBytes = std::make_unique<CIniFile>((folder / "none.ini").c_str(), c.content.data(), c.content.size());
        EXPECT_EQ(fromFile->GetInt(c.section.c_str(), c.key.c_str(), 55), c.expected);
        EXPECT_EQ(fromBytes->GetInt(c.section.c_str(), c.key.c_str(), 55), c.expected);
        EXPECT_FALSE(Exists(folder / "none.ini"));
    }
}

// A missing file is created empty; a path longer than the reader's 255
// characters is neither read nor created.
TEST(IniReaderTest, MissingAndOverlongFiles) {
    TempFolder folder;
    const std::string overlong = folder / (std::string(250, 'n') + ".ini");
    EXPECT_EQ(std::make_unique<CIniFile>((folder / "Interface.ini").c_str(), platform::Links::NotLast)->GetInt("LogFiles", "LoggingLevel", 1), 1);
    EXPECT_EQ(std::make_unique<CIniFile>(overlong.c_str(), platform::Links::NotLast)->GetInt("LogFiles", "LoggingLevel", 1), 1);
    EXPECT_EQ(ReadFile(folder / "Interface.ini"), "");
    EXPECT_TRUE(Exists(folder / "Interface.ini"));
    EXPECT_FALSE(Exists(overlong));
}

}  // namespace
