// Device XML to customer XML: one walk over the input tree, building the
// customer document with list elements, records and fields.
#include "converter/AllocationWatch.h"
#include "converter/TransferHeader.h"
#include "converter/XmlTlvConverter.h"
#include "exports/SettingsState.h"

namespace {

class simple_walker_external : public pugi::xml_tree_walker {
public:
    bool begin(pugi::xml_node&) override { return true; }
    bool for_each(pugi::xml_node& node) override {
        g_converter.ConvertNodeToCust(node, node.name(), NodeTextValue(node));
        g_converter.AfterWalkNode();
        // A node pugixml could not allocate ends the call: walking on
        // would only add nothing.
        return !CAllocationWatch::Failed();
    }
    bool end(pugi::xml_node&) override { return true; }
};

const char kSchemaInstanceNamespace[] = "http://www.w3.org/2001/XMLSchema-instance";
const char kDeviceNamespace[] = "http://www.orvane.com/2011/xmltlv";

}  // namespace

int CXmlTlvConverter::ConvertZK8ToCust(const char* inputPath, const char* outputPath, std::uint8_t createNil,
                                       pugi::xml_encoding inputEncoding) {
    pugi::xml_document input;
    LoadInput(input, inputPath, inputEncoding);
    return ConvertLoadedZK8ToCust(input, outputPath, createNil);
}

int CXmlTlvConverter::ConvertLoadedZK8ToCust(const pugi::xml_document& input, const char* outputPath,
                                             std::uint8_t createNil) {
    CStreamedRun run(*this, m_customerDoc, outputPath);
    WalkZK8ToCust(input, createNil);
    CAllocationWatch::ThrowIfFailed();
    if (run.Streaming()) {
        const std::string status = StatusFileBytes();
        if (run.Finish()) {
            WriteStatusFile(outputPath, status);
            return 0;
        }
        WalkZK8ToCust(input, createNil);
        CAllocationWatch::ThrowIfFailed();
    }
    const std::string status = StatusFileBytes();
    SaveConversionOutput(m_customerDoc, outputPath);
    WriteStatusFile(outputPath, status);
    return 0;
}

void CXmlTlvConverter::WalkZK8ToCust(const pugi::xml_document& input, std::uint8_t createNil) {
    ResetForRun(ConversionDirection::ToCustomer, createNil != 0);
    m_attributeOption = createNil != 0;
    AppendUtf16Declaration(m_customerDoc);
    m_listOpen = false;
    m_openNodes.clear();
    m_recordNode = pugi::xml_node();

    simple_walker_external walker;
    const_cast<pugi::xml_document&>(input).traverse(walker);

    if (m_headerSeen) WriteHeader();
}

namespace {

bool IsTag(const std::string& tag, const char* wanted) { return tag == wanted; }
bool IsHeaderBlock(const std::string& tag) { return IsTag(tag, "adm"); }

// Tags a header block is made of: its structure and the values collected.
bool BelongsToHeader(const std::string& tag) {
    return tag == "adm" || tag == "trn" || tag == "nam" || tag == "dvn" ||
           g_header.ValueFieldFor(tag.c_str()) != nullptr || TransferHeader::IsFileTransferTag(tag);
}

}  // namespace

