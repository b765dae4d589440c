// Customer XML to device XML through the exported functions: each case is an
// input file and the device file it must give, byte for byte.
#include <gtest/gtest.h>

#include <regex>

#include "support/Library.h"
#include "support/TempFolder.h"

namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>";

std::string DeviceFile(const std::string& body) {
    return "\xFF\xFE" + Utf16(kDeclaration + body);
}

struct Case {
    const char* name;
    const char* input;     // customer XML, written as UTF-8 without declaration
    const char* expected;  // device XML after the declaration
};

const Case kCases[] = {
    {"RecordWithModeAndFields",
     "<scaledata><articles><article mode=\"write\"><plu_no>12</plu_no><name>Apple</name>"
     "</article></articles></scaledata>",
     "<dat><_/><art m=\"w\"><dvn>0</dvn><plu>12</plu><nam>Apple</nam></art><_/></dat>"},
    {"ListModeAppliesToRecordsWithoutOwnMode",
     "<scaledata><articles mode=\"read\"><article><plu_no>1</plu_no></article>"
     "<article><plu_no>2</plu_no></article></articles></scaledata>",
     "<dat><_/><art><dvn>fm</dvn><plu>1</plu></art><_/><art><dvn>fm</dvn><plu>2</plu></art><_/>"
     "</dat>"},
    {"RootOtherThanScaledataWritesOnlyTheDeclaration",
     "<data><articles><article mode=\"write\"><plu_no>1</plu_no></article></articles></data>",
     ""},
    {"BlankTextKeptAndEmptyFieldShort",
     "<scaledata><article mode=\"write\"><plu_no> </plu_no><name/></article></scaledata>",
     "<dat><_/><art m=\"w\"><dvn>0</dvn><plu> </plu><nam/></art><_/></dat>"},
    {"UnknownModeWordGivesEmptyCode",
     "<scaledata><term_lists><term_list mode=\"bogus\"/></term_lists></scaledata>",
     "<dat><_/><lit m=\"\"><dvn>u</dvn></lit><_/></dat>"},
    {"OtherFirstAttributeSetsClassButIsNotWritten",
     "<scaledata><term_list id=\"read\"/></scaledata>",
     "<dat><_/><lit><dvn>ufm</dvn></lit><_/></dat>"},
    {"DeviceNumberCodesByFamilyAndClass",
     "<scaledata><term_list mode=\"delete\"/><log_entry/><text/><taf mode=\"read\"/>"
     "<text/><log_entry/><fiscal_export_state/></scaledata>",
     "<dat><_/><lit m=\"d\"><dvn>u</dvn></lit><_/><log><dvn>e</dvn></log><_/><gtx><dvn>0</dvn>"
     "</gtx><_/><taf m=\"r\"><dvn>ts</dvn></taf><_/><gtx><dvn>fm</dvn></gtx><_/><log><dvn>efm"
     "</dvn></log><_/><fsa/><_/></dat>"},
    {"EntitiesStayAsWritten",
     "<scaledata><article mode=\"write\"><name>a &lt; b &amp; c</name></article></scaledata>",
     "<dat><_/><art m=\"w\"><dvn>0</dvn><nam>a &lt; b &amp; c</nam></art><_/></dat>"},
    {"NestedFieldsFollowTheirParents",
     "<scaledata><articles><article mode=\"write\"><ingredients><ingredients_no>3"
     "</ingredients_no></ingredients><plu_no>12</plu_no></article></articles></scaledata>",
     "<dat><_/><art m=\"w\"><dvn>0</dvn><ing><inn>3</inn></ing><plu>12</plu></art><_/></dat>"},
    // The unknown parent unwinds the open elements down to the empty handle
    // the root left on the stack: the field, and the record's later fields,
    // have nowhere to go.
    {"UnknownElementsDroppedWithTheFieldsBelowThem",
     "<scaledata><article mode=\"write\"><plu_nr>7</plu_nr><name>n</name><box><plu_no>1"
     "</plu_no></box><text_no>2</text_no></article><article mode=\"write\"><plu_no>3</plu_no>"
     "</article></scaledata>",
     "<dat><_/><art m=\"w\"><dvn>0</dvn><nam>n</nam></art><_/><art m=\"w\"><dvn>0</dvn>"
     "<plu>3</plu></art><_/></dat>"},
    {"FileTransferBecomesAdministrationBlock",
     "<scaledata><images><image mode=\"write\"><name>logo</name><source>a.bmp</source>"
     "<destination>b.bmp</destination><originator></originator><last_change>2020-01-02"
     "</last_change></image></images></scaledata>",
     "<dat><_/><adm><dvn>ufm</dvn><trn><nam>a.bmp</nam><ori></ori><lch>2020-01-02</lch>"
     "<img m=\"w\"><src>a.bmp</src><dst>b.bmp</dst></img></trn></adm><_/></dat>"},
    {"TransferSwallowsLaterRecordsAndWritesCategory",
     "<scaledata><article mode=\"write\"><plu_no>1</plu_no></article><label mode=\"write\">"
     "<category>c1</category><source>l1</source></label><article><plu_no>2</plu_no>"
     "<destination>d2</destination></article><label mode=\"delete\"><source>l2</source>"
     "</label></scaledata>",
     "<dat><_/><art m=\"w\"><dvn>0</dvn><plu>1</plu></art><_/><adm><dvn>ufm</dvn><trn>"
     "<nam>l1</nam><ori></ori><ctg>c1</ctg><lch></lch><lbl m=\"w\"><src>l1</src><dst>d2</dst>"
     "</lbl></trn></adm><_/><adm><dvn>ufm</dvn><trn><nam>l2</nam><ori></ori><lch></lch>"
     "<lbl m=\"d\"><src>l2</src><dst></dst></lbl></trn></adm><_/></dat>"},
    {"ParseErrorConvertsThePartBefore",
     "<scaledata><article mode=\"write\"><plu_no>5</plu_no><name>x</nme></article>",
     "<dat><_/><art m=\"w\"><dvn>0</dvn><plu>5</plu><nam>x</nam></art><_/></dat>"},
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class CustToDeviceTest : public ::testing::TestWithParam<Case> {};

TEST_P(CustToDeviceTest, ConvertsByteForByte) {
    TempFolder folder;
    const std::string appData = UseAppDataFolderIn(folder);
    const std::string input = folder / "in.xml", output = folder / "out.xml";
    WriteFile(input, GetParam().input);
    Library library;
    ASSERT_EQ(library.CustToZK8Ext(input.c_str(), output.c_str(), folder.Path().c_str()), -98)
        << "no declaration: neither UTF-8 nor UTF-16";
    EXPECT_FALSE(Exists(output));

    WriteFile(input, "\xEF\xBB\xBF" + std::string(GetParam().input));
    ASSERT_EQ(library.CustToZK8Ext(input.c_str(), output.c_str(), folder.Path().c_str()), 0);
    EXPECT_EQ(ReadFile(output), DeviceFile(GetParam().expected));
    // The input was rewritten all the same; its mark becomes FF FE.
    EXPECT_EQ(ReadFile(appData + "/Temp.xml"), "\xFF\xFE" + Utf16(GetParam().input));
}

INSTANTIATE_TEST_SUITE_P(Cases, CustToDeviceTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CustToDeviceExportTest, DateTimeValueIsTheTimeOfConversion) {
    TempFolder folder;
    UseAppDataFolderIn(folder);
    const std::string input = folder / "in.xml", output = folder / "out.xml";
    WriteFile(input,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><scaledata><date_times><date_time "
              "mode=\"write\"><date_time_value>yesterday</date_time_value></date_time>"
              "</date_times></scaledata>");
    Library library;
    ASSERT_EQ(library.CustToZK8Ext(input.c_str(), output.c_str(), folder.Path().c_str()), 0);
    const std::string text = ReadFile(output);
    std::string ascii;
    for (std::size_t i = 2; i < text.size(); i += 2) ascii += text[i];
    ASSERT_EQ(ascii.substr(0, kDeclaration.size()), kDeclaration);
    EXPECT_TRUE(std::regex_match(
        ascii.substr(kDeclaration.size()), std::regex("<dat><_/><tim m=\"w\"><dvn>u</dvn><tva>\\d{4}-\\d{2}-"
                                         "\\d{2}T\\d{2}:\\d{2}:\\d{2}</tva></tim><_/></dat>")))
        << ascii;
}

}  // namespace
