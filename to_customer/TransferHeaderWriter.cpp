// The header block (`adm`) of a device file that accompanies a file transfer
// becomes one customer record naming the transferred file.
#include "to_customer/DeviceToCustWalk.h"

void CDeviceToCustWalk::CollectHeaderField(const char* tag, const char* text, const char* modeWord) {
    if (NameIs(tag, "adm")) {
        if (*m_header.tag != '\0') WriteHeader();
        m_headerSeen = true;
    } else if (TransferHeader::IsFileTransferTag(tag)) {
        m_header.tag = tag;
        m_header.mode = modeWord;
    } else if (std::string* field = m_header.ValueFieldFor(tag)) {
        *field = text;
    }
}

void CDeviceToCustWalk::WriteHeader() {
    auto record = m_dictionary.m_rootInternToExtern.find(m_header.tag);
    if (record != m_dictionary.m_rootInternToExtern.end()) {
        const std::string& recordName = record->second;
        auto list = m_dictionary.m_rootExternToListName.find(recordName);
        if (list != m_dictionary.m_rootExternToListName.end()) {
            m_listNode = m_output.AppendElement(m_outputRoot, list->second.c_str());
            m_listOpen = true;
        }
        m_cursor.record =
            m_output.AppendElement(m_listNode, recordName.c_str(), OutAttributes("mode", m_header.mode));
    }
    m_output.AppendTextElement(m_cursor.record, "originator", m_header.originator.c_str());
    if (!m_header.category.empty()) {
        m_output.AppendTextElement(m_cursor.record, "category", m_header.category.c_str());
    }
    m_output.AppendTextElement(m_cursor.record, "source", m_header.source.c_str());
    m_output.AppendTextElement(m_cursor.record, "destination", m_header.destination.c_str());
    m_output.AppendTextElement(m_cursor.record, "last_change", m_header.lastChange.c_str());
    m_header.Clear();
    m_headerSeen = false;
}
