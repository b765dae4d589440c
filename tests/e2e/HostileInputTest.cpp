// Hostile input through the exported functions: over-long and empty paths,
// deep and huge documents, floods of error numbers, monstrous ini files,
// broken encodings, unwritable places. Every call must return its defined
// result; where a call stops before the conversion, the output stays as it
// was. Memory errors are the sanitizer and valgrind runs' business.
#include <gtest/gtest.h>

#include <pthread.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "support/Library.h"
#include "support/TempFolder.h"

namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>";
const std::string kXsi = " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"";
const std::string kUntouched = "keep me";

// A customer file in UTF-8 and a device file in UTF-16, with what they give.
const std::string kCustomerInput =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><scaledata><articles><article mode=\"write\">"
    "<plu_no>12</plu_no></article></articles></scaledata>";
const std::string kDeviceOutput =
    kDeclaration + "<dat><_/><art m=\"w\"><dvn>0</dvn><plu>12</plu></art><_/></dat>";
const std::string kDeviceInput = "<dat><art m=\"w\"><plu>12</plu><lch/></art></dat>";
std::string CustomerOutput(bool nil) {
    return kDeclaration + "<scaledata" + (nil ? kXsi : "") +
           "><articles><article mode=\"write\"><plu_no>12</plu_no>" +
           (nil ? "<last_change xsi:nil=\"true\"/>" : "<last_change/>") +
           "</article></articles></scaledata>";
}
const std::string kEmptyStatus = "<?xml version=\"1.0\"?>\n<status/>\n";

std::string Utf16File(const std::string& text) { return "\xFF\xFE" + Utf16(text); }
// The file's text when it is UTF-16 with a byte-order mark; "" otherwise.
std::string TextOf(const std::string& path) {
    const std::string bytes = ReadFile(path);
    return bytes.compare(0, 2, "\xFF\xFE") == 0 ? Utf8FromUtf16(bytes) : std::string();
}

