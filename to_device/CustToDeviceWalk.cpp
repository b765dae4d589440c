// Customer XML to device XML: one walk over the input tree, building the
// device document element by element through the dictionary.
#include <cstdio>

#include "dictionary/TransferHeader.h"
#include "dictionary/XmlTlvConverter.h"
#include "platform/Platform.h"

namespace {

class simple_internal_walker : public pugi::xml_tree_walker {
public:
    bool begin(pugi::xml_node&) override { return true; }
    bool for_each(pugi::xml_node& node) override {
        g_converter.ConvertNodeToZK8(node, node.name());
        return true;
    }
    bool end(pugi::xml_node&) override { return true; }
};


}  // namespace

int CXmlTlvConverter::ConvertCustToZK8(const char* inputPath, const char* outputPath,
                                       std::uint8_t option) {
    pugi::xml_document input;
    input.load_file(inputPath, pugi::parse_ws_pcdata_single, pugi::encoding_auto);
    WalkCustToZK8(input, option);
    SaveConversionOutput(m_deviceDoc, outputPath);
    return 0;
}

void CXmlTlvConverter::WalkCustToZK8(const pugi::xml_document& input, std::uint8_t option) {
    ResetForRun(ConversionDirection::ToDevice, option != 0);
    AppendUtf16Declaration(m_deviceDoc);
    m_openNodes.clear();

    simple_internal_walker walker;
    const_cast<pugi::xml_document&>(input).traverse(walker);

    pugi::xml_node root = m_deviceDoc.child("dat");
    if (m_headerNodeAdded) {
        if (!g_header.tag.empty()) WriteTransferBlock();
    } else {
        root.append_child("_");
    }
}

namespace {

bool IsCollectedTransferField(const std::string& tag) {
    return tag == "ctg" || tag == "dst" || tag == "lch" || tag == "ori" || tag == "src";
}

}  // namespace

void CXmlTlvConverter::ConvertNodeToZK8(const pugi::xml_node& node, const std::string& name) {
    std::string text = NodeText(node);

    std::string modeCode;
    bool modeAttribute = false;
    const pugi::xml_attribute first = node.first_attribute();
    if (first) {
        modeAttribute = std::string(first.name()) == "mode";
        auto mode = m_modeExternToIntern.find(first.value());
        if (mode != m_modeExternToIntern.end()) modeCode = mode->second;
        SetOperationClass(modeCode);
    }

    auto known = m_externToIntern.find(name);
    if (known == m_externToIntern.end()) {
        if (m_observer != nullptr) ObserveUnknown(node, name, IsListName(name));
        if (m_observer != nullptr && IsListName(name)) {
            ObserveAttributes(node, "mode", m_modeExternToIntern, false);
        }
        return;
    }
    const std::string& tag = known->second;
    const bool isRecord = m_rootExternToIntern.count(name) != 0;

    if (name == "scaledata") m_listNode = m_deviceDoc.append_child(tag.c_str());
    if (name == "date_time_value") {
        text = FormatDateTime();
        Observe(node, ConversionLoss::TextReplaced, name);
    }

    if (m_headerSeen || TransferHeader::IsFileTransferTag(tag)) {
        if (m_observer != nullptr) ObserveTransferNode(node, name, tag);
        CollectCustHeaderField(tag, text, modeCode);
        return;
    }
    if (m_observer != nullptr) {
        ObserveAttributes(node, "mode", m_modeExternToIntern, isRecord && text.empty());
    }

    if (text.empty()) {
        if (isRecord) {
            m_listNode.append_child("_");
            m_recordNode = m_listNode.append_child(tag.c_str());
            if (!m_recordNode) Observe(node, ConversionLoss::NoParent, name);
            if (modeAttribute) m_recordNode.append_attribute("m").set_value(modeCode.c_str());
            m_openNodes.push_back(m_recordNode);
            if (m_deviceNoTags.count(name) == 0) {
                AppendTextElement(m_recordNode, "dvn", DeviceNumberCode(name));
            }
        } else {
            AlignOutputCursor(node, true);
            m_fieldNode = m_recordNode.append_child(tag.c_str());
            if (!m_fieldNode && name != "scaledata") Observe(node, ConversionLoss::NoParent, name);
            if (node.first_child()) m_openNodes.push_back(m_fieldNode);
        }
        return;
    }

    AlignOutputCursor(node, true);
    if (!AppendTextElement(m_recordNode, tag.c_str(), text) && name != "scaledata") {
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
    if (!IsCollectedTransferField(tag)) {
        Observe(node, ConversionLoss::SwallowedByTransfer, name);
    } else if (!InsideElementTagged(node, true, TransferHeader::IsFileTransferTag)) {
        Observe(node, ConversionLoss::TransferValueReplaced, name);
    }
}

void CXmlTlvConverter::SetOperationClass(const std::string& code) {
    if (code == "w") {
        m_operationClass = 0;
    } else if (code == "dl" || code == "da" || code == "d-" || code == "d") {
        m_operationClass = 1;
    } else if (code == "r" || code == "r+" || code == "r-" || code == "ra") {
        m_operationClass = 2;
    }
}

std::string CXmlTlvConverter::DeviceNumberCode(const std::string& recordName) const {
    const bool reading = m_operationClass == 2;
    if (m_turnoverRoots.count(recordName) != 0) return "ts";
    if (m_sharedTags.count(recordName) != 0) return reading ? "fm" : "0";
    if (m_zkOnlyTags.count(recordName) != 0) return reading ? "ufm" : "u";
    if (m_norvaOnlyTags.count(recordName) != 0) return reading ? "efm" : "e";
    return "fm";
}

std::string CXmlTlvConverter::FormatDateTime() {
    const platform::LocalTime now = platform::GetLocalTimeNow();
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", now.year, now.month,
                  now.day, now.hour, now.minute, now.second);
    return text;
}
