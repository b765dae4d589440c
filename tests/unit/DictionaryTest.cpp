// The dictionary built from the tag table: sizes, the first-record-wins rule
// and the flag sets. A mis-transcribed record changes one of these figures.
#include <gtest/gtest.h>

#include "converter/TransferHeader.h"
#include "converter/XmlTlvConverter.h"
#include "dictionary/TagTable.h"
#include "support/TempFolder.h"

namespace {

class DictionaryTest : public ::testing::Test {
protected:
    void SetUp() override { converter.ResetForRun(ConversionDirection::ToDevice, true); }
    CXmlTlvConverter converter;
};

}  // namespace

TEST(TagTableTest, HoldsTheRecordsInIdOrder) {
    EXPECT_EQ(GetTagCount(), 993);
    int id = -1;
    EXPECT_EQ(GetTagEntry(0, id),
              "<externRootElement name='ingredients_term_list_assignments' group='Data "
              "Maintenance' extern='ingredients_term_list_assignment' intern='ita' "
              "type_zk='1' type_norva='0' />");
    EXPECT_EQ(id, 1);
    EXPECT_EQ(GetTagEntry(992, id), "<operationMode extern='readall' intern='ra' />");
    EXPECT_EQ(id, 2009);
    EXPECT_EQ(GetTagEntry(993, id), "undefined code");
    EXPECT_EQ(id, 0);
    EXPECT_EQ(GetTagEntry(-1, id), "undefined code");

    std::size_t longest = 0;
    int roots = 0, commands = 0, modes = 0;
    for (int index = 0; index < GetTagCount(); ++index) {
        const std::string snippet = GetTagEntry(index, id);
        longest = std::max(longest, snippet.size());
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(snippet.c_str())) << snippet;
        const std::string kind = doc.first_child().name();
        if (id < 1000) roots += kind == "externRootElement";
        else if (id < 2000) commands += kind == "command";
        else modes += kind == "operationMode";
    }
    EXPECT_EQ(longest, 205u);
    EXPECT_EQ(roots, 160);
    EXPECT_EQ(commands, 824);
    EXPECT_EQ(modes, 9);
}

TEST(TagTableTest, RepeatedAttributeIsKeptInDocumentOrder) {
    int id = 0;
    std::string snippet = GetTagEntry(160 + 1702 - 1001, id);
    ASSERT_EQ(id, 1702);
    pugi::xml_document doc;
    doc.load_string(snippet.c_str());
    std::string names;
    for (pugi::xml_attribute a : doc.first_child().attributes()) names += std::string(a.name()) + ",";
    EXPECT_EQ(names, "extern,intern,use_nillable,type_zk,type_norva,type_norva,");
}

TEST_F(DictionaryTest, ContainerSizesMatchTheTable) {
    const std::pair<const char*, std::size_t> sizes[] = {
        {"externToIntern", converter.m_externToIntern.size()},
        {"internToExtern", converter.m_internToExtern.size()},
        {"rootExternToIntern", converter.m_rootExternToIntern.size()},
        {"rootInternToExtern", converter.m_rootInternToExtern.size()},
        {"rootExternToListName", converter.m_rootExternToListName.size()},
        {"modeExternToIntern", converter.m_modeExternToIntern.size()},
        {"modeInternToExtern", converter.m_modeInternToExtern.size()},
        {"turnoverRoots", converter.m_turnoverRoots.size()},
        {"deviceNoTags", converter.m_deviceNoTags.size()},
        {"deviceNoOptionalTags", converter.m_deviceNoOptionalTags.size()},
        {"departmentNoTags", converter.m_departmentNoTags.size()},
        {"nillableTags", converter.m_nillableTags.size()},
        {"sharedTags", converter.m_sharedTags.size()},
        {"zkOnlyTags", converter.m_zkOnlyTags.size()},
        {"norvaOnlyTags", converter.m_norvaOnlyTags.size()},
    };
    const std::size_t expected[] = {898, 897, 160, 160, 160, 9, 9, 30, 22, 8, 54, 26, 53, 811, 59};
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
        EXPECT_EQ(sizes[i].second, expected[i]) << sizes[i].first;
    }
}

