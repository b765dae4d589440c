#include "to_customer/DeviceToCustWalk.h"

#include <cstring>

#include "converter/InputDocument.h"

namespace {

const char kSchemaInstanceNamespace[] = "http://www.w3.org/2001/XMLSchema-instance";
const char kDeviceNamespace[] = "http://www.orvane.com/2011/xmltlv";

bool IsHeaderBlock(const std::string& tag) { return tag == "adm"; }

// Tags a header block is made of: its structure and the values collected.
bool BelongsToHeader(const char* tag) {
    return NameIs(tag, "adm") || NameIs(tag, "trn") || NameIs(tag, "nam") || NameIs(tag, "dvn") ||
           TransferHeader().ValueFieldFor(tag) != nullptr || TransferHeader::IsFileTransferTag(tag);
}

}  // namespace

CDeviceToCustWalk::CDeviceToCustWalk(const CDictionary& dictionary, COutputTree& output, bool createNil,
                                     bool defaultNamespace, CErrorTable& errors, const LogTarget* log,
                                     ConversionObserver* observer)
    : m_dictionary(dictionary),
      m_output(output),
      m_createNil(createNil),
      m_defaultNamespace(defaultNamespace),
      m_observer(dictionary, observer),
      m_cursor(dictionary, output, false, log, m_observer),
      m_status(errors) {}

void CDeviceToCustWalk::Run(const pugi::xml_document& input) {
    VisitNodes(input, [this](const pugi::xml_node& node) { Convert(node); });

    if (m_headerSeen) WriteHeader();
}

OutNode CDeviceToCustWalk::AppendField(const char* name, const char* text) {
    // Fields hold the input's own texts.
    return m_output.AppendTextElement(m_cursor.record, name, text, true);
}

