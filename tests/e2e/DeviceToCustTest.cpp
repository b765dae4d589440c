// Device XML to customer XML through the exported functions: each case is a
// device file and the customer file and status file it must give.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/Library.h"
#include "support/TempFolder.h"

namespace {

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
