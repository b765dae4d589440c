#include "converter/XmlTlvConverter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "converter/AllocationWatch.h"
#include "converter/ErrorTable.h"
#include "converter/OutputFile.h"
#include "converter/StreamingWriter.h"
#include "converter/TransferHeader.h"

namespace {

constexpr std::size_t kOutputBufferSize = 64 * 1024;

}  // namespace

CXmlTlvConverter g_converter;

CXmlTlvConverter::CXmlTlvConverter() = default;

std::array<std::size_t, 15> CXmlTlvConverter::DictionarySizes() const {
    return {m_internToExtern.size(),       m_externToIntern.size(),     m_modeInternToExtern.size(),
            m_modeExternToIntern.size(),   m_rootInternToExtern.size(), m_rootExternToIntern.size(),
            m_rootExternToListName.size(), m_deviceNoTags.size(),       m_deviceNoOptionalTags.size(),
            m_turnoverRoots.size(),        m_zkOnlyTags.size(),         m_norvaOnlyTags.size(),
            m_sharedTags.size(),           m_departmentNoTags.size(),   m_nillableTags.size()};
}

// Emptying the two name maps and building the dictionary from the table, as
// every run begins. The table never changes and the build only inserts: from
// the state a build leaves, another build ends in that same state. So the
// build is made once, and again only if a container has been changed since
// (only the builder writes them, so a change shows in the sizes).
void CXmlTlvConverter::RestoreDictionary() {
    if (m_dictionaryBuilt && DictionarySizes() == m_indexedSizes) return;

    // Until the build and the index are whole, the next run builds again.
    m_dictionaryBuilt = false;
    m_namesIndexed = false;
    m_externToIntern.clear();
    m_internToExtern.clear();
    BuildDictionary();
    // The builder parses the table with pugixml: a snippet it could not
    // allocate would leave a dictionary without its names.
    CAllocationWatch::ThrowIfFailed();
    IndexNames();
    m_dictionaryBuilt = true;
}

void CXmlTlvConverter::IndexNames() {
    m_names.Build(*this);
    m_indexedSizes = DictionarySizes();
    m_namesIndexed = true;
}

void CXmlTlvConverter::ResetForRun(ConversionDirection direction, bool option) {
    RestoreDictionary();
    m_alignedParent = pugi::xml_node();
    m_nodesSinceFlush = 0;
    m_flushAfter = m_flushEvery;
    m_openNodesSettled = 0;
    g_header.ClearHeader();

    m_headerSeen = false;
    m_headerNodeAdded = false;
    m_inErrorBlock = false;
    m_statusOpen = false;
    if (direction == ConversionDirection::ToCustomer) {
        m_statusSeen = false;
        m_errorNumberPending = false;
        m_lastErrorIndex = -1;
        m_currentRootTag.clear();
    } else {
        m_attributeOption = option;
    }

    pugi::xml_document& output =
        direction == ConversionDirection::ToCustomer ? m_customerDoc : m_deviceDoc;
    output.reset();
    m_listNode = pugi::xml_node();
    m_outputRoot = pugi::xml_node();
    m_recordNode = pugi::xml_node();
    m_fieldNode = pugi::xml_node();
}

void CXmlTlvConverter::ReleaseRunMemory() noexcept {
    m_customerDoc.reset();
    m_deviceDoc.reset();
    std::deque<pugi::xml_node>().swap(m_openNodes);
    m_listNode = m_outputRoot = m_recordNode = m_fieldNode = m_alignedParent = pugi::xml_node();
    m_listOpen = false;
    std::string().swap(m_currentRootTag);
    g_header = TransferHeader();
    for (ErrorEntry& entry : g_errorTable) entry = ErrorEntry();
    m_lastErrorIndex = -1;
    m_errorNumberPending = false;
    std::vector<std::string>().swap(m_walkDateTimes);
}

