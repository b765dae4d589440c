// The exported functions as a host program uses them: working directories,
// result codes, run-log entries and the tag list.
#include <gtest/gtest.h>

#include "support/Library.h"
#include "support/RunLogText.h"
#include "support/TempFolder.h"

namespace {

const char kCustomerXml[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><scaledata><articles><article mode=\"write\">"
    "<plu_no>12</plu_no></article></articles></scaledata>";

std::string LogWithoutTimes(const std::string& path) { return Masked(ReadFile(path)); }

const std::string kOptionEntries =
    "<TS> : ZK8_XML_Conv         32013   Create length attribute in xml data is enabled \r\n"
    "<TS> : ZK8_XML_Conv         32011   Create nil-attribute in xml data is enabled \r\n"
    "<TS> : ZK8_XML_Conv         32016   Create default namespace in xml data is disabled \r\n";

TEST(TagListExportTest, EmptyBeforeAnyConversionFullAfterOne) {
    TempFolder folder;
    UseAppDataFolderIn(folder);
    Library library;
    const std::string list = folder / "tags.txt";
    ASSERT_EQ(library.CreateTagList(list.c_str()), 0);
    EXPECT_TRUE(Exists(list));
    EXPECT_EQ(ReadFile(list), "");
    EXPECT_EQ(library.CreateTagList((folder / "no/such/folder/tags.txt").c_str()), -1);

    WriteFile(folder / "in.xml", kCustomerXml);
    ASSERT_EQ(library.CustToZK8Ext((folder / "in.xml").c_str(), (folder / "out.xml").c_str(),
                                   folder.Path().c_str()),
              0);
    ASSERT_EQ(library.CreateTagList(list.c_str()), 0);
    const std::string text = ReadFile(list);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 898);
    EXPECT_NE(text.find("\r\n032   art          article\r\n"), std::string::npos);
}

TEST(WorkingDirectoryTest, ExtExportsUseTheGivenFolderAsIs) {
    TempFolder folder;
    UseAppDataFolderIn(folder);
    WriteFile(folder / "in.xml", kCustomerXml);
    WriteFile(folder / "Interface.ini", "[LogFiles]\r\nLoggingLevel=3\r\n");
    Library library;
    // No trailing separator is added; the run log lands in the folder itself.
    ASSERT_EQ(library.CustToZK8Ext((folder / "in.xml").c_str(), (folder / "out.xml").c_str(),
                                   folder.Path().c_str()),
              0);
    EXPECT_EQ(LogWithoutTimes(folder / "Runlog.log"),
              kRunLogHead +
                  "<TS> : ZK8_XML_Conv         32301   Conversion:  Start of Utf8ToUtf16 conversion\r\n"
                  "<TS> : ZK8_XML_Conv         32005   UTF8 to UTF16 conversion successfull \r\n" +
                  kOptionEntries);
    // A folder that does not exist is accepted; its entries are lost.
    EXPECT_EQ(library.ZK8ToCustExt((folder / "out.xml").c_str(), (folder / "back.xml").c_str(),
                                   (folder / "missing").c_str()),
              0);
    EXPECT_TRUE(Exists(folder / "back.xml"));
}

void ExpectHostRule(bool withHost, const std::string& expectedFolder) {
    TempFolder folder;
    UseAppDataFolderIn(folder);
    WriteFile(folder / "in.xml", kCustomerXml);
    const std::string log = expectedFolder + "Runlog.log";
    std::remove(log.c_str());
    Library library(withHost);
    ASSERT_EQ(library.CustToZK8((folder / "in.xml").c_str(), (folder / "a.xml").c_str()), 0);
    ASSERT_EQ(library.CustToZK8WithLengthAttribute((folder / "in.xml").c_str(),
                                                   (folder / "b.xml").c_str()),
              0);
    EXPECT_EQ(ReadFile(folder / "a.xml"), ReadFile(folder / "b.xml"));
    EXPECT_EQ(LogWithoutTimes(log), kRunLogHead + kOptionEntries + kOptionEntries);
    EXPECT_FALSE(Exists(folder / "Runlog.log"));
    std::remove(log.c_str());
}

TEST(WorkingDirectoryTest, PlainExportsUseTheHostModuleFolder) {
    ExpectHostRule(true, HostModuleFolder());
}

TEST(WorkingDirectoryTest, WithoutHostModuleTheExecutableFolder) {
    ExpectHostRule(false, ExecutableFolder());
}

// A call that stops before the engine leaves the output as it was.
struct FailureCase {
    const char* name;
    std::string input;  // empty name: no input file at all
    int toDevice;
    int toCustomer;
    const char* deviceEntry;
    const char* customerEntry;
};

const FailureCase kFailures[] = {
    {"MissingInput", "", -1, -1, "22000   XML input file doesn't exist. ",
     "32000   ZK8 output file doesn't exist. "},
    {"EmptyInput", std::string(), -99, -99, "32003   Invalid input file ",
     "32003   Invalid input file "},
    {"NoDeclarationNoMark", "<dat/>", -98, -98, "32006   Input file type is not UTF8 or UTF16 ",
     "32006   Input file type is not UTF8 or UTF16 "},
    {"UnquotedEncoding", "<?xml version=\"1.0\" encoding=utf-8?><dat/>", -93, -93,
     "32008   Error in XML declaration ", "32008   Error in XML declaration "},
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class FailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailureTest, ResultEntryAndUntouchedOutput) {
    const FailureCase& c = GetParam();
    TempFolder folder;
    UseAppDataFolderIn(folder);
    WriteFile(folder / "Interface.ini", "[LogFiles]\nLoggingLevel=2\n");
    const std::string input = folder / "in.xml", output = folder / "out.xml";
    if (std::string(c.name) != "MissingInput") WriteFile(input, c.input);
    WriteFile(output, "keep me");
    Library library;
    EXPECT_EQ(library.CustToZK8Ext(input.c_str(), output.c_str(), folder.Path().c_str()),
              c.toDevice);
    EXPECT_EQ(library.ZK8ToCustExt(input.c_str(), output.c_str(), folder.Path().c_str()),
              c.toCustomer);
    EXPECT_EQ(ReadFile(output), "keep me");
    EXPECT_FALSE(Exists(output + "_Status.xml"));
    const std::string log = LogWithoutTimes(folder / "Runlog.log");
    EXPECT_NE(log.find(std::string("ZK8_XML_Conv         ") + c.deviceEntry + "\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.rfind(std::string("ZK8_XML_Conv         ") + c.customerEntry + "\r\n"),
              std::string::npos)
        << log;
}

INSTANTIATE_TEST_SUITE_P(Cases, FailureTest, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ParseErrorTest, WellEncodedButBrokenXmlStillReturnsZero) {
    TempFolder folder;
    UseAppDataFolderIn(folder);
    const std::string input = folder / "in.xml", output = folder / "out.xml";
    WriteFile(input, "\xFF\xFE" + Utf16("<dat><art m=\"w\"><plu>1</plu><nam>x</art>"));
    WriteFile(folder / "Interface.ini", "[LogFiles]\nLoggingLevel=3\n");
    Library library;
    ASSERT_EQ(library.ZK8ToCustExt(input.c_str(), output.c_str(), folder.Path().c_str()), 0);
    EXPECT_EQ(ReadFile(output),
              "\xFF\xFE" + Utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?><scaledata xmlns:xsi="
                                 "\"http://www.w3.org/2001/XMLSchema-instance\"><articles><article"
                                 " mode=\"write\"><plu_no>1</plu_no><name>x</name></article>"
                                 "</articles></scaledata>"));
    EXPECT_EQ(LogWithoutTimes(folder / "Runlog.log"),
              kRunLogHead +
                  "<TS> : ZK8_XML_Conv         32301   Conversion:  Start of Utf8ToUtf16 conversion\r\n"
                  "<TS> : ZK8_XML_Conv         32301   Conversion:  NOONE:Utf 16 file\r\n");
}

}  // namespace
