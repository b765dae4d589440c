// UTF-8 input rewritten as UTF-16 little-endian into Temp.xml.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>

#include "encoding/Utf8ToUtf16Converter.h"
#include "support/TempFolder.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

const std::string kMark = "\xFF\xFE";
const std::string kDeclUtf8 = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
const std::string kDeclUtf16 = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>";
const std::string kPadTo1023(1023 - kDeclUtf8.size(), ' ');
const std::string kPadTo1024(1024 - kDeclUtf8.size(), ' ');

// Points the application-data folder at a temporary folder for one test.
class RewriteFixture {
public:
    explicit RewriteFixture(const std::string& appData, bool createProductFolder = true) {
        setenv("ZK8_COMMON_APPDATA", appData.c_str(), 1);
        if (createProductFolder) fs::create_directories(appData + "/ORVANE/Kelmora");
    }
    ~RewriteFixture() { unsetenv("ZK8_COMMON_APPDATA"); }
};

struct RewriteCase {
    const char* name;
    std::string input;
    std::string temp;
};

const RewriteCase kCases[] = {
    {"declaration_names_utf8", kDeclUtf8 + "<a>x</a>", kMark + Utf16(kDeclUtf16 + "<a>x</a>")},
    {"utf8_mark_gives_one_mark", "\xEF\xBB\xBF<?xml encoding='UTF-8'?><a/>",
     kMark + Utf16("<?xml encoding='UTF-16'?><a/>")},
    {"mark_declaration_without_encoding", "\xEF\xBB\xBF<?xml version='1.0'?><a>\xC3\xA9</a>",
     kMark + Utf16("<?xml version='1.0'?><a>") + "\xE9\x00"s + Utf16("</a>")},
    {"stray_bytes_and_four_byte_sequence", "\xEF\xBB\xBF" "a\x80\xF0\x9F\x98\x80\xFF\x41\x42z",
     "\xFF\xFE\x61\x00\x3F\x00\xD8\x07\x3F\x00\x42\xF0\x7A\x00"s},
    {"three_byte_lead_at_byte_1024", kDeclUtf8 + kPadTo1023 + "\xE2\x82\xAC" "z",
     kMark + Utf16(kDeclUtf16 + kPadTo1023) + "\xAC\x20\x7A\x00"s},
    {"declaration_edited_in_every_chunk", kDeclUtf8 + kPadTo1024 + "<?xml v='Utf-8'?>",
     kMark + Utf16(kDeclUtf16 + kPadTo1024) + Utf16("<?xml v='UTF-16'?>")},
    {"cut_three_byte_sequence_dropped", "\xEF\xBB\xBF" "ab\xE2\x82", "\xFF\xFE\x61\x00\x62\x00"s},
    {"cut_two_byte_sequence_dropped", "\xEF\xBB\xBF" "ab\xC3", "\xFF\xFE\x61\x00\x62\x00"s},
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const RewriteCase& c, std::ostream* os) { *os << c.name; }

class Utf8Rewrite : public ::testing::TestWithParam<RewriteCase> {};

TEST_P(Utf8Rewrite, WritesTempXml) {
    TempFolder folder;
    RewriteFixture appData(folder.Path());
    WriteFile(folder / "in.xml", GetParam().input);
    char buffer[260] = {};
    CUtf8ToUtf16Converter converter;
    ASSERT_EQ(converter.ConvertToUtf16((folder / "in.xml").c_str(), buffer), 0);
    EXPECT_STREQ(buffer, (folder.Path() + "/ORVANE/Kelmora/Temp.xml").c_str());
    EXPECT_EQ(ReadFile(buffer), GetParam().temp);
}

INSTANTIATE_TEST_SUITE_P(, Utf8Rewrite, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Utf8RewriteResult, FailuresAndUtf16LeaveTempXmlAndBufferAlone) {
    const struct {
        std::string input;
        int result;
    } cases[] = {
        {"\xFF\xFE<\x00"s, 99},
        {"<?xml encoding='utf-16'?><a/>", 99},
        {"<?xml encoding=utf-8?><a/>", -93},
        {"<?xml encoding='ISO-8859-1'?><a/>", -98},
        {"", -99},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        RewriteFixture appData(folder.Path());
        const std::string temp = folder.Path() + "/ORVANE/Kelmora/Temp.xml";
        WriteFile(temp, "old");
        WriteFile(folder / "in.xml", c.input);
        char buffer[260] = "caller";
        CUtf8ToUtf16Converter converter;
        EXPECT_EQ(converter.ConvertToUtf16((folder / "in.xml").c_str(), buffer), c.result);
        EXPECT_STREQ(buffer, "caller");
        EXPECT_EQ(ReadFile(temp), "old");
    }
}

// Every way the application-data location can fail ends in the folder of the
// executable. The cases run in one test so that no two processes share that
// Temp.xml at once.
TEST(Utf8RewriteResult, FallsBackToExecutableFolder) {
    const std::string exeTemp = (fs::read_symlink("/proc/self/exe").parent_path() / "Temp.xml").string();
    TempFolder folder;
    WriteFile(folder / "in.xml", "\xEF\xBB\xBFz");
    const std::string root = folder.Path() + "/";
    const std::string fits = root + std::string(235 - root.size(), 'f');    // Temp.xml path: 259 chars
    const std::string tooLong = root + std::string(236 - root.size(), 't');  // 260 chars
    fs::create_directories(root + "blocked/ORVANE/Kelmora/Temp.xml");  // a folder: cannot be opened
    const struct {
        std::string appData;
        bool create;
        std::string expected;
    } cases[] = {
        {root + "missing", false, exeTemp},
        {root + "blocked", false, exeTemp},
        {tooLong, true, exeTemp},
        {fits, true, fits + "/ORVANE/Kelmora/Temp.xml"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.appData);
        RewriteFixture appData(c.appData, c.create);
        fs::remove(exeTemp);
        char buffer[260] = {};
        CUtf8ToUtf16Converter converter;
        ASSERT_EQ(converter.ConvertToUtf16((folder / "in.xml").c_str(), buffer), 0);
        EXPECT_EQ(std::string(buffer), c.expected);
        EXPECT_EQ(ReadFile(c.expected), "\xFF\xFE\x7A\x00"s);
    }
    fs::remove(exeTemp);
}

}  // namespace