void CXmlTlvConverter::ConvertNodeToCust(const pugi::xml_node& node, const char* tag,
                                         const char* text) {
    // Names and texts are read in place from the documents; a node costs one
    // probe of the name index for its tag (and one for its mode). A run
    // indexes the dictionary when it resets; a node converted outside a run
    // reads the containers as they are.
    if (!m_namesIndexed) IndexNames();

    // Only the first attribute is read, as the operation mode. An attribute
    // other than `m` yields no output attribute.
    const pugi::xml_attribute first = node.first_attribute();
    const bool hasMode = first && NameIs(first.name(), "m");
    const char* modeWord = "";
    if (first) {
        const NameFacts* mode = m_names.Find(first.value());
        if (mode != nullptr && mode->modeWordOfCode != nullptr) modeWord = mode->modeWordOfCode;
    }

    const NameFacts* facts = m_names.Find(tag);
    if (facts == nullptr || facts->externOfIntern == nullptr) {
        // `_` only separates records in device files.
        if (m_observer != nullptr) ObserveUnknown(node, tag, NameIs(tag, "_"));
        return;
    }
    const char* name = facts->externOfIntern;

    if (m_inErrorBlock && !CollectError(tag, text)) {
        Observe(node, ConversionLoss::ErrorNotListed, text);
    }

    if (NameIs(tag, "exs")) {
        m_statusSeen = true;
        m_statusOpen = true;
        CollectError(tag, text);
        m_recordNode = m_listNode.append_child(name);
        if (!m_recordNode) Observe(node, ConversionLoss::NoParent, tag);
        ObserveAttributes(node, "m", m_modeInternToExtern, false);
        m_openNodes.push_back(m_recordNode);
        return;
    }
    if (NameIs(tag, "dat")) {
        // A further data block continues the document's one root element, so
        // that the output stays well-formed.
        if (!m_outputRoot) {
            m_outputRoot = m_customerDoc.append_child(name);
            AddNamespaceAttributes(m_outputRoot);
        }
        ObserveAttributes(node, "m", m_modeInternToExtern, false);
        return;
    }
    if (m_headerSeen || NameIs(tag, "adm")) {
        if (m_observer != nullptr) {
            const bool inHeader = NameIs(tag, "adm") || InsideElementTagged(node, false, IsHeaderBlock);
            if (!inHeader || !BelongsToHeader(tag)) {
                Observe(node, ConversionLoss::SwallowedByHeader, tag);
            }
            ObserveAttributes(node, "m", m_modeInternToExtern,
                              TransferHeader::IsFileTransferTag(tag));
        }
        CollectHeaderField(tag, text, modeWord);
        return;
    }

    // Device and department numbers depend on the record they go into.
    auto recordFacts = [this] { return m_names.Find(m_recordNode.name()); };
    auto deviceNoWanted = [&] {
        const NameFacts* record = recordFacts();
        return record != nullptr && (record->deviceNo || record->deviceNoOptional);
    };
    auto departmentNoWanted = [&] {
        const NameFacts* record = recordFacts();
        return record != nullptr && record->departmentNo;
    };
    const bool isRecord = *text == '\0' && facts->recordOfTag != nullptr;
    if (m_observer != nullptr) ObserveAttributes(node, "m", m_modeInternToExtern, isRecord);

    if (*text == '\0') {
        if (isRecord) {
            if (!m_listOpen || m_currentRootTag != tag) {
                if (m_listOpen && !m_openNodes.empty()) PopOpenNode();
                m_currentRootTag = tag;
                const NameFacts* record = facts->externFacts;
                if (record != nullptr && record->listOfRecord != nullptr) {
                    m_listNode = m_outputRoot.append_child(record->listOfRecord);
                    m_openNodes.push_back(m_listNode);
                    m_listOpen = true;
                }
            }
            m_recordNode = m_listNode.append_child(name);
            if (!m_recordNode) Observe(node, ConversionLoss::NoParent, tag);
            m_openNodes.push_back(m_recordNode);
            if (hasMode) m_recordNode.append_attribute("mode").set_value(modeWord);
        } else if (NameIs(tag, "dvn")) {
            if (deviceNoWanted()) m_fieldNode = AppendTextElement(m_recordNode, name, text);
            else Observe(node, ConversionLoss::NumberNotWritten, tag);
        } else if (NameIs(tag, "dpn")) {
            if (departmentNoWanted()) m_fieldNode = AppendTextElement(m_recordNode, name, text);
            else Observe(node, ConversionLoss::NumberNotWritten, tag);
        } else if (node.first_child()) {
            AlignOutputCursor(node, false);
            m_fieldNode = m_recordNode.append_child(name);
            if (!m_fieldNode) Observe(node, ConversionLoss::NoParent, tag);
            m_openNodes.push_back(m_fieldNode);
        } else {
            AlignOutputCursor(node, false);
            m_fieldNode = m_recordNode.append_child(name);
            if (!m_fieldNode) Observe(node, ConversionLoss::NoParent, tag);
            if (m_attributeOption) {
                const NameFacts* field = m_names.Find(m_fieldNode.name());
                if (field != nullptr && field->nillable) {
                    m_fieldNode.append_attribute("xsi:nil").set_value("true");
                }
            }
        }
        return;
    }

    if (NameIs(tag, "dvn")) {
        if (m_statusOpen && !NameIs(node.parent().name(), "exc")) m_statusOpen = false;
        if (m_statusOpen || deviceNoWanted()) {
            m_fieldNode = AppendTextElement(m_recordNode, name, text);
            if (!m_fieldNode) Observe(node, ConversionLoss::NoParent, tag);
        } else {
            Observe(node, ConversionLoss::NumberNotWritten, tag);
        }
    } else if (NameIs(tag, "dpn")) {
        if (departmentNoWanted()) m_fieldNode = AppendTextElement(m_recordNode, name, text);
        else Observe(node, ConversionLoss::NumberNotWritten, tag);
    } else {
        AlignOutputCursor(node, false);
        m_fieldNode = AppendTextElement(m_recordNode, name, text);
        if (!m_fieldNode) Observe(node, ConversionLoss::NoParent, tag);
    }
}

void CXmlTlvConverter::AddNamespaceAttributes(pugi::xml_node root) const {
    if (m_attributeOption) root.append_attribute("xmlns:xsi").set_value(kSchemaInstanceNamespace);
    if (g_enableDefaultNamespace) root.append_attribute("xmlns").set_value(kDeviceNamespace);
}