// Also for paths too long to ask the system about.
bool PathExists(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

std::string Repeat(const std::string& text, std::size_t count) {
    std::string out;
    out.reserve(text.size() * count);
    for (std::size_t i = 0; i < count; ++i) out += text;
    return out;
}

// A path of exactly `length` characters below base, made of folders of 200
// characters and a last name of at most 201. Make::Parents creates the
// folders before the last name, Make::Folder the last name too, as far as
// the system allows.
enum class Make { Nothing, Parents, Folder };
std::string PathOfLength(const std::string& base, std::size_t length, Make make) {
    std::string path = base;
    while (length - path.size() > 202) {
        path += "/" + std::string(200, 'd');
        if (make != Make::Nothing) mkdir(path.c_str(), 0755);
    }
    path += "/" + std::string(length - path.size() - 1, 'f');
    if (make == Make::Folder) mkdir(path.c_str(), 0755);
    return path;
}

class HostileInputTest : public ::testing::Test {
protected:
    void SetUp() override { appData = UseAppDataFolderIn(folder); }

    TempFolder folder;
    std::string appData;
    Library library;
};

// ---------------------------------------------------------------------------
// Paths of 259, 260 and thousands of characters in every argument. Paths of
// up to 259 characters are what the library supports; longer ones must still
// give a defined result (docs/architecture.md records which).

enum class Argument { Input, Output, WorkingDirectory, SettingsWorkingDirectory, IniFile, TagList };

struct LongPathCase {
    const char* name;
    Argument argument;
    std::size_t length;
    int result;
    // Input, Output: the conversion wrote its output; working directories:
    // the run log is in the given folder; IniFile: its option was read;
    // TagList: the list was written.
    bool takesEffect;
};

const LongPathCase kLongPaths[] = {
    {"Input259", Argument::Input, 259, 0, true},
    {"Input260", Argument::Input, 260, 0, true},
    {"Input3000", Argument::Input, 3000, 0, true},
    {"Input5000", Argument::Input, 5000, -1, false},  // beyond what the system opens
    {"Output259", Argument::Output, 259, 0, true},
    {"Output260", Argument::Output, 260, 0, true},
    {"Output3000", Argument::Output, 3000, 0, true},
    {"Output5000", Argument::Output, 5000, 0, false},
    // Cut to 259 characters: a folder that does not exist, so entries are lost.
    {"WorkingDirectory259", Argument::WorkingDirectory, 259, 0, true},
    {"WorkingDirectory260", Argument::WorkingDirectory, 260, 0, false},
    {"WorkingDirectory3000", Argument::WorkingDirectory, 3000, 0, false},
    // Cut and missing: the application-data folder takes its place.
    {"SettingsWorkingDirectory259", Argument::SettingsWorkingDirectory, 259, 0, true},
    {"SettingsWorkingDirectory260", Argument::SettingsWorkingDirectory, 260, 0, false},
    {"SettingsWorkingDirectory5000", Argument::SettingsWorkingDirectory, 5000, 0, false},
    // The reader holds 255 characters of path; a longer ini file reads as
    // one without the key.
    {"IniFile255", Argument::IniFile, 255, 0, true},
    {"IniFile256", Argument::IniFile, 256, 0, false},
    {"IniFile260", Argument::IniFile, 260, 0, false},
    {"IniFile3000", Argument::IniFile, 3000, 0, false},
    {"TagList259", Argument::TagList, 259, 0, true},
    {"TagList260", Argument::TagList, 260, 0, true},
    {"TagList3000", Argument::TagList, 3000, 0, true},
    {"TagList5000", Argument::TagList, 5000, -1, false},
};

void PrintTo(const LongPathCase& c, std::ostream* out) { *out << c.name; }

class LongPathTest : public HostileInputTest, public ::testing::WithParamInterface<LongPathCase> {};

TEST_P(LongPathTest, DefinedResult) {
    const LongPathCase& c = GetParam();
    const std::string base = folder.Path();
    std::string deviceInput = folder / "device.xml", customerInput = folder / "customer.xml";
    std::string deviceOutput = folder / "device_out.xml",
                customerOutput = folder / "customer_out.xml";
    std::string workdir = base;
    WriteFile(folder / "Interface.ini", "[LogFiles]\nLoggingLevel=3\n");
    WriteFile(appData + "/Interface.ini", "[LogFiles]\nLoggingLevel=3\n");

    switch (c.argument) {
        case Argument::Input:
            deviceInput = PathOfLength(base, c.length, Make::Parents);
            customerInput = deviceInput.substr(0, deviceInput.size() - 1) + "c";
            break;
        case Argument::Output:
            deviceOutput = PathOfLength(base, c.length, Make::Parents);
            customerOutput = deviceOutput.substr(0, deviceOutput.size() - 1) + "c";
            break;
        case Argument::WorkingDirectory:
        case Argument::SettingsWorkingDirectory:
            workdir = PathOfLength(base, c.length, Make::Folder);
            break;
        case Argument::IniFile:
        case Argument::TagList:
            break;
    }
    WriteFile(deviceInput, Utf16File(kDeviceInput));
    WriteFile(customerInput, kCustomerInput);
    const std::string ini = c.argument == Argument::IniFile
                                ? PathOfLength(base, c.length, Make::Parents)
                                : folder / "options.ini";
    WriteFile(ini, "[Advanced]\nbCreateNilAttribute=0\n");

    if (c.argument == Argument::TagList) {
        const std::string list = PathOfLength(base, c.length, Make::Parents);
        EXPECT_EQ(library.CreateTagList(list.c_str()), c.result);
        EXPECT_EQ(PathExists(list), c.takesEffect);
        return;
    }
    if (c.argument == Argument::IniFile || c.argument == Argument::SettingsWorkingDirectory) {
        EXPECT_EQ(library.ZK8ToCustLibStd(deviceInput.c_str(), customerOutput.c_str(),
                                          workdir.c_str(), ini.c_str()),
                  c.result);
        EXPECT_EQ(library.CustToZK8LibStd(customerInput.c_str(), deviceOutput.c_str(),
                                          workdir.c_str(), ini.c_str()),
                  c.result);
        const bool optionRead = c.argument != Argument::IniFile || c.takesEffect;
        EXPECT_EQ(TextOf(customerOutput), CustomerOutput(!optionRead));
        EXPECT_EQ(TextOf(deviceOutput), kDeviceOutput);
        if (c.argument == Argument::SettingsWorkingDirectory) {
            EXPECT_EQ(PathExists(workdir + "/Runlog.log"), c.takesEffect);
            EXPECT_EQ(PathExists(appData + "/Runlog.log"), !c.takesEffect);
        }
        return;
    }

    EXPECT_EQ(library.ZK8ToCustExt(deviceInput.c_str(), customerOutput.c_str(), workdir.c_str()),
              c.result);
    EXPECT_EQ(library.CustToZK8Ext(customerInput.c_str(), deviceOutput.c_str(), workdir.c_str()),
              c.result);
    const bool written = c.argument == Argument::WorkingDirectory || c.takesEffect;
    EXPECT_EQ(TextOf(customerOutput), written ? CustomerOutput(true) : "");
    EXPECT_EQ(TextOf(deviceOutput), written ? kDeviceOutput : "");
    EXPECT_EQ(TextOf(customerOutput + "_Status.xml"), written ? kEmptyStatus : "");
    if (c.argument == Argument::WorkingDirectory) {
        EXPECT_EQ(PathExists(workdir + "/Runlog.log"), c.takesEffect);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, LongPathTest, ::testing::ValuesIn(kLongPaths),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Empty strings.

TEST_F(HostileInputTest, EmptyStrings) {
    const std::string input = folder / "in.xml", output = folder / "out.xml";
    const std::string workdir = folder.Path();
    WriteFile(input, Utf16File(kDeviceInput));

    // No input: -1 from every conversion export, the output as it was.
    WriteFile(output, kUntouched);
    EXPECT_EQ(library.ZK8ToCustExt("", output.c_str(), workdir.c_str()), -1);
    EXPECT_EQ(library.CustToZK8Ext("", output.c_str(), workdir.c_str()), -1);
    EXPECT_EQ(library.ZK8ToCustLibStd("", output.c_str(), workdir.c_str(), ""), -1);
    EXPECT_EQ(library.CustToZK8LibStd("", output.c_str(), workdir.c_str(), ""), -1);
    EXPECT_EQ(ReadFile(output), kUntouched);
    EXPECT_EQ(library.CreateTagList(""), -1);

    // No output: the conversion runs and writes nothing; the status file
    // name is the suffix alone, so it lands in the current directory.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::create_directory(folder / "cwd");
    std::filesystem::current_path(folder / "cwd");
    EXPECT_EQ(library.ZK8ToCustExt(input.c_str(), "", workdir.c_str()), 0);
    EXPECT_EQ(library.CustToZK8Ext(input.c_str(), "", workdir.c_str()), 0);
    std::filesystem::current_path(previous);
    EXPECT_EQ(TextOf(folder / "cwd/_Status.xml"), kEmptyStatus);

    // No working directory for the settings-driven pair: the
    // application-data folder; no ini file: option 1.
    EXPECT_EQ(library.ZK8ToCustLibStd(input.c_str(), output.c_str(), "", ""), 0);
    EXPECT_EQ(TextOf(output), CustomerOutput(true));
    EXPECT_EQ(library.CustToZK8LibStd((folder / "missing.xml").c_str(), output.c_str(), "", ""),
              -1);
    EXPECT_NE(ReadFile(appData + "/Runlog.log").find("22000   XML input file doesn't exist."),
              std::string::npos);
}

// ---------------------------------------------------------------------------
// Deep nesting: 100,000 levels in both directions. Fields with children
// alternate, so the output is as deep as the input; nothing on the way may
// recurse per level.

// Runs the call on a thread with a stack of 1 MB: recursion over 100,000
// levels would need more than that, whatever its frame size.
int OnSmallStack(const std::function<int()>& call) {
    struct Job {
        const std::function<int()>& call;
        int result;
    } job{call, 1};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 1 << 20);
    pthread_t thread;
    const auto run = [](void* data) -> void* {
        Job* job = static_cast<Job*>(data);
        job->result = job->call();
        return nullptr;
    };
    if (pthread_create(&thread, &attributes, run, &job) == 0) pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    return job.result;
}

TEST_F(HostileInputTest, HundredThousandLevels) {
    constexpr std::size_t kPairs = 50000;
    const std::string input = folder / "in.xml", output = folder / "out.xml";
    WriteFile(input,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><scaledata><article mode=\"write\">" +
                  Repeat("<ingredients><name>", kPairs) + "<ingredients_no>1</ingredients_no>" +
                  Repeat("</name></ingredients>", kPairs) + "</article></scaledata>");
    const char* const in = input.c_str();
    const char* const out = output.c_str();
    const char* const workdir = folder.Path().c_str();
    const auto toDevice = [&] { return library.CustToZK8Ext(in, out, workdir); };
    const auto toCustomer = [&] { return library.ZK8ToCustExt(in, out, workdir); };
    ASSERT_EQ(OnSmallStack(toDevice), 0);
    EXPECT_EQ(TextOf(output), kDeclaration + "<dat><_/><art m=\"w\"><dvn>0</dvn>" +
                                  Repeat("<ing><nam>", kPairs) + "<inn>1</inn>" +
                                  Repeat("</nam></ing>", kPairs) + "</art><_/></dat>");

    WriteFile(input, Utf16File("<dat><art m=\"w\">" + Repeat("<ing><nam>", kPairs) +
                               "<inn>1</inn>" + Repeat("</nam></ing>", kPairs) + "</art></dat>"));
    ASSERT_EQ(OnSmallStack(toCustomer), 0);
    EXPECT_EQ(TextOf(output),
              kDeclaration + "<scaledata" + kXsi + "><articles><article mode=\"write\">" +
                  Repeat("<ingredients><name>", kPairs) + "<ingredients_no>1</ingredients_no>" +
                  Repeat("</name></ingredients>", kPairs) + "</article></articles></scaledata>");
}

// ---------------------------------------------------------------------------
// A text of 64 MB, through the UTF-8 rewrite and in UTF-16. Files of this
// size are written and checked piece by piece: copies of whole files would
// cost more than the conversions.

// Writes head, then `count` times the unit, then tail.
void WriteRepeated(const std::string& path, const std::string& head, const std::string& unit,
                   std::size_t count, const std::string& tail) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    const std::string block = Repeat(unit, 1 << 16);
    std::fwrite(head.data(), 1, head.size(), file);
    for (std::size_t left = count; left > 0;) {
        const std::size_t n = std::min<std::size_t>(left, 1 << 16);
        std::fwrite(block.data(), unit.size(), n, file);
        left -= n;
    }
    std::fwrite(tail.data(), 1, tail.size(), file);
    std::fclose(file);
}

// True when the file holds exactly head, `count` times the unit, and tail.
bool HoldsRepeated(const std::string& path, const std::string& head, const std::string& unit,
                   std::size_t count, const std::string& tail) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    const auto readEqual = [file](const std::string& expected) {
        std::string bytes(expected.size(), '\0');
        return std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size() && bytes == expected;
    };
    const std::string block = Repeat(unit, 1 << 16);
    bool same = readEqual(head);
    for (std::size_t left = count; same && left > 0;) {
        const std::size_t n = std::min<std::size_t>(left, 1 << 16);
        same = readEqual(block.substr(0, n * unit.size()));
        left -= n;
    }
    same = same && readEqual(tail) && std::fgetc(file) == EOF;
    std::fclose(file);
    return same;
}

