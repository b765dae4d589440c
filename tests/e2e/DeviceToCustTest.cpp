// Device XML to customer XML through the exported functions: each case is a
// device file and the customer file and status file it must give.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/Library.h"
#include "support/TempFolder.h"

namespace {

using namespace std::string_literals;

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>";
const std::string kRoot =
    "<scaledata xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">";
const std::string kEmptyStatus = "<?xml version=\"1.0\"?>\n<status/>\n";

std::string Utf16File(const std::string& text) { return "\xFF\xFE" + Utf16(text); }

struct Case {
    const char* name;
    const char* input;  // device XML, written as UTF-16
    std::string expected;  // customer XML after the declaration
    std::string status;    // status file as text
};

const Case kCases[] = {
    {"RecordInItsList", "<dat><lit m=\"r\"><nam>Allergens</nam></lit></dat>",
     kRoot + "<term_lists><term_list mode=\"read\"><name>Allergens</name></term_list>"
             "</term_lists></scaledata>",
     kEmptyStatus},
    {"AlternatingRecordKindsOpenNewLists",
     "<dat><art m=\"w\"/><art/><lit m=\"x\"/><art y=\"w\"/></dat>",
     kRoot + "<articles><article mode=\"write\"/><article/></articles><term_lists>"
             "<term_list mode=\"\"/></term_lists><articles><article/></articles></scaledata>",
     kEmptyStatus},
    {"NillableLeafAndEntitiesAndCdata",
     "<dat><art><lch/><nam>a &amp; b<![CDATA[c]]></nam><plu> </plu></art></dat>",
     kRoot + "<articles><article><last_change xsi:nil=\"true\"/><name>a &amp; b</name>"
             "<plu_no> </plu_no></article></articles></scaledata>",
     kEmptyStatus},
    {"DeviceAndDepartmentNumbersOnlyWhereFlagged",
     "<dat><art><dvn>1</dvn><dpn>2</dpn><dpn/></art><fsa><dvn>5</dvn><dvn/><dpn>3</dpn></fsa>"
     "</dat>",
     kRoot + "<articles><article><department_no>2</department_no><department_no>"
             "</department_no></article></articles><fiscal_export_states>"
             "<fiscal_export_state><device_no>5</device_no><device_no></device_no>"
             "</fiscal_export_state></fiscal_export_states></scaledata>",
     kEmptyStatus},
    {"ExceptionBlocksCollectDistinctNumbers",
     "<dat><art m=\"w\"><plu>1</plu></art><exs><exc><eno>5</eno><err>a</err></exc><exc><eno>5"
     "</eno><err>b</err></exc><exc><eno>7</eno><err>c</err></exc></exs><exs><exc><dvn>9</dvn>"
     "<eno>7</eno><err>x &amp; y</err></exc></exs></dat>",
     kRoot + "<articles><article mode=\"write\"><plu_no>1</plu_no></article><exceptions>"
             "<exception><error_no>5</error_no><error>a</error></exception><exception>"
             "<error_no>5</error_no><error>b</error></exception><exception><error_no>7"
             "</error_no><error>c</error></exception></exceptions><exceptions><exception><error_no>7"
             "</error_no><error>x &amp; y</error></exception><device_no>9</device_no>"
             "</exceptions></articles></scaledata>",
     "<?xml version=\"1.0\"?>\n<status>\n\t<exceptions>\n\t\t<exception>\n\t\t\t<error_no>5"
     "</error_no>\n\t\t\t<error>a</error>\n\t\t</exception>\n\t\t<exception>\n\t\t\t<error_no>7"
     "</error_no>\n\t\t\t<error>x &amp;amp; y</error>\n\t\t</exception>\n\t</exceptions>\n"
     "</status>\n"},
    {"TransferHeaderWrittenAfterTheWalk",
     "<dat><art m=\"w\"/><adm><dvn>ufm</dvn><trn><nam>s</nam><ori/><ctg></ctg><lch>l</lch>"
     "<lbl m=\"w\"><src>s</src><dst>d</dst></lbl></trn></adm><art><plu>1</plu></art></dat>",
     kRoot + "<articles><article mode=\"write\"/></articles><labels><label mode=\"write\">"
             "<originator></originator><source>s</source><destination>d</destination>"
             "<last_change>l</last_change></label></labels></scaledata>",
     kEmptyStatus},
    {"TwoHeadersTwoRecords",
     "<dat><adm><trn><ctg>c</ctg><img m=\"r\"/></trn></adm><adm><trn><sly m=\"w\"/></trn></adm>"
     "</dat>",
     kRoot + "<images><image mode=\"read\"><originator></originator><category>c</category>"
             "<source></source><destination></destination><last_change></last_change></image>"
             "</images><screen_layouts><screen_layout mode=\"write\"><originator></originator>"
             "<source></source><destination></destination><last_change></last_change>"
             "</screen_layout></screen_layouts></scaledata>",
     kEmptyStatus},
    {"FurtherDataBlocksJoinTheOneRoot",
     "<dat><art m=\"w\"/></dat><dat><lit m=\"r\"/></dat>",
     kRoot + "<articles><article mode=\"write\"/></articles><term_lists><term_list mode=\"read\"/>"
             "</term_lists></scaledata>",
     kEmptyStatus},
    {"ContentBeforeTheDataBlockIsDropped",
     "<box><art m=\"w\"><plu>1</plu></art><dat><lit/><art>text</art></dat></box>",
     kRoot + "<term_lists><term_list/></term_lists></scaledata>", kEmptyStatus},
    {"NotDeviceXml", "<scaledata><articles/></scaledata>", "", kEmptyStatus},
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class DeviceToCustTest : public ::testing::TestWithParam<Case> {};

TEST_P(DeviceToCustTest, ConvertsByteForByte) {
    TempFolder folder;
    UseAppDataFolderIn(folder);
    const std::string input = folder / "in.xml", output = folder / "out.xml";
    WriteFile(input, Utf16File(GetParam().input));
    Library library;
    ASSERT_EQ(library.ZK8ToCustExt(input.c_str(), output.c_str(), folder.Path().c_str()), 0);
    EXPECT_EQ(ReadFile(output), Utf16File(kDeclaration + GetParam().expected));
    EXPECT_EQ(ReadFile(output + "_Status.xml"), Utf16File(GetParam().status));
}

INSTANTIATE_TEST_SUITE_P(Cases, DeviceToCustTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DeviceToCustExportTest, Utf8InputIsReadFromTempXml) {
    TempFolder folder;
    const std::string appData = UseAppDataFolderIn(folder);
    const std::string input = folder / "in.xml", output = folder / "out.xml";
    WriteFile(input, "<?xml version=\"1.0\" encoding=\"utf-8\"?><dat><art><nam>\xC3\x84pfel</nam>"
                     "</art></dat>");
    Library library;
    ASSERT_EQ(library.ZK8ToCustExt(input.c_str(), output.c_str(), folder.Path().c_str()), 0);
    EXPECT_EQ(ReadFile(appData + "/Temp.xml"),
              Utf16File("<?xml version=\"1.0\" encoding=\"UTF-16\"?><dat><art><nam>\xC4pfel</nam>"
                        "</art></dat>"));
    EXPECT_EQ(ReadFile(output), Utf16File(kDeclaration + kRoot +
                                          "<articles><article><name>\xC4pfel</name></article>"
                                          "</articles></scaledata>"));
}

// UTF-8 input gives the document of its Temp.xml, also where the rewrite
// changed characters or edited more than the declaration: the input itself
// would read otherwise. Each case: the name's bytes in the input, the name
// in the output (as UTF-8).
struct Utf8NameCase {
    const char* name;
    std::string head;  // before <dat>
    std::string inputName;
    std::string outputName;
};

const std::string kUtf8Declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";

const Utf8NameCase kUtf8NameCases[] = {
    {"EveryKindOfCharacterKept", kUtf8Declaration,
     "a\xC2\x80\xC3\xA4\xDF\xBF\xE0\xA0\x80\xE2\x82\xAC\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBD\x7F",
     "a\xC2\x80\xC3\xA4\xDF\xBF\xE0\xA0\x80\xE2\x82\xAC\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBD\x7F"},
    {"FourByteSequenceBecomesTwoCharacters", kUtf8Declaration, "a\xF0\x9F\x98\x80z", "a\xDF\x98?z"},
    {"StrayContinuationByteBecomesQuestionMark", kUtf8Declaration, "a\x80z", "a?z"},
    {"LeadWithoutContinuationTakesTheNextByte", kUtf8Declaration, "a\xC3\x41z", "a\xC3\x81z"},
    {"SurrogateIsDropped", kUtf8Declaration, "a\xED\xA0\x80z", "az"},
    {"LongFormOfNulEndsTheText", kUtf8Declaration, "a\xC0\x80z", "a"},
    {"EditOutsideTheDeclaration", "\xEF\xBB\xBF", "utf-8 \xC3\xA4", "UTF-16 \xC3\xA4"},
};

void PrintTo(const Utf8NameCase& c, std::ostream* os) { *os << c.name; }

class Utf8InputTest : public ::testing::TestWithParam<Utf8NameCase> {};

TEST_P(Utf8InputTest, GivesTheDocumentOfTempXml) {
    TempFolder folder;
    UseAppDataFolderIn(folder);
    const std::string input = folder / "in.xml", output = folder / "out.xml";
    // The processing instruction after the record names utf-8 for the edit
    // of the last case; the engine's reading skips it.
    WriteFile(input, GetParam().head + "<dat><art><nam>" + GetParam().inputName +
                         "</nam></art><?xml encoding='utf-8'?></dat>");
    Library library;
    ASSERT_EQ(library.ZK8ToCustExt(input.c_str(), output.c_str(), folder.Path().c_str()), 0);
    const std::string written = ReadFile(output);
    EXPECT_EQ(written.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(Utf8FromUtf16(written), kDeclaration + kRoot + "<articles><article><name>" +
                                          GetParam().outputName + "</name></article></articles></scaledata>");
}

INSTANTIATE_TEST_SUITE_P(Cases, Utf8InputTest, ::testing::ValuesIn(kUtf8NameCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A Temp.xml that begins FF FE 00 00 is read as UTF-32: every other unit
// becomes the high half of a character. Read as UTF-8, the same input ends at
// its NUL.
TEST(DeviceToCustExportTest, Utf8InputWhoseTempXmlReadsAsUtf32) {
    TempFolder folder;
    UseAppDataFolderIn(folder);
    const std::string input = folder / "in.xml", output = folder / "out.xml";
    std::string bytes = "\xEF\xBB\xBF"s + '\0';
    for (char c : std::string("<dat><art><nam>x</nam></art></dat>")) bytes += std::string(1, c) + '\0';
    WriteFile(input, bytes);
    Library library;
    ASSERT_EQ(library.ZK8ToCustExt(input.c_str(), output.c_str(), folder.Path().c_str()), 0);
    EXPECT_EQ(ReadFile(output), Utf16File(kDeclaration + kRoot +
                                          "<articles><article><name>x</name></article></articles></scaledata>"));
}

TEST(DeviceToCustExportTest, StatusFileBesideALongOutputPath) {
    TempFolder folder;
    UseAppDataFolderIn(folder);
    const std::string input = folder / "in.xml";
    WriteFile(input, Utf16File("<dat><art/></dat>"));
    std::string deep = folder.Path();
    while (deep.size() < 300) deep += "/" + std::string(40, 'd');
    std::filesystem::create_directories(deep);
    const std::string output = deep + "/out.xml";
    Library library;
    ASSERT_EQ(library.ZK8ToCustExt(input.c_str(), output.c_str(), folder.Path().c_str()), 0);
    EXPECT_TRUE(Exists(output));
    EXPECT_EQ(ReadFile(output + "_Status.xml"), Utf16File(kEmptyStatus));
}

}  // namespace
