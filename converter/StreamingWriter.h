// Writes a conversion's output while the walk builds it, so that only the
// part the walk can still change is held in memory.
//
// The walks append every output node to an element that one of the
// converter's handles points to (the list, root, record and field nodes and
// the stack of open elements). At a flush, the writer writes the document in
// order down to the first element the walk may still append to (a handle's
// element, the top of the stack) or that holds one; such elements get their
// start tags once they have a child, and what follows them waits. What was
// written is freed. A handle that pointed into the written part (an entry
// deeper in the stack) is moved to a stand-in element of the same name under
// a stand-in parent of its parent's name: the alignment reads no more of it;
// stand-ins for the same names are shared. Appending to a stand-in, or an
// attribute to an element whose start tag is out, would have to change bytes
// already written: Finish then reports the output as not written, and the
// caller builds the whole document instead.
//
// The bytes are those of SaveConversionOutput: UTF-16LE with byte-order mark,
// raw, texts unescaped, `<a/>` for an element without children, ":anonymous"
// for an empty name, UTF-8 decoded as pugixml decodes it (a byte that starts
// no complete sequence is dropped).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

#include <pugixml.hpp>

#include "converter/OutputFile.h"

class CXmlTlvConverter;

// The output file, opened when its first buffer is full or at Finish (a
// small output is written in one go, as before). A writer that is not
// finished removes the file it opened: a call that fails never leaves a
// part that could pass for a whole output.
class CUtf16Output : public pugi::xml_writer {
public:
    explicit CUtf16Output(const char* path);
    ~CUtf16Output() override;
    CUtf16Output(const CUtf16Output&) = delete;
    CUtf16Output& operator=(const CUtf16Output&) = delete;

    // Markup: ASCII only.
    void Ascii(const char* text);
    // A name or text as pugixml holds it (UTF-8).
    void Text(const char* utf8);
    // Bytes already UTF-16LE (pugixml printing a node).
    void write(const void* data, std::size_t size) override;
    void Finish();
    // Closes and removes what was written.
    void Abandon() noexcept;

private:
    void Unit(std::uint32_t unit) {
        if (m_used + 2 > kBufferSize) FlushBuffer();
        m_buffer[m_used++] = static_cast<unsigned char>(unit & 0xFF);
        m_buffer[m_used++] = static_cast<unsigned char>((unit >> 8) & 0xFF);
    }
    void FlushBuffer();

    static constexpr std::size_t kBufferSize = 64 * 1024;
    const char* m_path;
    std::unique_ptr<unsigned char[]> m_buffer;
    std::size_t m_used = 0;
    std::unique_ptr<COutputFile> m_file;
    bool m_finished = false;
};

// Node pointers to values for the length of one flush: open addressing,
// emptied by starting a new generation, no allocation once grown.
class CNodeTable {
public:
    void Clear();
    // The value, or null when the key is not in the table.
    const std::uintptr_t* Find(const void* key) const;
    void Insert(const void* key, std::uintptr_t value);

private:
    struct Slot {
        const void* key;
        std::uintptr_t value;
        std::uint32_t generation;
    };
    std::size_t SlotOf(const void* key) const;
    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
    std::uint32_t m_generation = 1;
};

class CStreamingWriter {
public:
    explicit CStreamingWriter(const char* path);
    CStreamingWriter(const CStreamingWriter&) = delete;
    CStreamingWriter& operator=(const CStreamingWriter&) = delete;

    // Writes and frees what the walk can no longer change; moves the
    // converter's handles that pointed there to stand-ins.
    void Flush(CXmlTlvConverter& converter, pugi::xml_document& document);
    // Writes the rest and closes the file. False, with nothing closed, when
    // the walk changed an element that was already written.
    bool Finish(CXmlTlvConverter& converter, pugi::xml_document& document);
    void Abandon() noexcept { m_out.Abandon(); }
    // Whether a top-level element has been written whole (the device walk
    // appends to its first `dat` at the end).
    bool TopLevelClosed() const { return m_topLevelClosed; }
    // How many elements have their start tags out, their end tags not.
    std::size_t OpenDepth() const { return m_open.size(); }
    void MarkChanged() { m_changed = true; }

private:
    struct OpenElement {
        pugi::xml_node node;
        pugi::xml_attribute lastAttribute;  // start tag written with these
    };

    void Emit(pugi::xml_document& document, bool final);
    void CloseOpen(std::size_t depth);
    void WriteStartTag(pugi::xml_node element);
    void WriteWhole(pugi::xml_node node);
    void WriteEndTag(pugi::xml_node element);
    void CheckOpen(const OpenElement& open);
    void PushOpen(pugi::xml_node element);
    void PopOpen(std::size_t depth);
    bool Written(pugi::xml_node node);
    void MarkLive(pugi::xml_node node);
    bool IsStandIn(pugi::xml_node node) const;
    pugi::xml_node StandIn(pugi::xml_node node);
    void MoveHandle(pugi::xml_node& handle);
    bool StandInsUnchanged();

    CUtf16Output m_out;
    std::vector<OpenElement> m_open;   // start tags written, each the first child of the one before
    std::unordered_set<pugi::xml_node_struct*> m_openSet;
    // This flush: what the walk may still append to, and what was written.
    std::unordered_set<pugi::xml_node_struct*> m_live;
    std::vector<pugi::xml_node> m_written;
    CNodeTable m_writtenOf;  // 1: written whole, 0: not (or still held)
    std::vector<pugi::xml_node_struct*> m_chain;
    pugi::xml_document m_standIns;
    std::size_t m_standInCount = 0;
    std::unordered_set<pugi::xml_node_struct*> m_standInSet;
    CNodeTable m_standInOf;  // this flush
    std::vector<std::size_t> m_openNodesKept;  // stack entries below the settled mark still in the document
    bool m_topLevelClosed = false;
    bool m_changed = false;
};
