// File-transfer records of the customer XML become administration blocks
// (`adm`) in the device XML. From the first such record on, nodes are only
// collected into the header record; a block is written when the next transfer
// begins and at the end of the run.
#include "to_device/CustToDeviceWalk.h"

void CCustToDeviceWalk::CollectHeaderField(const char* tag, const char* text, const char* modeCode) {
    if (!TransferHeader::IsFileTransferTag(tag)) {
        if (std::string* field = m_header.ValueFieldFor(tag)) *field = text;
        return;
    }

    if (*m_header.tag != '\0') WriteTransferBlock();
    m_header.tag = tag;
    m_header.mode = modeCode;
    if (!m_headerSeen) {
        m_headerSeen = true;
        if (!m_headerNodeAdded) {
            m_cursor.record = m_output.AppendElement(m_listNode, "_");
            m_headerNodeAdded = true;
        }
    }
}

void CCustToDeviceWalk::WriteTransferBlock() {
    m_cursor.record = m_output.AppendElement(m_listNode, "adm");
    m_cursor.Push(m_cursor.record);
    m_output.AppendTextElement(m_cursor.record, "dvn", "ufm", true);

    const OutNode transfer = m_output.AppendElement(m_cursor.record, "trn");
    m_output.AppendTextElement(transfer, "nam", m_header.source.c_str());
    m_output.AppendTextElement(transfer, "ori", m_header.originator.c_str());
    if (!m_header.category.empty()) m_output.AppendTextElement(transfer, "ctg", m_header.category.c_str());
    m_output.AppendTextElement(transfer, "lch", m_header.lastChange.c_str());

    const OutNode record = m_output.AppendElement(transfer, m_header.tag, OutAttributes("m", m_header.mode));
    m_output.AppendTextElement(record, "src", m_header.source.c_str());
    m_output.AppendTextElement(record, "dst", m_header.destination.c_str());

    m_cursor.record = m_output.AppendElement(m_listNode, "_");
    m_header.Clear();
    m_headerSeen = false;
}

// Once a file transfer has begun, a node only feeds the pending block: a
// new transfer record, or one of the collected fields.
void CCustToDeviceWalk::ObserveTransferNode(const pugi::xml_node& node, const char* name, const char* tag) {
    const CDictionary::NameMap& modes = m_dictionary.m_modeExternToIntern;
    if (TransferHeader::IsFileTransferTag(tag)) {
        m_observer.ObserveAttributes(node, "mode", modes, true);
        return;
    }
    m_observer.ObserveAttributes(node, "mode", modes, false);
    if (m_header.ValueFieldFor(tag) == nullptr) {
        m_observer.Observe(node, ConversionLoss::SwallowedByTransfer, name);
    } else if (!m_observer.InsideElementTagged(node, true, TransferHeader::IsFileTransferTag)) {
        m_observer.Observe(node, ConversionLoss::TransferValueReplaced, name);
    }
}
