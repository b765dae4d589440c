// Customer XML to device XML: one walk over the input tree, building the
// device document element by element through the dictionary.
#include <cstdio>

#include "converter/AllocationWatch.h"
#include "converter/StreamingWriter.h"
#include "converter/TransferHeader.h"
#include "converter/XmlTlvConverter.h"
#include "platform/Platform.h"

namespace {

class simple_internal_walker : public pugi::xml_tree_walker {
public:
    bool begin(pugi::xml_node&) override { return true; }
    bool for_each(pugi::xml_node& node) override {
        g_converter.ConvertNodeToZK8(node, node.name());
        g_converter.AfterWalkNode();
        // A node pugixml could not allocate ends the call: walking on
        // would only add nothing.
        return !CAllocationWatch::Failed();
    }
    bool end(pugi::xml_node&) override { return true; }
};


}  // namespace

int CXmlTlvConverter::ConvertCustToZK8(const char* inputPath, const char* outputPath,
                                       std::uint8_t option) {
    pugi::xml_document input;
    LoadInput(input, inputPath, pugi::encoding_auto);
    // The operation class lives on from call to call: a repeated walk
    // starts from the same.
    const std::int32_t operationClass = m_operationClass;
    CStreamedRun run(*this, m_deviceDoc, outputPath);
    WalkCustToZK8(input, option);
    CAllocationWatch::ThrowIfFailed();
    if (run.Streaming()) {
        if (run.Finish()) return 0;
        m_operationClass = operationClass;
        WalkCustToZK8(input, option);
        CAllocationWatch::ThrowIfFailed();
    }
    SaveConversionOutput(m_deviceDoc, outputPath);
    return 0;
}

void CXmlTlvConverter::WalkCustToZK8(const pugi::xml_document& input, std::uint8_t option) {
    ResetForRun(ConversionDirection::ToDevice, option != 0);
    AppendUtf16Declaration(m_deviceDoc);
    m_openNodes.clear();

    simple_internal_walker walker;
    const_cast<pugi::xml_document&>(input).traverse(walker);

    if (m_headerNodeAdded) {
        if (!g_header.tag.empty()) WriteTransferBlock();
    } else if (m_writer != nullptr && m_writer->TopLevelClosed()) {
        // The first `dat` may be written already.
        m_writer->MarkChanged();
    } else {
        m_deviceDoc.child("dat").append_child("_");
    }
}

void CXmlTlvConverter::ConvertNodeToZK8(const pugi::xml_node& node, const char* name) {
    // Names and texts are read in place from the input document; a node
    // costs one probe of the name index for its name (and one for its mode).
    // A run indexes the dictionary when it resets; a node converted outside
    // a run reads the containers as they are.
    if (!m_namesIndexed) IndexNames();

    const NameFacts* facts = m_names.Find(name);

    const char* modeCode = "";
    bool modeAttribute = false;
    const pugi::xml_attribute first = node.first_attribute();
    if (first) {
        modeAttribute = NameIs(first.name(), "mode");
        const NameFacts* mode = m_names.Find(first.value());
        if (mode != nullptr && mode->modeCodeOfWord != nullptr) modeCode = mode->modeCodeOfWord;
        SetOperationClass(modeCode);
    }

    if (facts == nullptr || facts->internOfExtern == nullptr) {
        if (m_observer != nullptr) ObserveUnknown(node, name, IsListName(name));
        if (m_observer != nullptr && IsListName(name)) {
            ObserveAttributes(node, "mode", m_modeExternToIntern, false);
        }
        return;
    }
    const char* text = NodeTextValue(node);
    const char* tag = facts->internOfExtern;
    const bool isRecord = facts->tagOfRecord != nullptr;
    const bool isRoot = NameIs(name, "scaledata");

    if (isRoot) m_listNode = m_deviceDoc.append_child(tag);
    std::string dateTime;
    if (NameIs(name, "date_time_value")) {
        dateTime = DateTimeForWalk();
        text = dateTime.c_str();
        Observe(node, ConversionLoss::TextReplaced, name);
    }

    if (m_headerSeen || TransferHeader::IsFileTransferTag(tag)) {
        if (m_observer != nullptr) ObserveTransferNode(node, name, tag);
        CollectCustHeaderField(tag, text, modeCode);
        return;
    }
    if (m_observer != nullptr) {
        ObserveAttributes(node, "mode", m_modeExternToIntern, isRecord && *text == '\0');
    }

    if (*text == '\0') {
        if (isRecord) {
            m_listNode.append_child("_");
            m_recordNode = m_listNode.append_child(tag);
            if (!m_recordNode) Observe(node, ConversionLoss::NoParent, name);
            if (modeAttribute) m_recordNode.append_attribute("m").set_value(modeCode);
            m_openNodes.push_back(m_recordNode);
            if (!facts->deviceNo) {
                AppendTextElement(m_recordNode, "dvn", DeviceNumberCode(facts, m_operationClass));
            }
        } else {
            AlignOutputCursor(node, true);
            m_fieldNode = m_recordNode.append_child(tag);
            if (!m_fieldNode && !isRoot) Observe(node, ConversionLoss::NoParent, name);
            if (node.first_child()) m_openNodes.push_back(m_fieldNode);
        }
        return;
    }

    AlignOutputCursor(node, true);
    if (!AppendTextElement(m_recordNode, tag, text) && !isRoot) {
        Observe(node, ConversionLoss::NoParent, name);
    }
}

