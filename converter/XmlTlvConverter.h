// The one converter object of the library: the tag dictionary, the output
// document of each direction, the cursors the tree walks move through the
// output, and the run flags.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "converter/ConversionObserver.h"
#include "dictionary/NameIndex.h"

enum class ConversionDirection { ToCustomer, ToDevice };

class CStreamingWriter;

class CXmlTlvConverter {
public:
    using NameMap = std::map<std::string, std::string>;
    using NameSet = std::set<std::string>;

    CXmlTlvConverter();

    // Rebuilds the dictionary and clears the run state of one direction.
    void ResetForRun(ConversionDirection direction, bool option);

    // Gives back what a run holds beyond the dictionary (output documents,
    // open-node stack, collected header and errors): after a call that
    // could not finish, the memory is free and the next run starts clean.
    void ReleaseRunMemory() noexcept;

    // Dictionary.
    void BuildDictionary();
    // Empties the two name maps and builds the dictionary, unless the
    // containers are as the last build left them (the result would be the same).
    void RestoreDictionary();
    // Takes the name index of the containers as they are.
    void IndexNames();
    std::array<std::size_t, 15> DictionarySizes() const;
    void ReadTagRecord(const pugi::xml_node& element, bool isRoot);
    std::string FindInternForExtern(const std::string& name) const;
    std::string FindExternForIntern(const std::string& tag) const;

    // Tag list export: 0 written, -1 the file could not be opened.
    int WriteTagList(const char* path) const;

    // Moves m_recordNode to the output element of the input element's parent.
    void AlignOutputCursor(const pugi::xml_node& inputElement, bool toDevice);
    void PopOpenNode() {
        m_openNodes.pop_back();
        if (m_openNodes.size() < m_openNodesSettled) m_openNodesSettled = m_openNodes.size();
    }

    // Output written while the walk runs (converter/StreamingWriter.h).
    // The walkers call this after every node.
    void AfterWalkNode() {
        if (m_writer != nullptr && ++m_nodesSinceFlush >= m_flushAfter) FlushOutput();
    }
    void FlushOutput();
    // Whether this call streams its output (m_flushEvery not 0);
    // ZK8_OUTPUT_CHECK, set only by test runs, asks for the whole-document
    // path ("reference") or for a flush after every node ("every-node").
    bool StreamsOutput();

    // Customer XML to device XML.
    int ConvertCustToZK8(const char* inputPath, const char* outputPath, std::uint8_t option);
    // The run without the file handling: reset, walk the parsed input, finish.
    void WalkCustToZK8(const pugi::xml_document& input, std::uint8_t option);
    void ConvertNodeToZK8(const pugi::xml_node& node, const char* name);
    void SetOperationClass(const char* code);
    const char* DeviceNumberCode(const char* recordName) const;
    static const char* DeviceNumberCode(const NameFacts* record, std::int32_t operationClass);
    static std::string FormatDateTime();
    // The time written for date_time_value: a walk repeated after a streamed
    // one writes the times the first one wrote.
    std::string DateTimeForWalk();
    void CollectCustHeaderField(const char* tag, const char* text, const char* modeCode);
    void WriteTransferBlock();

    // Device XML to customer XML.
    // The input's encoding is found from its bytes unless the caller knows it.
    int ConvertZK8ToCust(const char* inputPath, const char* outputPath, std::uint8_t createNil,
                         pugi::xml_encoding inputEncoding = pugi::encoding_auto);
    // The same for an input the caller has loaded (LoadInput).
    int ConvertLoadedZK8ToCust(const pugi::xml_document& input, const char* outputPath, std::uint8_t createNil);
    void WalkZK8ToCust(const pugi::xml_document& input, std::uint8_t createNil);
    void ConvertNodeToCust(const pugi::xml_node& node, const char* tag, const char* text);
    void AddNamespaceAttributes(pugi::xml_node root) const;
    void CollectHeaderField(const char* tag, const char* text, const char* modeWord);
    void WriteHeader();
    // False when an error number finds no room in the table.
    bool CollectError(const char* tag, const char* text);
    // The status file's bytes, made before anything is written, so that a
    // run without the memory for them writes neither file.
    std::string StatusFileBytes() const;
    void WriteStatusFile(const char* outputPath, const std::string& bytes) const;

    // What a walk drops or alters, told to the observer when there is one.
    void Observe(const pugi::xml_node& node, ConversionLoss loss, const std::string& subject) {
        if (m_observer != nullptr) m_observer->Report(node, loss, subject);
    }
    // The same for a name read in place: no string is made without an observer.
    void Observe(const pugi::xml_node& node, ConversionLoss loss, const char* subject) {
        if (m_observer != nullptr) m_observer->Report(node, loss, subject);
    }
    void ObserveAttributes(const pugi::xml_node& node, const char* modeName,
                           const NameMap& modes, bool modeWritten);
    void ObserveUnknown(const pugi::xml_node& node, const std::string& name, bool expected);
    bool IsListName(const std::string& name) const;
    void ObserveTransferNode(const pugi::xml_node& node, const std::string& name,
                             const std::string& tag);
    bool InsideElementTagged(const pugi::xml_node& node, bool toDevice,
                             bool (*test)(const std::string& tag)) const;