TEST_F(HostileInputTest, TextOfSixtyFourMegabytes) {
    const std::size_t size = 64u << 20;
    const std::string input = folder / "in.xml", output = folder / "out.xml";
    const std::string x16 = Utf16("x");
    WriteRepeated(
        input,
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><scaledata><article mode=\"write\"><name>", "x",
        size, "</name></article></scaledata>");
    ASSERT_EQ(library.CustToZK8Ext(input.c_str(), output.c_str(), folder.Path().c_str()), 0);
    EXPECT_TRUE(HoldsRepeated(output,
                              Utf16File(kDeclaration + "<dat><_/><art m=\"w\"><dvn>0</dvn><nam>"),
                              x16, size, Utf16("</nam></art><_/></dat>")));

    WriteRepeated(input, Utf16File("<dat><art><nam>"), x16, size, Utf16("</nam></art></dat>"));
    ASSERT_EQ(library.ZK8ToCustExt(input.c_str(), output.c_str(), folder.Path().c_str()), 0);
    EXPECT_TRUE(HoldsRepeated(
        output, Utf16File(kDeclaration + "<scaledata" + kXsi + "><articles><article><name>"), x16,
        size, Utf16("</name></article></articles></scaledata>")));
}

// ---------------------------------------------------------------------------
// Thousands of distinct error numbers: the status file lists the first 32.