bool CXmlTlvConverter::IsListName(const std::string& name) const {
    for (const auto& entry : m_rootExternToListName) {
        if (entry.second == name) return true;
    }
    return false;
}

// Once a file transfer has begun, a node only feeds the pending block: a
// new transfer record, or one of the collected fields.
void CXmlTlvConverter::ObserveTransferNode(const pugi::xml_node& node, const std::string& name,
                                           const std::string& tag) {
    if (TransferHeader::IsFileTransferTag(tag)) {
        ObserveAttributes(node, "mode", m_modeExternToIntern, true);
        return;
    }
    ObserveAttributes(node, "mode", m_modeExternToIntern, false);
    if (g_header.ValueFieldFor(tag.c_str()) == nullptr) {
        Observe(node, ConversionLoss::SwallowedByTransfer, name);
    } else if (!InsideElementTagged(node, true, TransferHeader::IsFileTransferTag)) {
        Observe(node, ConversionLoss::TransferValueReplaced, name);
    }
}

void CXmlTlvConverter::SetOperationClass(const char* code) {
    auto is = [code](const auto& wanted) { return NameIs(code, wanted); };
    if (is("w")) {
        m_operationClass = 0;
    } else if (is("dl") || is("da") || is("d-") || is("d")) {
        m_operationClass = 1;
    } else if (is("r") || is("r+") || is("r-") || is("ra")) {
        m_operationClass = 2;
    }
}

const char* CXmlTlvConverter::DeviceNumberCode(const char* recordName) const {
    if (!m_namesIndexed) {
        // Not yet reset for a run: straight from the sets.
        const bool reading = m_operationClass == 2;
        const std::string name = recordName;
        if (m_turnoverRoots.count(name) != 0) return "ts";
        if (m_sharedTags.count(name) != 0) return reading ? "fm" : "0";
        if (m_zkOnlyTags.count(name) != 0) return reading ? "ufm" : "u";
        if (m_norvaOnlyTags.count(name) != 0) return reading ? "efm" : "e";
        return "fm";
    }
    return DeviceNumberCode(m_names.Find(recordName), m_operationClass);
}

// The flags come from the name's facts; a name without facts is in no set.
const char* CXmlTlvConverter::DeviceNumberCode(const NameFacts* record, std::int32_t operationClass) {
    const bool reading = operationClass == 2;
    if (record == nullptr) return "fm";
    if (record->turnover) return "ts";
    if (record->shared) return reading ? "fm" : "0";
    if (record->zkOnly) return reading ? "ufm" : "u";
    if (record->norvaOnly) return reading ? "efm" : "e";
    return "fm";
}

std::string CXmlTlvConverter::FormatDateTime() {
    const platform::LocalTime now = platform::GetLocalTimeNow();
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", now.year, now.month,
                  now.day, now.hour, now.minute, now.second);
    return text;
}