bool CXmlTlvConverter::StreamsOutput() {
    if (const char* check = std::getenv("ZK8_OUTPUT_CHECK")) {
        if (std::strcmp(check, "every-node") == 0) m_flushEvery = 1;
        if (std::strcmp(check, "reference") == 0) m_flushEvery = 0;
    }
    return m_flushEvery != 0;
}

void CXmlTlvConverter::FlushOutput() {
    m_nodesSinceFlush = 0;
    m_writer->Flush(*this, *m_writerDocument);
    m_flushAfter = std::max(m_flushEvery, m_writer->OpenDepth());
}

std::string CXmlTlvConverter::DateTimeForWalk() {
    if (m_repeatingWalk && m_walkDateTimesUsed < m_walkDateTimes.size()) {
        return m_walkDateTimes[m_walkDateTimesUsed++];
    }
    std::string text = FormatDateTime();
    if (m_writer != nullptr) m_walkDateTimes.push_back(text);
    return text;
}

CStreamedRun::CStreamedRun(CXmlTlvConverter& converter, pugi::xml_document& output, const char* path)
    : m_converter(converter), m_output(output) {
    m_converter.m_walkDateTimes.clear();
    if (!m_converter.StreamsOutput()) return;
    m_writer.reset(new CStreamingWriter(path));
    m_converter.m_writer = m_writer.get();
    m_converter.m_writerDocument = &output;
}

CStreamedRun::~CStreamedRun() {
    m_converter.m_writer = nullptr;
    m_converter.m_writerDocument = nullptr;
    m_converter.m_repeatingWalk = false;
    m_converter.m_walkDateTimesUsed = 0;
}

bool CStreamedRun::Finish() {
    if (m_writer->Finish(m_converter, m_output)) return true;
    m_writer->Abandon();
    m_converter.m_writer = nullptr;
    m_converter.m_writerDocument = nullptr;
    m_converter.m_repeatingWalk = true;
    m_converter.m_walkDateTimesUsed = 0;
    return false;
}

void LoadInput(pugi::xml_document& input, const char* path, pugi::xml_encoding encoding) {
    const pugi::xml_parse_result parsed = input.load_file(path, pugi::parse_ws_pcdata_single, encoding);
    // Whatever a malformed input leaves is converted; an input that did not
    // fit in memory is not.
    if (parsed.status == pugi::status_out_of_memory) throw std::bad_alloc();
    CAllocationWatch::ThrowIfFailed();
}

void AppendUtf16Declaration(pugi::xml_document& document) {
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version").set_value("1.0");
    declaration.append_attribute("encoding").set_value("UTF-16");
}

// The same bytes as pugixml's save_file, written through a larger stream
// buffer: a whole catalogue's output in a few hundred writes rather than one
// per few kilobytes. The buffer comes from the heap, which hands the same
// block back to the next call; it is taken before the file is opened, so
// that a call without the memory for it leaves the file untouched.
void SaveConversionOutput(const pugi::xml_document& document, const char* path) {
    const std::unique_ptr<char[]> buffer(new char[kOutputBufferSize]);
    COutputFile file(path);
    if (!file.IsOpen()) return;
    std::setvbuf(file.Get(), buffer.get(), _IOFBF, kOutputBufferSize);
    document.save(file, PUGIXML_TEXT(""), pugi::format_write_bom | pugi::format_raw | pugi::format_no_escapes,
                  pugi::encoding_utf16_le);
    file.Close();
}

std::string NodeText(const pugi::xml_node& node) { return NodeTextValue(node); }

pugi::xml_node AppendTextElement(pugi::xml_node parent, const char* name, const char* text) {
    pugi::xml_node element = parent.append_child(name);
    element.append_child(pugi::node_pcdata).set_value(text);
    return element;
}

pugi::xml_node AppendTextElement(pugi::xml_node parent, const char* name, const std::string& text) {
    return AppendTextElement(parent, name, text.c_str());
}
