// The command-line tool and the library's export table, as a user sees them.
#include <gtest/gtest.h>

#include <set>

#include "support/Command.h"
#include "support/TempFolder.h"

namespace {

const std::string kTool = ZK8_TOOL_PATH;

TEST(ExportTableTest, OnlyTheNineNamesAreVisible) {
    const CommandRun nm = RunCommand(std::string("nm -D --defined-only ") + ZK8_LIBRARY_PATH);
    ASSERT_EQ(nm.status, 0) << nm.output;
    std::set<std::string> names;
    std::size_t start = 0;
    while (start < nm.output.size()) {
        std::size_t end = nm.output.find('\n', start);
        if (end == std::string::npos) end = nm.output.size();
        const std::string line = nm.output.substr(start, end - start);
        names.insert(line.substr(line.rfind(' ') + 1));
        start = end + 1;
    }
    EXPECT_EQ(names, (std::set<std::string>{
                         "CreateTagList", "CustToZK8", "CustToZK8Ext",
                         "CustToZK8ExtWithLengthAttribute", "CustToZK8LibStd",
                         "CustToZK8WithLengthAttribute", "ZK8ToCust", "ZK8ToCustExt",
                         "ZK8ToCustLibStd"}));
}

TEST(ToolTest, TagListIsNeverEmpty) {
    TempFolder folder;
    const CommandRun run = RunCommand(kTool + " taglist " + (folder / "tags.txt"));
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string list = ReadFile(folder / "tags.txt");
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 898);
    EXPECT_EQ(list.substr(0, 35), "001   acs          account_status\r\n");

    const CommandRun failed = RunCommand(kTool + " taglist " + (folder / "no/such/tags.txt"));
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.output,
              "zk8conv: cannot write " + (folder / "no/such/tags.txt") + ": No such file or directory\n");
}

TEST(ToolTest, NegativeResultsAreExplained) {
    TempFolder folder;
    UseAppDataFolderIn(folder);
    WriteFile(folder / "plain.xml", "<scaledata/>");
    const std::pair<std::string, std::string> cases[] = {
        {"to-device " + (folder / "missing.xml") + " " + (folder / "out.xml"),
         "zk8conv: input file cannot be opened (-1)\n"},
        {"to-customer " + (folder / "plain.xml") + " " + (folder / "out.xml"),
         "zk8conv: input is neither UTF-8 nor UTF-16 (-98)\n"},
    };
    for (const auto& [arguments, message] : cases) {
        const CommandRun run = RunCommand(kTool + " " + arguments + " --workdir " + folder.Path());
        EXPECT_EQ(run.status, 1) << arguments;
        EXPECT_EQ(run.output, message);
    }
    EXPECT_FALSE(Exists(folder / "out.xml"));
}

TEST(ToolTest, ConvertsWithOptionsFromAnIniFile) {
    TempFolder folder;
    UseAppDataFolderIn(folder);
    WriteFile(folder / "in.xml", "\xFF\xFE" + Utf16("<dat><art><lch/></art></dat>"));
    WriteFile(folder / "opt.ini", "[Advanced]\nbCreateNilAttribute=0\n");
    const CommandRun run = RunCommand(kTool + " to-customer " + (folder / "in.xml") + " " +
                               (folder / "out.xml") + " --workdir " + folder.Path() + " --ini " +
                               (folder / "opt.ini"));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(Utf8FromUtf16(ReadFile(folder / "out.xml")),
              "<?xml version=\"1.0\" encoding=\"UTF-16\"?><scaledata><articles><article>"
              "<last_change/></article></articles></scaledata>");
    EXPECT_NE(RunCommand(kTool + " --help").output.find("to-customer"), std::string::npos);
}

TEST(ToolTest, UsageErrorsExitTwoWithAOneLineHint) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "zk8conv: A subcommand is required (see zk8conv --help)\n"},
        {" to-device in.xml", "zk8conv: OUTPUT is required (see zk8conv to-device --help)\n"},
        {" convert --to x a --out-dir d", "zk8conv: --to: x not in {device,customer} (see zk8conv convert --help)\n"},
    };
    for (const auto& [arguments, message] : cases) {
        const CommandRun run = RunCommand(kTool + arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_EQ(run.output, message);
    }
    const CommandRun version = RunCommand(kTool + " --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "zk8conv 2.2.55.1 (XML to XmlTlv Converter 2.2.55.1, pugixml 1.13)\n");
}

}  // namespace