void CDeviceToCustWalk::Convert(const pugi::xml_node& node) {
    // Names and texts are read in place from the input document; a node
    // costs one probe of the dictionary for its tag (and one for its mode).
    // A node without a tag of the dictionary (every text node among them)
    // writes nothing, whatever its attributes and text.
    const char* tag = node.name();
    const NameFacts* facts = m_dictionary.Find(tag);
    if (facts == nullptr || facts->externOfIntern == nullptr) {
        // `_` only separates records in device files.
        m_observer.ObserveUnknown(node, tag, NameIs(tag, "_"));
        return;
    }
    const char* name = facts->externOfIntern;
    const char* text = NodeTextValue(node);

    // Only the first attribute is read, as the operation mode. An attribute
    // other than `m` yields no output attribute.
    const pugi::xml_attribute first = node.first_attribute();
    const bool hasMode = first && NameIs(first.name(), "m");
    const char* modeWord = "";
    if (first) {
        const NameFacts* mode = m_dictionary.Find(first.value());
        if (mode != nullptr && mode->modeWordOfCode != nullptr) modeWord = mode->modeWordOfCode;
    }
    const CDictionary::NameMap& modes = m_dictionary.m_modeInternToExtern;

    if (m_status.Collecting() && !m_status.Collect(tag, text)) {
        m_observer.Observe(node, ConversionLoss::ErrorNotListed, text);
    }

    if (NameIs(tag, "exs")) {
        m_status.BlockSeen();
        m_statusOpen = true;
        m_status.Collecting(true);
        m_cursor.record = m_output.AppendElement(m_listNode, name);
        if (!m_cursor.record) m_observer.Observe(node, ConversionLoss::NoParent, tag);
        m_observer.ObserveAttributes(node, "m", modes, false);
        m_cursor.Push(m_cursor.record);
        return;
    }
    if (NameIs(tag, "dat")) {
        // A further data block continues the document's one root element, so
        // that the output stays well-formed.
        if (!m_outputRoot) {
            OutAttributes namespaces;
            if (m_createNil) namespaces.Add("xmlns:xsi", kSchemaInstanceNamespace);
            if (m_defaultNamespace) namespaces.Add("xmlns", kDeviceNamespace);
            m_outputRoot = m_output.AppendElement(m_output.Document(), name, namespaces);
        }
        m_observer.ObserveAttributes(node, "m", modes, false);
        return;
    }
    if (m_headerSeen || NameIs(tag, "adm")) {
        if (m_observer.Watching()) {
            const bool inHeader = NameIs(tag, "adm") || m_observer.InsideElementTagged(node, false, IsHeaderBlock);
            if (!inHeader || !BelongsToHeader(tag)) m_observer.Observe(node, ConversionLoss::SwallowedByHeader, tag);
            m_observer.ObserveAttributes(node, "m", modes, TransferHeader::IsFileTransferTag(tag));
        }
        CollectHeaderField(tag, text, modeWord);
        return;
    }

    // Device and department numbers depend on the record they go into.
    auto recordFacts = [this] { return m_dictionary.Find(m_cursor.record.Name()); };
    auto deviceNoWanted = [&] {
        const NameFacts* record = recordFacts();
        return record != nullptr && (record->deviceNo || record->deviceNoOptional);
    };
    auto departmentNoWanted = [&] {
        const NameFacts* record = recordFacts();
        return record != nullptr && record->departmentNo;
    };
    const bool isRecord = *text == '\0' && facts->recordOfTag != nullptr;
    m_observer.ObserveAttributes(node, "m", modes, isRecord);

    if (*text == '\0') {
        if (isRecord) {
            if (!m_listOpen || std::strcmp(m_currentRootTag, tag) != 0) {
                if (m_listOpen && !m_cursor.Empty()) m_cursor.Pop();
                m_currentRootTag = tag;
                const NameFacts* record = facts->externFacts;
                if (record != nullptr && record->listOfRecord != nullptr) {
                    m_listNode = m_output.AppendElement(m_outputRoot, record->listOfRecord);
                    m_cursor.Push(m_listNode);
                    m_listOpen = true;
                }
            }
            m_cursor.record =
                m_output.AppendElement(m_listNode, name, hasMode ? OutAttributes("mode", modeWord) : OutAttributes());
            if (!m_cursor.record) m_observer.Observe(node, ConversionLoss::NoParent, tag);
            m_cursor.Push(m_cursor.record);
        } else if (NameIs(tag, "dvn")) {
            if (deviceNoWanted()) AppendField(name, text);
            else m_observer.Observe(node, ConversionLoss::NumberNotWritten, tag);
        } else if (NameIs(tag, "dpn")) {
            if (departmentNoWanted()) AppendField(name, text);
            else m_observer.Observe(node, ConversionLoss::NumberNotWritten, tag);
        } else {
            m_cursor.Align(node);
            // An empty field of a nillable name is marked nil.
            const NameFacts* field = m_dictionary.Find(name);
            const bool nil = m_createNil && field != nullptr && field->nillable && !node.first_child();
            const OutNode element =
                m_output.AppendElement(m_cursor.record, name, nil ? OutAttributes("xsi:nil", "true") : OutAttributes());
            if (!element) m_observer.Observe(node, ConversionLoss::NoParent, tag);
            if (node.first_child()) m_cursor.Push(element);
        }
        return;
    }

    if (NameIs(tag, "dvn")) {
        if (m_statusOpen && !NameIs(node.parent().name(), "exc")) m_statusOpen = false;
        if (m_statusOpen || deviceNoWanted()) {
            if (!AppendField(name, text)) m_observer.Observe(node, ConversionLoss::NoParent, tag);
        } else {
            m_observer.Observe(node, ConversionLoss::NumberNotWritten, tag);
        }
    } else if (NameIs(tag, "dpn")) {
        if (departmentNoWanted()) AppendField(name, text);
        else m_observer.Observe(node, ConversionLoss::NumberNotWritten, tag);
    } else {
        m_cursor.Align(node);
        if (!AppendField(name, text)) m_observer.Observe(node, ConversionLoss::NoParent, tag);
    }
}
