// zk8conv check and zk8conv convert, end to end on files with known problems
// and on the shipped examples.
#include <gtest/gtest.h>

#include "support/Command.h"
#include "support/TempFolder.h"

namespace {

const std::string kTool = ZK8_TOOL_PATH;
const std::string kExamples = ZK8_EXAMPLES_DIR;

struct CheckCase {
    const char* name;
    std::string input;
    int status;
    std::string report;  // after the "<path> (<direction>):" line
};

// Each exceptions block collects up to its first error text.
std::string ManyErrorBlocks(int count) {
    std::string blocks;
    for (int i = 1; i <= count; ++i) {
        blocks += "<exs><exc><eno>" + std::to_string(i) + "</eno><err>e</err></exc></exs>";
    }
    return blocks;
}

const CheckCase kChecks[] = {
    {"Lossless",
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<scaledata><articles><article mode=\"write\">"
     "<plu_no>1</plu_no></article></articles></scaledata>",
     0, "  nothing is dropped or altered\n"},
    {"CustomerProblems",
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
     "<scaledata>\n"
     "  <articles mode=\"write\">\n"
     "    <article mode=\"wirte\" id=\"7\">\n"
     "      <plu_nr>12</plu_nr>\n"
     "      <name>Apple<![CDATA[ & pear]]></name>\n"
     "      <date_time_value>x</date_time_value>\n"
     "    </article>\n"
     "  </articles>\n"
     "  <images><image mode=\"write\"><name>logo</name><source>a.bmp</source></image></images>\n"
     "  <article><plu_no>1</plu_no><destination>d</destination></article>\n"
     "</scaledata>\n",
     1,
     "  3:3: articles: attribute mode is not written\n"
     "  4:5: article: mode wirte is not in the table; written as an empty mode\n"
     "  4:5: article: attribute id is not written\n"
     "  5:7: plu_nr: unknown; did you mean plu_no?\n"
     "  6:18: CDATA section in name is not read\n"
     "  7:7: date_time_value: text replaced by the time of the conversion\n"
     "  10:31: name: after a file-transfer record; not written\n"
     "  11:3: article: after a file-transfer record; not written\n"
     "  11:12: plu_no: after a file-transfer record; not written\n"
     "  11:30: destination: replaces the value of the pending file transfer\n"
     "10 findings: the conversion would drop or alter content\n"},
    {"DeviceProblems",
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plu>5</plu>\n<dat>\n<art m=\"q\" x=\"1\">"
     "<dvn>3</dvn><dpn>4</dpn><xyz>1</xyz></art>\n" +
         ManyErrorBlocks(33) +
         "\n<adm><lbl m=\"w\"/><ori>o</ori></adm>\n<art><plu>1</plu></art>\n<nam>x</dat>",
     1,
     "  2:1: plu: nothing open to write it into; not written\n"
     "  4:1: art: mode q is not in the table; written as an empty mode\n"
     "  4:1: art: attribute x is not written\n"
     "  4:18: dvn: not written under this record\n"
     "  4:42: xyz: unknown, not written\n"
     "  5:1506: error number 33: beyond the 32 the status file lists\n"
     "  7:1: art: after a header block; not written\n"
     "  7:6: plu: after a header block; not written\n"
     "  8:1: nam: after a header block; not written\n"
     "  8:9: XML parse error: Start-end tags mismatch; nothing after it is converted\n"
     "10 findings: the conversion would drop or alter content\n"},
};

void PrintTo(const CheckCase& c, std::ostream* out) { *out << c.name; }

class CheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CheckTest, ReportsEveryLoss) {
    TempFolder folder;
    const std::string input = folder / "in.xml";
    WriteFile(input, GetParam().input);
    const CommandRun run = RunCommand(kTool + " check " + input);
    EXPECT_EQ(run.status, GetParam().status);
    const std::string firstLine = run.output.substr(0, run.output.find('\n') + 1);
    EXPECT_EQ(run.output.substr(firstLine.size()), GetParam().report) << run.output;
}

INSTANTIATE_TEST_SUITE_P(Cases, CheckTest, ::testing::ValuesIn(kChecks),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CheckToolTest, JsonAndUnreadableInput) {
    TempFolder folder;
    WriteFile(folder / "in.xml", "\xFF\xFE" + Utf16("<dat>\r\n<art><dvn>1</dvn></art></dat>"));
    const CommandRun json = RunCommand(kTool + " check --json " + (folder / "in.xml"));
    EXPECT_EQ(json.status, 1);
    EXPECT_EQ(json.output, "{\n  \"direction\": \"to-customer\",\n  \"file\": \"" +
                               (folder / "in.xml") +
                               "\",\n  \"findings\": [\n    {\n      \"column\": 6,\n"
                               "      \"kind\": \"number-not-written\",\n      \"line\": 2,\n"
                               "      \"message\": \"dvn: not written under this record\",\n"
                               "      \"subject\": \"dvn\"\n    }\n  ],\n"
                               "  \"lossless\": false\n}\n");

    WriteFile(folder / "plain.xml", "<scaledata/>");
    const CommandRun plain = RunCommand(kTool + " check " + (folder / "plain.xml"));
    EXPECT_EQ(plain.status, 2);
    EXPECT_EQ(plain.output, "zk8conv: " + (folder / "plain.xml") +
                                ": input is neither UTF-8 nor UTF-16 (-98)\n");
    EXPECT_EQ(RunCommand(kTool + " check " + (folder / "none.xml")).status, 2);
}

TEST(BatchConvertTest, EachFileInItsOwnWorkerWithASummary) {
    TempFolder folder;
    UseAppDataFolderIn(folder);
    WriteFile(folder / "junk.xml", "junk");
    const std::string out = folder / "out";
    const CommandRun run =
        RunCommand(kTool + " convert --to customer -j 2 --out-dir " + out + " " + kExamples +
                   "/device_reply.xml " + (folder / "junk.xml") + " " + kExamples +
                   "/device_label_transfer.xml " + (folder / "missing.xml"));
    EXPECT_EQ(run.status, 1);
    // Workers finish in any order; the summary comes last.
    EXPECT_NE(run.output.find("FAILED " + (folder / "junk.xml") +
                              ": input is neither UTF-8 nor UTF-16 (-98)\n"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("FAILED " + (folder / "missing.xml") +
                              ": input file cannot be opened (-1)\n"),
              std::string::npos);
    const std::string summary = "2 of 4 files converted into " + out + "; 2 failed\n";
    EXPECT_EQ(run.output.substr(run.output.size() - summary.size()), summary);
    for (const std::string name : {"device_reply", "device_label_transfer"}) {
        EXPECT_EQ(Utf8FromUtf16(ReadFile(out + "/" + name + ".xml")),
                  ReadFile(kExamples + "/results/" + name + "_customer.txt"));
    }

    const CommandRun again = RunCommand(kTool + " convert --to device --out-dir " + out + " " +
                                        kExamples + "/customer_catalogue.xml");
    EXPECT_EQ(again.status, 0) << again.output;
    EXPECT_EQ(again.output, "1 of 1 files converted into " + out + "\n");
    EXPECT_EQ(Utf8FromUtf16(ReadFile(out + "/customer_catalogue.xml")),
              ReadFile(kExamples + "/results/customer_catalogue_device.txt"));
}

}  // namespace