TEST_F(HostileInputTest, ThousandsOfErrorNumbers) {
    std::string oneBlock, blocks, withoutTexts, withTexts;
    for (int i = 0; i < 5000; ++i) {
        const std::string n = std::to_string(i);
        oneBlock += "<exc><eno>" + n + "</eno></exc>";
        blocks += "<exs><exc><eno>" + n + "</eno><err>e" + n + "</err></exc></exs>";
        if (i >= 32) continue;
        withoutTexts += "\t\t<exception>\n\t\t\t<error_no>" + n +
                        "</error_no>\n\t\t\t<error></error>\n"
                        "\t\t</exception>\n";
        withTexts += "\t\t<exception>\n\t\t\t<error_no>" + n + "</error_no>\n\t\t\t<error>e" + n +
                     "</error>\n\t\t</exception>\n";
    }
    const std::string input = folder / "in.xml", output = folder / "out.xml";
    const std::string status = output + "_Status.xml";
    // Numbers without texts keep the collection on: the first 32 are listed,
    // each with an empty text.
    WriteFile(input, Utf16File("<dat><exs>" + oneBlock + "</exs></dat>"));
    ASSERT_EQ(library.ZK8ToCustExt(input.c_str(), output.c_str(), folder.Path().c_str()), 0);
    EXPECT_EQ(TextOf(status), "<?xml version=\"1.0\"?>\n<status>\n\t<exceptions>\n" + withoutTexts +
                                  "\t</exceptions>\n</status>\n");

    // A block per number: each block collects one; again the first 32.
    WriteFile(input, Utf16File("<dat>" + blocks + "</dat>"));
    ASSERT_EQ(library.ZK8ToCustExt(input.c_str(), output.c_str(), folder.Path().c_str()), 0);
    EXPECT_EQ(TextOf(status), "<?xml version=\"1.0\"?>\n<status>\n\t<exceptions>\n" + withTexts +
                                  "\t</exceptions>\n</status>\n");
}

