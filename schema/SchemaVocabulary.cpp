#include "schema/SchemaVocabulary.h"

#include <algorithm>

#include <pugixml.hpp>

#include "converter/TransferHeader.h"
#include "dictionary/Dictionary.h"
#include "dictionary/TagTable.h"

namespace {

// Tags the walks treat by themselves wherever they stand, so that they are
// no field of a record: the data block, the transfer block, the exceptions
// block, the two numbers (which only some records hold) and the records that
// start a file transfer.
bool IsStructuralTag(const std::string& tag) {
    return tag == "dat" || tag == "adm" || tag == "exs" || tag == "dvn" || tag == "dpn" ||
           TransferHeader::IsFileTransferTag(tag);
}

}  // namespace

CSchemaVocabulary::CSchemaVocabulary(const CDictionary& dictionary, SchemaDialect dialect)
    : dialect(dialect), m_dictionary(dictionary) {
    // The group is the one thing of the table the dictionary does not keep.
    pugi::xml_document snippet;
    for (int index = 0; index < GetTagCount(); ++index) {
        int id = 0;
        const std::string text = GetTagEntry(index, id);
        if (id >= 1000) continue;
        snippet.load_string(text.c_str());
        const pugi::xml_node root = snippet.child("externRootElement");
        m_groups.emplace_back(root.attribute("extern").value(), root.attribute("group").value());
    }

    const bool customer = dialect == SchemaDialect::Customer;
    auto nameOf = [&](const char* tag) {
        return Describe(customer ? dictionary.FindExternForIntern(tag) : std::string(tag));
    };
    root = nameOf("dat");
    deviceNo = nameOf("dvn");
    departmentNo = nameOf("dpn");
    exceptions = nameOf("exs");
    exceptions.deviceNo = true;  // the number of the device that reported
    transferBlock = nameOf("adm");
    transferList = nameOf("trn");
    transferName = nameOf("nam");
    modeAttribute = customer ? "mode" : "m";
    modes.assign(customer ? dictionary.m_modeExternToIntern.begin() : dictionary.m_modeInternToExtern.begin(),
                 customer ? dictionary.m_modeExternToIntern.end() : dictionary.m_modeInternToExtern.end());

    for (const auto& [tag, name] : dictionary.m_rootInternToExtern) {
        SchemaRecordKind kind;
        kind.record = Describe(customer ? name : tag);
        // Records in device XML carry their device number: the conversion
        // gives one to every record whose flags do not say otherwise.
        if (!customer) kind.record.deviceNo = true;
        kind.list = dictionary.m_rootExternToListName.at(name);
        kind.transfer = TransferHeader::IsFileTransferTag(tag);
        records.push_back(kind);
    }
    std::sort(records.begin(), records.end(),
              [](const SchemaRecordKind& a, const SchemaRecordKind& b) { return a.record.name < b.record.name; });

    const CDictionary::NameMap& names = customer ? dictionary.m_externToIntern : dictionary.m_internToExtern;
    for (const auto& [name, other] : names) {
        const std::string& tag = customer ? other : name;
        if (TransferHeader().ValueFieldFor(tag.c_str()) != nullptr) transferValues.push_back(Describe(name));
        if (IsStructuralTag(tag)) continue;
        fields.push_back(Describe(name));
        // An error reported in an exceptions block names its device.
        if (tag == "exc") fields.back().deviceNo = true;
    }
}

SchemaName CSchemaVocabulary::Describe(const std::string& name) const {
    const bool customer = dialect == SchemaDialect::Customer;
    SchemaName described;
    described.name = name;
    described.other = customer ? m_dictionary.FindInternForExtern(name) : m_dictionary.FindExternForIntern(name);
    const std::string& externName = customer ? name : described.other;
    for (const auto& [record, group] : m_groups) {
        if (record != externName) continue;
        described.record = true;
        described.group = group;
        break;
    }
    described.deviceNo = m_dictionary.m_deviceNoTags.count(externName) > 0 ||
                         m_dictionary.m_deviceNoOptionalTags.count(externName) > 0;
    described.departmentNo = m_dictionary.m_departmentNoTags.count(externName) > 0;
    described.nillable = customer && m_dictionary.m_nillableTags.count(externName) > 0;
    return described;
}
