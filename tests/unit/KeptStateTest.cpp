// State that is kept from one call to the next and must never show: the
// logging settings as last read, the dictionary as last built and its name
// index, and the ini reader's table of lines built from bytes already read.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "converter/XmlTlvConverter.h"
#include "runlog/ZkLogFile.h"
#include "settings/IniFile.h"
#include "support/RunLogText.h"
#include "support/TempFolder.h"

namespace {

class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
    std::string text;
};

std::string Raw(const pugi::xml_document& document) {
    StringWriter writer;
    document.save(writer, PUGIXML_TEXT(""), pugi::format_raw | pugi::format_no_escapes, pugi::encoding_utf8);
    return writer.text;
}

}  // namespace

TEST(KeptStateTest, SettingsChangeOfTheSameSizeTakesEffectAtTheNextEntry) {
    TempFolder folder;
    CZkLogFile logger;
    WriteFile(folder / "Interface.ini", "[LogFiles]\r\nLoggingLevel=1\r\n");
    EXPECT_FALSE(logger.Log(g_moduleName, 3, 31000, "a", folder.Path()));
    EXPECT_FALSE(Exists(folder / "Runlog.log"));

    WriteFile(folder / "Interface.ini", "[LogFiles]\r\nLoggingLevel=3\r\n");
    EXPECT_TRUE(logger.Log(g_moduleName, 3, 31000, "b", folder.Path()));
    EXPECT_EQ(logger.Level(), 3);

    WriteFile(folder / "Interface.ini", "[LogFiles]\r\nLoggingLevel=2\r\n");
    EXPECT_FALSE(logger.Log(g_moduleName, 3, 31000, "c", folder.Path()));
    EXPECT_TRUE(logger.Log(g_moduleName, 2, 32005, "", folder.Path()));

    // Gone: the defaults, and an empty file in its place.
    std::remove((folder / "Interface.ini").c_str());
    EXPECT_FALSE(logger.Log(g_moduleName, 2, 32005, "", folder.Path()));
    EXPECT_EQ(logger.Level(), 1);
    EXPECT_TRUE(Exists(folder / "Interface.ini"));
    EXPECT_EQ(ReadFile(folder / "Interface.ini"), "");

    WriteFile(folder / "Interface.ini", "[LogFiles]\r\nLoggingLevel=3\r\n");
    EXPECT_TRUE(logger.Log(g_moduleName, 3, 31000, "d", folder.Path()));

    EXPECT_EQ(Masked(ReadFile(folder / "Runlog.log")),
              kRunLogHead +
                  "<TS> : ZK8_XML_Conv         31000   ZK8 unknown field -  b\r\n"
                  "<TS> : ZK8_XML_Conv         32005   UTF8 to UTF16 conversion successfull \r\n"
                  "<TS> : ZK8_XML_Conv         31000   ZK8 unknown field -  d\r\n");
}

// Settled settings files are not read again while their stamp is the same:
// a change must show in the stamp, whichever way the file was changed.
TEST(KeptStateTest, SettledSettingsFileChangedAnyWayTakesEffectAtTheNextEntry) {
    const std::string level1 = "[LogFiles]\r\nLoggingLevel=1\r\n";
    const std::string level3 = "[LogFiles]\r\nLoggingLevel=3\r\n";
    TempFolder inPlace, renamedOver, timeSetBack;
    for (const TempFolder* folder : {&inPlace, &renamedOver, &timeSetBack}) {
        WriteFile(*folder / "Interface.ini", level1);
    }
    struct stat original;
    ASSERT_EQ(stat((timeSetBack / "Interface.ini").c_str(), &original), 0);
    // Past the time within which a later write could keep the time stamps.
    std::this_thread::sleep_for(std::chrono::milliseconds(3100));

    CZkLogFile loggers[3];
    const TempFolder* folders[3] = {&inPlace, &renamedOver, &timeSetBack};
    for (int i = 0; i < 3; ++i) {
        for (int entry = 0; entry < 2; ++entry) {
            EXPECT_FALSE(loggers[i].Log(g_moduleName, 3, 31000, "a", folders[i]->Path()));
        }
    }

    WriteFile(inPlace / "Interface.ini", level3);
    WriteFile(renamedOver / "new.ini", level3);
    ASSERT_EQ(std::rename((renamedOver / "new.ini").c_str(), (renamedOver / "Interface.ini").c_str()), 0);
    WriteFile(timeSetBack / "Interface.ini", level3);
    const struct timespec times[2] = {original.st_atim, original.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, (timeSetBack / "Interface.ini").c_str(), times, 0), 0);

    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(loggers[i].Log(g_moduleName, 3, 31000, "b", folders[i]->Path())) << i;
        EXPECT_EQ(loggers[i].Level(), 3) << i;
    }
}

