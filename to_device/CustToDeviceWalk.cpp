#include "to_device/CustToDeviceWalk.h"

#include <cstdio>

#include "converter/InputDocument.h"
#include "platform/Platform.h"

namespace {

std::string FormatDateTime() {
    const platform::LocalTime now = platform::GetLocalTimeNow();
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", now.year, now.month, now.day, now.hour,
                  now.minute, now.second);
    return text;
}

}  // namespace

CCustToDeviceWalk::CCustToDeviceWalk(const CDictionary& dictionary, COutputTree& output,
                                     std::int32_t& operationClass, const LogTarget* log,
                                     ConversionObserver* observer)
    : m_dictionary(dictionary),
      m_output(output),
      m_operationClass(operationClass),
      m_observer(dictionary, observer),
      m_cursor(dictionary, output, true, log, m_observer) {}

void CCustToDeviceWalk::Run(const pugi::xml_document& input) {
    VisitNodes(input, [this](const pugi::xml_node& node) { Convert(node); });

    if (m_headerNodeAdded) {
        if (*m_header.tag != '\0') WriteTransferBlock();
    } else {
        m_output.AppendElement(m_output.FirstTopLevel("dat"), "_");
    }
}

void CCustToDeviceWalk::Convert(const pugi::xml_node& node) {
    // Names and texts are read in place from the input document; a node
    // costs one probe of the dictionary for its name (and one for its mode).
    const char* name = node.name();
    const NameFacts* facts = m_dictionary.Find(name);

    const char* modeCode = "";
    bool modeAttribute = false;
    const pugi::xml_attribute first = node.first_attribute();
    if (first) {
        modeAttribute = NameIs(first.name(), "mode");
        const NameFacts* mode = m_dictionary.Find(first.value());
        if (mode != nullptr && mode->modeCodeOfWord != nullptr) modeCode = mode->modeCodeOfWord;
        SetOperationClass(modeCode);
    }

    if (facts == nullptr || facts->internOfExtern == nullptr) {
        if (m_observer.Watching()) {
            const bool listName = m_dictionary.IsListName(name);
            m_observer.ObserveUnknown(node, name, listName);
            if (listName) m_observer.ObserveAttributes(node, "mode", m_dictionary.m_modeExternToIntern, false);
        }
        return;
    }
    const char* text = NodeTextValue(node);
    const char* tag = facts->internOfExtern;
    const bool isRecord = facts->tagOfRecord != nullptr;
    const bool isRoot = NameIs(name, "scaledata");

    if (isRoot) m_listNode = m_output.AppendElement(m_output.Document(), tag);
    std::string dateTime;
    if (NameIs(name, "date_time_value")) {
        dateTime = FormatDateTime();
        text = dateTime.c_str();
        m_observer.Observe(node, ConversionLoss::TextReplaced, name);
    }

    if (m_headerSeen || TransferHeader::IsFileTransferTag(tag)) {
        if (m_observer.Watching()) ObserveTransferNode(node, name, tag);
        CollectHeaderField(tag, text, modeCode);
        return;
    }
    if (m_observer.Watching()) {
        m_observer.ObserveAttributes(node, "mode", m_dictionary.m_modeExternToIntern, isRecord && *text == '\0');
    }

    if (*text == '\0') {
        if (isRecord) {
            m_output.AppendElement(m_listNode, "_");
            m_cursor.record = m_output.AppendElement(
                m_listNode, tag, modeAttribute ? OutAttributes("m", modeCode) : OutAttributes());
            if (!m_cursor.record) m_observer.Observe(node, ConversionLoss::NoParent, name);
            m_cursor.Push(m_cursor.record);
            if (!facts->deviceNo) {
                m_output.AppendTextElement(m_cursor.record, "dvn", DeviceNumberCode(facts, m_operationClass), true);
            }
        } else {
            m_cursor.Align(node);
            const OutNode field = m_output.AppendElement(m_cursor.record, tag);
            if (!field && !isRoot) m_observer.Observe(node, ConversionLoss::NoParent, name);
            if (node.first_child()) m_cursor.Push(field);
        }
        return;
    }

    m_cursor.Align(node);
    // The input's own text lasts; the time of conversion does not.
    if (!m_output.AppendTextElement(m_cursor.record, tag, text, dateTime.empty()) && !isRoot) {
        m_observer.Observe(node, ConversionLoss::NoParent, name);
    }
}

void CCustToDeviceWalk::SetOperationClass(const char* code) {
    auto is = [code](const auto& wanted) { return NameIs(code, wanted); };
    if (is("w")) {
        m_operationClass = 0;
    } else if (is("dl") || is("da") || is("d-") || is("d")) {
        m_operationClass = 1;
    } else if (is("r") || is("r+") || is("r-") || is("ra")) {
        m_operationClass = 2;
    }
}

// The flags come from the name's facts; a name without facts is in no set.
const char* CCustToDeviceWalk::DeviceNumberCode(const NameFacts* record, std::int32_t operationClass) {
    const bool reading = operationClass == 2;
    if (record == nullptr) return "fm";
    if (record->turnover) return "ts";
    if (record->shared) return reading ? "fm" : "0";
    if (record->zkOnly) return reading ? "ufm" : "u";
    if (record->norvaOnly) return reading ? "efm" : "e";
    return "fm";
}