// ---------------------------------------------------------------------------
// Ini files with thousands of lines and lines of 100,000 characters. The
// reader keeps 256 slots of 511 characters; a longer line fills several.

struct IniCase {
    const char* name;
    std::string content;
    bool nil;  // the option the conversion ran with
};

const std::string kLongLine(100000, 'L');
const std::string kManyLines = Repeat("; comment\r\n", 5000);

const IniCase kIniCases[] = {
    {"KeyAfterThousandsOfLines", kManyLines + "[Advanced]\nbCreateNilAttribute=0\n", true},
    {"KeyBeforeThousandsOfLines", "[Advanced]\nbCreateNilAttribute=0\n" + kManyLines, false},
    // 196 slots: the section and the key still fit into the table.
    {"KeyAfterOneLongLine", kLongLine + "\n[Advanced]\nbCreateNilAttribute=0\n", false},
    {"KeyAfterTwoLongLines", kLongLine + "\n" + kLongLine + "\n[Advanced]\nbCreateNilAttribute=0\n",
     true},
    // The slot after the first 511 characters begins with the key.
    {"KeyInTheSecondSlotOfALine",
     "[Advanced]\n" + std::string(511, 'x') + "bCreateNilAttribute=0\n", false},
    {"ValueOfALongLine", "[Advanced]\nbCreateNilAttribute=" + std::string(100000, '0') + "\n",
     false},
    // The number saturates; not 0 means option 1.
    {"HugeNumber", "[Advanced]\nbCreateNilAttribute=" + std::string(100000, '7') + "\n", true},
    {"SectionNameOfALongLine", "[" + kLongLine + "]\nbCreateNilAttribute=0\n", true},
};

void PrintTo(const IniCase& c, std::ostream* out) { *out << c.name; }

class HugeIniTest : public HostileInputTest, public ::testing::WithParamInterface<IniCase> {};