TEST_F(DictionaryTest, FirstRecordWinsAndNamesAreCaseSensitive) {
    const std::pair<std::string, std::string> externOf[] = {
        {"igc", "configuration_profile"}, {"ptn", "plu_text_no"},
        {"ftl", "taf_fiscal"},            {"tfl", "taf_fiscal"},
        {"art", "article"},               {"general_version_changes", "general_version_changes"},
        {"zzz", ""},
    };
    for (const auto& [tag, name] : externOf) EXPECT_EQ(converter.FindExternForIntern(tag), name) << tag;

    const std::pair<std::string, std::string> internOf[] = {
        {"taf_fiscal", "ftl"}, {"item_groups", "igc"}, {"article", "art"},
        {"Article", ""},       {"write", ""},          {"scaledata", "dat"},
    };
    for (const auto& [name, tag] : internOf) EXPECT_EQ(converter.FindInternForExtern(name), tag) << name;

    EXPECT_EQ(converter.m_modeInternToExtern.at("w"), "write");
    EXPECT_EQ(converter.m_modeInternToExtern.at("ra"), "readall");
    EXPECT_EQ(converter.m_modeExternToIntern.at("delete-"), "d-");
}

TEST_F(DictionaryTest, FlagSetsHoldCustomerNames) {
    for (const char* name : {"taf", "tse_export", "article_turnover"})
        EXPECT_EQ(converter.m_turnoverRoots.count(name), 1u) << name;
    EXPECT_EQ(converter.m_turnoverRoots.count("recovery_state"), 0u);
    EXPECT_EQ(converter.m_departmentNoTags.count("article"), 1u);
    EXPECT_EQ(converter.m_deviceNoTags.count("scale_values"), 1u);
    EXPECT_EQ(converter.m_deviceNoOptionalTags.count("log_entry"), 1u);
    EXPECT_EQ(converter.m_nillableTags.count("report_start_date"), 1u);
    EXPECT_EQ(converter.m_norvaOnlyTags.count("log_entry"), 1u);
    // Flagged for both families: in the shared and the ZK set.
    EXPECT_EQ(converter.m_sharedTags.count("article"), 1u);
    EXPECT_EQ(converter.m_zkOnlyTags.count("article"), 1u);
    // type_zk 2 with type_norva 0 joins no family set.
    EXPECT_EQ(converter.m_sharedTags.count("filter") + converter.m_zkOnlyTags.count("filter") +
                  converter.m_norvaOnlyTags.count("filter"),
              0u);
    for (const char* tag : {"img", "iad", "imp", "ini", "lbl", "rcp", "sly"})
        EXPECT_TRUE(TransferHeader::IsFileTransferTag(tag)) << tag;
    EXPECT_FALSE(TransferHeader::IsFileTransferTag("IMG"));
    EXPECT_FALSE(TransferHeader::IsFileTransferTag("art"));
}

TEST_F(DictionaryTest, SecondBuildChangesNothing) {
    const auto externToIntern = converter.m_externToIntern;
    const auto zkOnly = converter.m_zkOnlyTags;
    converter.ResetForRun(ConversionDirection::ToCustomer, false);
    EXPECT_EQ(converter.m_externToIntern, externToIntern);
    EXPECT_EQ(converter.m_zkOnlyTags, zkOnly);
    EXPECT_EQ(converter.m_modeExternToIntern.size(), 9u);
}

TEST_F(DictionaryTest, TagListLinesAreNumberedAndAligned) {
    TempFolder folder;
    ASSERT_EQ(converter.WriteTagList((folder / "tags.txt").c_str()), 0);
    const std::string list = ReadFile(folder / "tags.txt");
    const std::string first = "001   acs          account_status\r\n002   act          action\r\n";
    EXPECT_EQ(list.substr(0, first.size()), first);
    for (const char* line : {"\r\n032   art          article\r\n",
                             "\r\n133   igc          configuration_profile\r\n",
                             "\r\n342   igc          configuration_profile\r\n",
                             "\r\n571   ptn          plu_text_no\r\n",
                             "\r\n761   ftl          taf_fiscal\r\n",
                             "\r\n310   general_version_changes          general_version_changes\r\n"})
        EXPECT_NE(list.find(line), std::string::npos) << line;
    const std::string last = "\r\n898   wut          weightunit_type\r\n";
    EXPECT_EQ(list.substr(list.size() - last.size()), last);
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 898);
    EXPECT_EQ(converter.WriteTagList((folder / "missing/tags.txt").c_str()), -1);
}