TEST(KeptStateTest, ReaderOnBytesSplitsLinesAsTheFileReaderDoes) {
    std::string text = "[S]\r\nA= 12 \r\n";
    text += std::string("B=\0 9\r\n", 7);                // the value starts after the NUL
    text += std::string(600, 'x') + "C=3\r\n";          // one line, two slots: no key C
    text += "C=4\r\n";
    text += "D=5\rE=6\r\n";                             // a lone CR does not end a line
    for (int i = 0; i < 250; ++i) text += "; filler\n";
    text += "Z=8\r\n";                                  // line 258: beyond the table
    TempFolder folder;
    WriteFile(folder / "x.ini", text);

    CIniFile fromFile((folder / "x.ini").c_str());
    CIniFile fromBytes((folder / "x.ini").c_str(), text.data(), text.size());
    const struct {
        const char* key;
        int value;
    } expected[] = {{"A", 12}, {"B", 9}, {"C", 4}, {"D", 5}, {"E", -1}, {"Z", -1}};
    for (const auto& e : expected) {
        EXPECT_EQ(fromFile.GetInt("S", e.key, -1), e.value) << e.key;
        EXPECT_EQ(fromBytes.GetInt("S", e.key, -1), e.value) << e.key;
    }
}

TEST(KeptStateTest, ReaderOnBytesTouchesNoFile) {
    TempFolder folder;
    const std::string text = "[LogFiles]\r\nLoggingLevel=2\r\n";
    CIniFile reader((folder / "none.ini").c_str(), text.data(), text.size());
    EXPECT_EQ(reader.GetInt("LogFiles", "LoggingLevel", 1), 2);
    EXPECT_FALSE(Exists(folder / "none.ini"));
}

TEST(KeptStateTest, ChangedContainersAreRebuiltAtTheNextRun) {
    // The walks convert into the library's one converter.
    CXmlTlvConverter& converter = g_converter;
    converter.ResetForRun(ConversionDirection::ToDevice, true);

    converter.m_externToIntern.erase("article");
    converter.m_internToExtern["qqq"] = "mystery";
    converter.m_rootExternToListName.emplace("zzz_record", "zzz_list");
    converter.m_nillableTags.erase("last_change");
    converter.m_nillableTags.insert("plu_no");
    converter.ResetForRun(ConversionDirection::ToCustomer, true);

    // The two name maps are emptied and refilled; the others only refilled.
    EXPECT_EQ(converter.FindInternForExtern("article"), "art");
    EXPECT_EQ(converter.FindExternForIntern("qqq"), "");
    EXPECT_EQ(converter.m_externToIntern.size(), 898u);
    EXPECT_EQ(converter.m_internToExtern.size(), 897u);
    EXPECT_EQ(converter.m_rootExternToListName.size(), 161u);
    EXPECT_EQ(converter.m_rootExternToListName.at("zzz_record"), "zzz_list");
    EXPECT_EQ(converter.m_nillableTags.size(), 27u);
    EXPECT_EQ(converter.m_nillableTags.count("last_change"), 1u);

    // The walk reads the containers as they now are: plu_no stays nillable.
    pugi::xml_document input;
    input.load_string("<dat><art><plu/><lch/><xyz/></art></dat>", pugi::parse_ws_pcdata_single);
    converter.WalkZK8ToCust(input, 1);
    EXPECT_EQ(Raw(converter.m_customerDoc),
              "<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
              "<scaledata xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><articles><article>"
              "<plu_no xsi:nil=\"true\"/><last_change xsi:nil=\"true\"/></article></articles></scaledata>");

    // Unchanged since: the next run finds the same dictionary.
    converter.WalkZK8ToCust(input, 0);
    EXPECT_EQ(converter.m_nillableTags.size(), 27u);
    EXPECT_EQ(Raw(converter.m_customerDoc),
              "<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
              "<scaledata><articles><article><plu_no/><last_change/></article></articles></scaledata>");

    // Back to the table's dictionary for whatever runs next in this process.
    converter.m_rootExternToListName.erase("zzz_record");
    converter.m_nillableTags.erase("plu_no");
    converter.WalkZK8ToCust(input, 1);
    EXPECT_EQ(Raw(converter.m_customerDoc),
              "<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
              "<scaledata xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><articles><article>"
              "<plu_no/><last_change xsi:nil=\"true\"/></article></articles></scaledata>");
}
