// Classification of input files by byte-order mark and XML declaration.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "encoding/Utf8ToUtf16Converter.h"
#include "support/TempFolder.h"

using namespace std::string_literals;

namespace {

struct DetectionCase {
    const char* name;
    std::string bytes;
    int result;
    int encoding;
    int needsMark;
};

const std::string kUtf8Mark = "\xEF\xBB\xBF";
const std::string kPad1020(1020, ' ');

const DetectionCase kCases[] = {
    {"empty_file", "", -99, 99, 0},
    {"utf16le_mark_alone", "\xFF\xFE", 0, 16, 0},
    {"half_utf8_mark", "\xEF\xBB", -98, 99, 0},
    {"utf16be_mark", "\xFE\xFF\x00<"s, 0, 16, 0},
    {"utf8_capitals_double_quotes", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a/>", 0, 8, 1},
    {"utf16_single_quotes", "<?xml version='1.0' encoding='utf-16'?><a/>", 0, 16, 0},
    {"utf8_unquoted", "<?xml version='1.0' encoding=utf-8?><a/>", -93, 99, 0},
    {"utf16le_quoted", "<?xml version='1.0' encoding='utf-16le'?><a/>", -93, 99, 0},
    {"iso_8859_1", "<?xml version='1.0' encoding='ISO-8859-1'?><a/>", -98, 99, 0},
    {"no_encoding", "<?xml version='1.0'?><a/>", -98, 99, 0},
    {"mark_and_iso_8859_1", kUtf8Mark + "<?xml version='1.0' encoding='ISO-8859-1'?><a/>", 0, 8, 0},
    {"mark_wins_over_utf16", kUtf8Mark + "<?xml encoding='utf-16'?><a/>", 0, 8, 0},
    {"mark_and_unquoted", kUtf8Mark + "<?xml encoding=utf-8?><a/>", -93, 8, 0},
    {"utf16_without_mark", Utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>"), -98, 99, 0},
    {"declaration_across_boundary", kPad1020 + "<?xml version='1.0' encoding='utf-8'?><a/>", -98, 99, 0},
    {"declaration_in_second_chunk", kPad1020 + "    <?xml encoding='utf-8'?><a/>", 0, 8, 1},
    {"close_before_open_runs_to_end", "?><?xml encoding='utf-8'", 0, 8, 1},
    {"nul_ends_the_searched_text", "\0<?xml encoding='utf-8'?>"s, -98, 99, 0},
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const DetectionCase& c, std::ostream* os) { *os << c.name; }

class EncodingDetection : public ::testing::TestWithParam<DetectionCase> {};

TEST_P(EncodingDetection, Classifies) {
    const DetectionCase& c = GetParam();
    TempFolder folder;
    WriteFile(folder / "in.xml", c.bytes);
    CUtf8ToUtf16Converter converter;
    EXPECT_EQ(converter.DetectEncoding((folder / "in.xml").c_str()), c.result);
    EXPECT_EQ(converter.m_encoding, c.encoding);
    EXPECT_EQ(converter.m_needsByteOrderMark, c.needsMark);
}

INSTANTIATE_TEST_SUITE_P(, EncodingDetection, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