    NameMap m_internToExtern;
    NameMap m_externToIntern;
    NameMap m_modeInternToExtern;
    NameMap m_modeExternToIntern;
    NameMap m_rootInternToExtern;
    NameMap m_rootExternToIntern;
    NameMap m_rootExternToListName;
    NameSet m_deviceNoTags;
    NameSet m_deviceNoOptionalTags;
    NameSet m_turnoverRoots;
    NameSet m_zkOnlyTags;
    NameSet m_norvaOnlyTags;
    NameSet m_sharedTags;
    NameSet m_departmentNoTags;
    NameSet m_nillableTags;
    pugi::xml_node m_listNode;
    pugi::xml_node m_outputRoot;
    pugi::xml_node m_recordNode;
    pugi::xml_document m_customerDoc;
    pugi::xml_document m_deviceDoc;
    bool m_headerSeen = false;
    bool m_headerNodeAdded = false;
    bool m_inErrorBlock = false;
    bool m_statusSeen = false;
    bool m_statusOpen = false;
    pugi::xml_node m_fieldNode;
    std::deque<pugi::xml_node> m_openNodes;
    bool m_attributeOption = false;
    std::int32_t m_operationClass = -1;
    std::int32_t m_lastErrorIndex = -1;
    bool m_errorNumberPending = false;
    bool m_listOpen = false;
    std::string m_currentRootTag;

    // Watches the walks; null in every conversion the exports run.
    ConversionObserver* m_observer = nullptr;

    // The writer of a streamed walk, null otherwise; flushes every
    // m_flushEvery nodes (0: the document is built whole). Entries of m_openNodes below m_openNodesSettled
    // are as the last flush left them.
    CStreamingWriter* m_writer = nullptr;
    pugi::xml_document* m_writerDocument = nullptr;
    std::size_t m_flushEvery = 8192;
    std::size_t m_nodesSinceFlush = 0;
    // A flush walks the path of open elements: never more often than the
    // path is long, so that a deep document costs no more per node.
    std::size_t m_flushAfter = 8192;
    std::size_t m_openNodesSettled = 0;
    // A walk repeated after a streamed one (see CStreamedRun) leaves the
    // run-log entries to the first and takes over its times.
    bool m_repeatingWalk = false;
    std::vector<std::string> m_walkDateTimes;
    std::size_t m_walkDateTimesUsed = 0;

    // A hashed view of the containers for the walks (NameIndex.h), with the
    // containers' sizes when it was taken; RestoreDictionary takes it right
    // after a build, and m_dictionaryBuilt says the containers were then as
    // the build left them.
    CNameIndex m_names;
    bool m_namesIndexed = false;
    bool m_dictionaryBuilt = false;
    std::array<std::size_t, 15> m_indexedSizes{};
    // The last input parent AlignOutputCursor looked up, and the output name
    // it stands for; forgotten at every reset.
    pugi::xml_node m_alignedParent;
    bool m_alignedToDevice = false;
    const char* m_alignedWanted = "";
};

// The converter shared by every export.
extern CXmlTlvConverter g_converter;

// One conversion's output: streamed while the walk runs, unless the call
// takes the whole-document path. Finish writes the rest; when it cannot
// (the walk changed what was written), the file is removed and the converter
// set up to repeat the walk for the whole document with the same run-log
// entries and times. Ends streaming and repetition when it goes.
class CStreamedRun {
public:
    CStreamedRun(CXmlTlvConverter& converter, pugi::xml_document& output, const char* path);
    ~CStreamedRun();
    CStreamedRun(const CStreamedRun&) = delete;
    CStreamedRun& operator=(const CStreamedRun&) = delete;

    bool Streaming() const { return m_writer.get() != nullptr; }
    // True: the output is written. False: walk again and save the document.
    bool Finish();

private:
    CXmlTlvConverter& m_converter;
    pugi::xml_document& m_output;
    std::unique_ptr<CStreamingWriter> m_writer;
};

// Text of an input node: the value of its first child, empty when it has no
// child or its first child is an element.
std::string NodeText(const pugi::xml_node& node);
// The same without a copy: points into the input document.
inline const char* NodeTextValue(const pugi::xml_node& node) {
    const pugi::xml_node first = node.first_child();
    if (!first || first.type() == pugi::node_element) return "";
    return first.value();
}
// Loads a conversion input with the engines' parse options. A parse error
// is no failure (the tree read so far is converted); running out of memory
// is, and throws std::bad_alloc.
void LoadInput(pugi::xml_document& input, const char* path, pugi::xml_encoding encoding);
// Appends an element holding one text child (also when the text is empty).
pugi::xml_node AppendTextElement(pugi::xml_node parent, const char* name, const char* text);
pugi::xml_node AppendTextElement(pugi::xml_node parent, const char* name, const std::string& text);
// Declaration node "<?xml version="1.0" encoding="UTF-16"?>" as first child.
void AppendUtf16Declaration(pugi::xml_document& document);
// Saves a conversion output: UTF-16 with byte-order mark, raw, unescaped.
void SaveConversionOutput(const pugi::xml_document& document, const char* path);
