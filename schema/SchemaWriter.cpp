// The schema is built as a document and saved indented: every name and text
// is escaped by the XML library, none by hand.
//
// Layout of both schemas: one global element, the root, so that no other
// element validates as a document of its own. A record holds any field in
// any order and number, a field text or further fields: their types refer
// to a group that lists every field, with the device number, the department
// number or both where the flags of the element keep them (groups and types
// "...WithDeviceNo" and so on). Each such group is one flat choice, which
// the type repeats by the occurrences of its group reference: a choice
// nested in another makes validators (libxml2) build their automata in time
// that grows with the cube of the fields, minutes for this table. File transfers come last in a document,
// because the conversion keeps nothing after the first of them but the
// transfer's values.
#include "schema/SchemaWriter.h"

#include <initializer_list>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include <pugixml.hpp>

namespace {

using Attributes = std::initializer_list<std::pair<const char*, std::string>>;

pugi::xml_node Add(pugi::xml_node parent, const char* kind, Attributes attributes = {}) {
    pugi::xml_node node = parent.append_child((std::string("xs:") + kind).c_str());
    for (const auto& [name, value] : attributes) node.append_attribute(name) = value.c_str();
    return node;
}

// The annotation an editor shows: first child of the declaration.
void Document(pugi::xml_node declaration, const std::string& text) {
    Add(Add(declaration, "annotation"), "documentation").text() = text.c_str();
}

std::string Describe(const SchemaName& name) {
    std::string text = name.name + " \u2194 " + name.other;
    if (name.record) text += "; group " + (name.group.empty() ? std::string("none") : name.group);
    return text;
}

// "" or the suffix of the record and field types whose elements may hold
// the device number, the department number or both.
std::string NumbersSuffix(bool deviceNo, bool departmentNo) {
    if (deviceNo && departmentNo) return "WithBothNumbers";
    if (deviceNo) return "WithDeviceNo";
    if (departmentNo) return "WithDepartmentNo";
    return "";
}
std::string NumbersSuffix(const SchemaName& name) { return NumbersSuffix(name.deviceNo, name.departmentNo); }

const std::string kUnbounded = "unbounded";
const std::string kDeviceNo = NumbersSuffix(true, false);
const std::string kBothNumbers = NumbersSuffix(true, true);
const std::string kDepartmentNo = NumbersSuffix(false, true);

class CSchemaDocument {
public:
    CSchemaDocument(const CSchemaVocabulary& vocabulary, const std::string& version)
        : m_words(vocabulary), m_version(version) {}

    std::string Text();

private:
    void Root();
    void CustomerLists(const char* group, bool transfer);
    void DeviceRecords(const char* group, bool afterTransfer);
    void TransferBlock();
    void TransferRecord();
    void FieldGroups();
    void ContentTypes();
    void Modes();

    // Declares the record separator and the exceptions block in `content`.
    void Separator(pugi::xml_node content);
    void Exceptions(pugi::xml_node content);
    pugi::xml_node TransferBlockElement(pugi::xml_node content);
    // The content of a type: the group of the suffix, any number of times.
    void FieldsOf(pugi::xml_node type, const std::string& suffix);

