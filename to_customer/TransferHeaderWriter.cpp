// The header block (`adm`) of a device file that accompanies a file transfer
// becomes one customer record naming the transferred file.
#include "converter/TransferHeader.h"
#include "converter/XmlTlvConverter.h"

void CXmlTlvConverter::CollectHeaderField(const char* tag, const char* text, const char* modeWord) {
    if (NameIs(tag, "adm")) {
        if (!g_header.tag.empty()) WriteHeader();
        m_headerSeen = true;
    } else if (TransferHeader::IsFileTransferTag(tag)) {
        g_header.tag = tag;
        g_header.mode = modeWord;
    } else if (std::string* field = g_header.ValueFieldFor(tag)) {
        *field = text;
    }
}

void CXmlTlvConverter::WriteHeader() {
    auto record = m_rootInternToExtern.find(g_header.tag);
    if (record != m_rootInternToExtern.end()) {
        const std::string& recordName = record->second;
        auto list = m_rootExternToListName.find(recordName);
        if (list != m_rootExternToListName.end()) {
            m_listNode = m_outputRoot.append_child(list->second.c_str());
            m_listOpen = true;
        }
        m_recordNode = m_listNode.append_child(recordName.c_str());
        m_recordNode.append_attribute("mode").set_value(g_header.mode.c_str());
    }
    AppendTextElement(m_recordNode, "originator", g_header.originator);
    if (!g_header.category.empty()) AppendTextElement(m_recordNode, "category", g_header.category);
    AppendTextElement(m_recordNode, "source", g_header.source);
    AppendTextElement(m_recordNode, "destination", g_header.destination);
    AppendTextElement(m_recordNode, "last_change", g_header.lastChange);
    g_header.ClearHeader();
    m_headerSeen = false;
}