TEST_P(HugeIniTest, OptionsAndLogging) {
    const IniCase& c = GetParam();
    const std::string input = folder / "in.xml", output = folder / "out.xml";
    const std::string ini = folder / "options.ini";
    WriteFile(input, Utf16File(kDeviceInput));
    WriteFile(ini, c.content);
    // The same content as logging settings: level and size come out as
    // whatever the reader finds, and the run log still works.
    WriteFile(folder / "Interface.ini", c.content);
    EXPECT_EQ(
        library.ZK8ToCustLibStd(input.c_str(), output.c_str(), folder.Path().c_str(), ini.c_str()),
        0);
    EXPECT_EQ(TextOf(output), CustomerOutput(c.nil));
    EXPECT_EQ(library.ZK8ToCustExt((folder / "missing.xml").c_str(), output.c_str(),
                                   folder.Path().c_str()),
              -1);
    EXPECT_NE(ReadFile(folder / "Runlog.log").find("32000   ZK8 output file doesn't exist."),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Cases, HugeIniTest, ::testing::ValuesIn(kIniCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Broken encodings and truncated files.

enum class Direction { ToDevice, ToCustomer };

struct EncodingCase {
    const char* name;
    Direction direction;
    std::string input;
    int result;
    std::string output;  // as UTF-8 text; for a negative result the output stays as it was
};

const std::string kUtf8Declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
// The customer file of one article with a name.
std::string ArticleNamed(const std::string& name) {
    return kDeclaration + "<scaledata" + kXsi + "><articles><article><name>" + name +
           "</name></article></articles></scaledata>";
}
std::string Utf16Unit(unsigned unit) {
    return std::string{static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
}

const EncodingCase kEncodingCases[] = {
    // The rewrite passes the NUL on; the parser ends the document there.
    {"NulInUtf8Text", Direction::ToCustomer,
     kUtf8Declaration + "<dat><art><nam>a" + std::string(1, '\0') + "b</nam></art></dat>", 0,
     ArticleNamed("a")},
    {"NulInsideTheDeclaration", Direction::ToDevice,
     "<?xml version=\"1.0\"" + std::string(1, '\0') + " encoding=\"UTF-8\"?><scaledata/>", -98, ""},
    // Stray continuation bytes become question marks; a lead byte from 0xE0
    // up takes two more bytes, whatever they are.
    {"InvalidUtf8", Direction::ToCustomer,
     kUtf8Declaration + "<dat><art><nam>\x80\xBF\xFF\xC0\x80</nam></art></dat>", 0,
     ArticleNamed("??\xEF\x80\x80")},
    {"Utf8CutInsideACharacter", Direction::ToCustomer,
     kUtf8Declaration + "<dat><art><nam>x</nam></art></dat>\xE2\x82", 0, ArticleNamed("x")},
    {"Utf8CutInsideATag", Direction::ToDevice,
     kUtf8Declaration + "<scaledata><article mode=\"write\"><plu_no>1</plu_no><na", 0,
     kDeclaration + "<dat><_/><art m=\"w\"><dvn>0</dvn><plu>1</plu></art><_/></dat>"},
    // A lone lead and a lone trail surrogate are dropped by the parser.
    {"LoneSurrogates", Direction::ToCustomer,
     "\xFF\xFE" + Utf16("<dat><art><nam>a") + Utf16Unit(0xD800) + Utf16("b") + Utf16Unit(0xDC00) +
         Utf16("c</nam></art></dat>"),
     0, ArticleNamed("abc")},
    {"Utf16CutInsideAUnit", Direction::ToCustomer,
     "\xFF\xFE" + Utf16("<dat><art><nam>x</nam></art></dat>") + "<", 0, ArticleNamed("x")},
    {"OnlyHalfAMark", Direction::ToDevice, "\xFF", -98, ""},
    {"TwoThirdsOfTheUtf8Mark", Direction::ToCustomer, "\xEF\xBB", -98, ""},
    // Nothing to parse: no root, so not even the closing separator.
    {"MarkOnly", Direction::ToDevice, "\xFF\xFE", 0, kDeclaration},
    {"BigEndianUtf16", Direction::ToCustomer, "\xFE\xFF" + std::string("\0<\0d\0a\0t\0/\0>", 12), 0,
     kDeclaration + "<scaledata" + kXsi + "/>"},
};

void PrintTo(const EncodingCase& c, std::ostream* out) { *out << c.name; }

class BrokenEncodingTest : public HostileInputTest,
                           public ::testing::WithParamInterface<EncodingCase> {};

TEST_P(BrokenEncodingTest, DefinedResult) {
    const EncodingCase& c = GetParam();
    const std::string input = folder / "in.xml", output = folder / "out.xml";
    WriteFile(input, c.input);
    WriteFile(output, kUntouched);
    const int result =
        c.direction == Direction::ToDevice
            ? library.CustToZK8Ext(input.c_str(), output.c_str(), folder.Path().c_str())
            : library.ZK8ToCustExt(input.c_str(), output.c_str(), folder.Path().c_str());
    EXPECT_EQ(result, c.result);
    if (c.result < 0) {
        // Stopped before the rewrite and the conversion.
        EXPECT_EQ(ReadFile(output), kUntouched);
        EXPECT_FALSE(Exists(output + "_Status.xml"));
        EXPECT_FALSE(Exists(appData + "/Temp.xml"));
    } else {
        EXPECT_EQ(TextOf(output), c.output);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BrokenEncodingTest, ::testing::ValuesIn(kEncodingCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Places that cannot be written, and the input as its own output.

// Tests run as root in CI, where permission bits do not stop a write. There
// the call runs in a child process that has given up root for the user
// nobody; elsewhere it runs as it is. Returns the call's result, or
// kNotRun when no unprivileged process could be had.
constexpr int kNotRun = 1000;
int WithoutRoot(const std::string& folder, const std::function<int()>& call) {
    if (geteuid() != 0) return call();
    chmod(folder.c_str(), 0755);  // nobody must reach the files below it
    const pid_t child = fork();
    if (child < 0) return kNotRun;
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(200);
        _exit(static_cast<unsigned char>(call()));
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 200) {
        return kNotRun;
    }
    return static_cast<signed char>(WEXITSTATUS(status));
}

TEST_F(HostileInputTest, OutputWhereNothingCanBeWritten) {
    const std::string input = folder / "in.xml";
    WriteFile(input, Utf16File(kDeviceInput));
    WriteFile(folder / "file", "a file, not a folder");
    // The conversion runs; nothing is written and nothing is reported.
    for (const std::string output : {folder / "missing/out.xml", folder / "file/out.xml"}) {
        EXPECT_EQ(library.ZK8ToCustExt(input.c_str(), output.c_str(), folder.Path().c_str()), 0);
        EXPECT_EQ(library.CustToZK8Ext(input.c_str(), output.c_str(), folder.Path().c_str()), 0);
        EXPECT_FALSE(Exists(output));
        EXPECT_FALSE(Exists(output + "_Status.xml"));
    }
}

// A folder opens for reading but yields no bytes: unreadable input. As
// output it takes no file, while the status file goes beside it.
TEST_F(HostileInputTest, FolderInPlaceOfAFile) {
    const std::string input = folder / "in.xml", output = folder / "out.xml", sub = folder / "sub";
    std::filesystem::create_directory(sub);
    WriteFile(input, Utf16File(kDeviceInput));
    WriteFile(output, kUntouched);
    EXPECT_EQ(library.ZK8ToCustExt(sub.c_str(), output.c_str(), folder.Path().c_str()), -99);
    EXPECT_EQ(library.CustToZK8Ext(sub.c_str(), output.c_str(), folder.Path().c_str()), -99);
    EXPECT_EQ(ReadFile(output), kUntouched);

    // Folders as saved copy (the backup path of a name without ".ini") and
    // as ini file: no keys, so the defaults.
    std::filesystem::create_directory(folder / "SavedData");
    EXPECT_EQ(
        library.ZK8ToCustLibStd(input.c_str(), output.c_str(), folder.Path().c_str(), sub.c_str()),
        0);
    EXPECT_EQ(TextOf(output), CustomerOutput(true));

    EXPECT_EQ(library.ZK8ToCustExt(input.c_str(), sub.c_str(), folder.Path().c_str()), 0);
    EXPECT_TRUE(std::filesystem::is_directory(sub));
    EXPECT_EQ(TextOf(sub + "_Status.xml"), kEmptyStatus);
    EXPECT_EQ(library.CreateTagList(sub.c_str()), -1);
}

TEST_F(HostileInputTest, OutputInAReadOnlyFolder) {
    const std::string input = folder / "in.xml", locked = folder / "locked";
    const std::string output = locked + "/out.xml";
    WriteFile(input, Utf16File(kDeviceInput));
    std::filesystem::create_directory(locked);
    chmod(locked.c_str(), 0555);
    const int result = WithoutRoot(folder.Path(), [&] {
        return library.ZK8ToCustExt(input.c_str(), output.c_str(), folder.Path().c_str());
    });
    if (result == kNotRun) GTEST_SKIP() << "no unprivileged process for the call";
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(Exists(output));
    EXPECT_FALSE(Exists(output + "_Status.xml"));
}

TEST_F(HostileInputTest, InputIsItsOwnOutput) {
    const std::string device = folder / "device.xml", customer = folder / "customer.xml";
    WriteFile(device, Utf16File(kDeviceInput));
    WriteFile(customer, kCustomerInput);
    // The input is read whole before the output replaces it.
    EXPECT_EQ(library.ZK8ToCustExt(device.c_str(), device.c_str(), folder.Path().c_str()), 0);
    EXPECT_EQ(TextOf(device), CustomerOutput(true));
    EXPECT_EQ(TextOf(device + "_Status.xml"), kEmptyStatus);
    EXPECT_EQ(library.CustToZK8Ext(customer.c_str(), customer.c_str(), folder.Path().c_str()), 0);
    EXPECT_EQ(TextOf(customer), kDeviceOutput);
}

// A regular file as working directory: the run log cannot be created in it,
// and the entries are lost; the conversions run.
TEST_F(HostileInputTest, WorkingDirectoryThatIsAFile) {
    const std::string input = folder / "in.xml", output = folder / "out.xml";
    const std::string ini = folder / "options.ini";
    WriteFile(input, Utf16File(kDeviceInput));
    WriteFile(ini, "[Advanced]\nbCreateNilAttribute=0\n");
    const std::string file = folder / "file";
    WriteFile(file, "a file, not a folder");
    WriteFile(folder / "Interface.ini", "[LogFiles]\nLoggingLevel=3\n");
    EXPECT_EQ(library.ZK8ToCustExt(input.c_str(), output.c_str(), file.c_str()), 0);
    EXPECT_EQ(TextOf(output), CustomerOutput(true));
    EXPECT_EQ(library.CustToZK8Ext((folder / "missing.xml").c_str(), output.c_str(), file.c_str()),
              -1);
    // It exists, so the settings-driven exports take it as it is.
    EXPECT_EQ(library.ZK8ToCustLibStd(input.c_str(), output.c_str(), file.c_str(), ini.c_str()), 0);
    EXPECT_EQ(TextOf(output), CustomerOutput(false));
    EXPECT_EQ(ReadFile(file), "a file, not a folder");
}

// A saved copy to restore, in a working directory that takes no temporary
// file: the call stops before the conversion.
TEST_F(HostileInputTest, SavedCopyInAReadOnlyWorkingDirectory) {
    const std::string input = folder / "in.xml", output = folder / "out.xml";
    const std::string ini = folder / "options.ini";
    WriteFile(input, Utf16File(kDeviceInput));
    const std::string locked = folder / "locked";
    std::filesystem::create_directories(locked + "/SavedData");
    WriteFile(locked + "/SavedData/options_bkp.ini", "[Advanced]\nSavedIniFile=1\n");
    chmod(locked.c_str(), 0555);
    WriteFile(output, kUntouched);
    const int result = WithoutRoot(folder.Path(), [&] {
        return library.ZK8ToCustLibStd(input.c_str(), output.c_str(), locked.c_str(), ini.c_str());
    });
    if (result == kNotRun) GTEST_SKIP() << "no unprivileged process for the call";
    EXPECT_EQ(result, -92);
    EXPECT_EQ(ReadFile(output), kUntouched);
}

}  // namespace
