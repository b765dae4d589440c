// File-transfer records of the customer XML become administration blocks
// (`adm`) in the device XML. From the first such record on, nodes are only
// collected into the header record; a block is written when the next transfer
// begins and at the end of the run.
#include "converter/TransferHeader.h"
#include "converter/XmlTlvConverter.h"

void CXmlTlvConverter::CollectCustHeaderField(const char* tag, const char* text,
                                              const char* modeCode) {
    if (!TransferHeader::IsFileTransferTag(tag)) {
        if (std::string* field = g_header.ValueFieldFor(tag)) *field = text;
        return;
    }

    if (!g_header.tag.empty()) WriteTransferBlock();
    g_header.tag = tag;
    g_header.mode = modeCode;
    if (!m_headerSeen) {
        m_headerSeen = true;
        if (!m_headerNodeAdded) {
            m_recordNode = m_listNode.append_child("_");
            m_headerNodeAdded = true;
        }
    }
}

void CXmlTlvConverter::WriteTransferBlock() {
    m_recordNode = m_listNode.append_child("adm");
    m_openNodes.push_back(m_recordNode);
    AppendTextElement(m_recordNode, "dvn", "ufm");

    pugi::xml_node transfer = m_recordNode.append_child("trn");
    AppendTextElement(transfer, "nam", g_header.source);
    AppendTextElement(transfer, "ori", g_header.originator);
    if (!g_header.category.empty()) AppendTextElement(transfer, "ctg", g_header.category);
    AppendTextElement(transfer, "lch", g_header.lastChange);

    pugi::xml_node record = transfer.append_child(g_header.tag.c_str());
    record.append_attribute("m").set_value(g_header.mode.c_str());
    AppendTextElement(record, "src", g_header.source);
    AppendTextElement(record, "dst", g_header.destination);

    m_recordNode = m_listNode.append_child("_");
    g_header.ClearHeader();
    m_headerSeen = false;
}