    const CSchemaVocabulary& m_words;
    std::string m_version;
    pugi::xml_document m_document;
    pugi::xml_node m_schema;
    std::set<std::string> m_recordTypes;  // suffixes in use
    std::set<std::string> m_fieldTypes;
};

std::string CSchemaDocument::Text() {
    pugi::xml_node declaration = m_document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    m_schema = m_document.append_child("xs:schema");
    m_schema.append_attribute("xmlns:xs") = "http://www.w3.org/2001/XMLSchema";

    const bool customer = m_words.dialect == SchemaDialect::Customer;
    Document(m_schema,
             std::string(customer ? "Customer XML" : "Device XML (XmlTlv)") + ", root " + m_words.root.name +
                 ", as the ZK8 XML converter " + m_version + " reads and writes it; made from its tag table by "
                 "zk8conv schema " + (customer ? "customer" : "device") + ". A record holds any field, in any "
                 "order and number; a field holds text or further fields. " +
                 (customer ? m_words.deviceNo.name + " and " + m_words.departmentNo.name
                           : "Every record may hold " + m_words.deviceNo.name + "; " + m_words.departmentNo.name +
                                 ", and " + m_words.deviceNo.name + " in a field,") +
                 " stand only where the flags of the element keep them. "
                 "File transfers come last: after the first, the conversion keeps nothing but the transfer's "
                 "values. Each element is documented with its name in the other dialect and, for record "
                 "kinds, the group of the tag table.");
    Root();
    if (customer) {
        CustomerLists("lists", false);
        CustomerLists("transferLists", true);
    } else {
        DeviceRecords("records", false);
        DeviceRecords("afterTransfer", true);
        TransferBlock();
        Add(m_schema, "complexType", {{"name", "separator"}});
    }
    TransferRecord();
    FieldsOf(Add(m_schema, "complexType", {{"name", "exceptionsBlock"}}), kDeviceNo);
    ContentTypes();
    FieldGroups();
    Modes();

    std::ostringstream text;
    m_document.save(text, "  ", pugi::format_indent, pugi::encoding_utf8);
    return text.str();
}

// Customer XML: lists, then the lists of file transfers. Device XML:
// records, each after a separator, then the transfer blocks.
void CSchemaDocument::Root() {
    const bool customer = m_words.dialect == SchemaDialect::Customer;
    pugi::xml_node root = Add(m_schema, "element", {{"name", m_words.root.name}});
    Document(root, Describe(m_words.root));
    pugi::xml_node content = Add(Add(root, "complexType"), "sequence");
    Add(content, "group", {{"ref", customer ? "lists" : "records"}, {"minOccurs", "0"}, {"maxOccurs", kUnbounded}});
    pugi::xml_node transfers = Add(content, "sequence", {{"minOccurs", "0"}});
    if (customer) {
        Add(transfers, "group", {{"ref", "transferLists"}});
    } else {
        TransferBlockElement(transfers);
    }
    Add(transfers, "group", {{"ref", customer ? "transferLists" : "afterTransfer"}, {"minOccurs", "0"},
                             {"maxOccurs", kUnbounded}});
}

void CSchemaDocument::CustomerLists(const char* group, bool transfer) {
    pugi::xml_node lists = Add(Add(m_schema, "group", {{"name", group}}), "choice");
    for (const SchemaRecordKind& kind : m_words.records) {
        if (kind.transfer != transfer) continue;
        pugi::xml_node list = Add(lists, "element", {{"name", kind.list}});
        Document(list, kind.list + ": list of " + Describe(kind.record));
        pugi::xml_node type = Add(list, "complexType");
        pugi::xml_node content = Add(type, "choice", {{"minOccurs", "0"}, {"maxOccurs", kUnbounded}});
        std::string recordType = "transferRecord";
        if (!transfer) {
            recordType = "record" + NumbersSuffix(kind.record);
            m_recordTypes.insert(NumbersSuffix(kind.record));
        }
        Document(Add(content, "element", {{"name", kind.record.name}, {"type", recordType}}), Describe(kind.record));
        // Where the conversion from device XML puts a reported error.
        Exceptions(content);
        // A list's mode is the mode of the records that follow.
        Add(type, "attribute", {{"name", m_words.modeAttribute}, {"type", "mode"}});
    }
}

void CSchemaDocument::DeviceRecords(const char* group, bool afterTransfer) {
    pugi::xml_node records = Add(Add(m_schema, "group", {{"name", group}}), "choice");
    Separator(records);
    Exceptions(records);
    if (afterTransfer) {
        TransferBlockElement(records);
        return;
    }
    for (const SchemaRecordKind& kind : m_words.records) {
        if (kind.transfer) continue;
        const std::string suffix = NumbersSuffix(kind.record);
        m_recordTypes.insert(suffix);
        pugi::xml_node record = Add(records, "element", {{"name", kind.record.name}, {"type", "record" + suffix}});
        Document(record, Describe(kind.record) + "; list " + kind.list);
    }
}

void CSchemaDocument::Separator(pugi::xml_node content) {
    Document(Add(content, "element", {{"name", "_"}, {"type", "separator"}}), "_: record separator");
}

void CSchemaDocument::Exceptions(pugi::xml_node content) {
    Document(Add(content, "element", {{"name", m_words.exceptions.name}, {"type", "exceptionsBlock"}}),
             Describe(m_words.exceptions) + "; errors the device reported");
}

pugi::xml_node CSchemaDocument::TransferBlockElement(pugi::xml_node content) {
    pugi::xml_node block = Add(content, "element", {{"name", m_words.transferBlock.name}, {"type", "transferBlock"}});
    Document(block, Describe(m_words.transferBlock) + "; a file transfer");
    return block;
}

// adm: the device number of the transfer, then trn with the transferred
// file's record and the transfer's values.
void CSchemaDocument::TransferBlock() {
    pugi::xml_node block = Add(Add(m_schema, "complexType", {{"name", "transferBlock"}}), "sequence");
    pugi::xml_node number = Add(block, "element", {{"name", m_words.deviceNo.name}, {"type", "xs:string"},
                                                   {"minOccurs", "0"}});
    Document(number, Describe(m_words.deviceNo));
    pugi::xml_node list = Add(block, "element", {{"name", m_words.transferList.name}});
    Document(list, Describe(m_words.transferList));
    pugi::xml_node content = Add(Add(list, "complexType"), "choice", {{"minOccurs", "0"}, {"maxOccurs", kUnbounded}});
    Document(Add(content, "element", {{"name", m_words.transferName.name}, {"type", "xs:string"}}),
             Describe(m_words.transferName));
    for (const SchemaName& value : m_words.transferValues) {
        Document(Add(content, "element", {{"name", value.name}, {"type", "xs:string"}}), Describe(value));
    }
    for (const SchemaRecordKind& kind : m_words.records) {
        if (!kind.transfer) continue;
        pugi::xml_node record = Add(content, "element", {{"name", kind.record.name}, {"type", "transferRecord"}});
        Document(record, Describe(kind.record) + "; list " + kind.list);
    }
}

// A file-transfer record: its mode and the values the transfer keeps.
void CSchemaDocument::TransferRecord() {
    pugi::xml_node type = Add(m_schema, "complexType", {{"name", "transferRecord"}});
    pugi::xml_node content = Add(type, "choice", {{"minOccurs", "0"}, {"maxOccurs", kUnbounded}});
    for (const SchemaName& value : m_words.transferValues) {
        pugi::xml_node element = Add(content, "element", {{"name", value.name}, {"type", "xs:string"}});
        if (value.nillable) element.append_attribute("nillable") = "true";
        Document(element, Describe(value));
    }
    Add(type, "attribute", {{"name", m_words.modeAttribute}, {"type", "mode"}, {"use", "required"}});
}

void CSchemaDocument::ContentTypes() {
    for (const SchemaName& field : m_words.fields) m_fieldTypes.insert(NumbersSuffix(field));
    for (const std::string& suffix : m_recordTypes) {
        pugi::xml_node type = Add(m_schema, "complexType", {{"name", "record" + suffix}});
        FieldsOf(type, suffix);
        Add(type, "attribute", {{"name", m_words.modeAttribute}, {"type", "mode"}});
    }
    for (const std::string& suffix : m_fieldTypes) {
        FieldsOf(Add(m_schema, "complexType", {{"name", "field" + suffix}, {"mixed", "true"}}), suffix);
    }
}

void CSchemaDocument::FieldsOf(pugi::xml_node type, const std::string& suffix) {
    Add(type, "group", {{"ref", "fields" + suffix}, {"minOccurs", "0"}, {"maxOccurs", kUnbounded}});
}

// One group for each combination of numbers in use, each all fields.
void CSchemaDocument::FieldGroups() {
    std::set<std::string> groups = m_recordTypes;
    groups.insert(m_fieldTypes.begin(), m_fieldTypes.end());
    groups.insert(kDeviceNo);  // the exceptions block's
    for (const std::string& suffix : groups) {
        pugi::xml_node fields = Add(Add(m_schema, "group", {{"name", "fields" + suffix}}), "choice");
        for (const SchemaName& field : m_words.fields) {
            pugi::xml_node element =
                Add(fields, "element", {{"name", field.name}, {"type", "field" + NumbersSuffix(field)}});
            if (field.nillable) element.append_attribute("nillable") = "true";
            Document(element, Describe(field));
        }
        std::vector<const SchemaName*> numbers;
        if (suffix == kDeviceNo || suffix == kBothNumbers) numbers.push_back(&m_words.deviceNo);
        if (suffix == kDepartmentNo || suffix == kBothNumbers) numbers.push_back(&m_words.departmentNo);
        for (const SchemaName* number : numbers) {
            Document(Add(fields, "element", {{"name", number->name}, {"type", "xs:string"}}), Describe(*number));
        }
    }
}

void CSchemaDocument::Modes() {
    pugi::xml_node type = Add(m_schema, "simpleType", {{"name", "mode"}});
    Document(type, "the operation mode");
    pugi::xml_node values = Add(type, "restriction", {{"base", "xs:string"}});
    for (const auto& [value, other] : m_words.modes) {
        Document(Add(values, "enumeration", {{"value", value}}), value + " \u2194 " + other);
    }
}

}  // namespace

std::string WriteSchema(const CDictionary& dictionary, SchemaDialect dialect, const std::string& version) {
    const CSchemaVocabulary vocabulary(dictionary, dialect);
    return CSchemaDocument(vocabulary, version).Text();
}
