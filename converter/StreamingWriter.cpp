#include "converter/StreamingWriter.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "converter/XmlTlvConverter.h"

CUtf16Output::CUtf16Output(const char* path) : m_path(path), m_buffer(new unsigned char[kBufferSize]) {
    Unit(0xFEFF);
}

CUtf16Output::~CUtf16Output() {
    if (!m_finished) Abandon();
}

void CUtf16Output::Ascii(const char* text) { Text(text); }

// pugixml's UTF-8 decoding: a lead byte followed by its continuation bytes
// is one character (no check for overlong forms or surrogates); any other
// byte is dropped. Bytes dropped one at a time give the same result however
// the text is split, so a text decoded alone gives the bytes it gives in
// the whole document.
void CUtf16Output::Text(const char* utf8) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8);
    auto continues = [](unsigned char byte) { return (byte & 0xC0) == 0x80; };
    for (;;) {
        // A run of ASCII, as far as the buffer has room.
        unsigned char* out = m_buffer.get() + m_used;
        const std::size_t room = (kBufferSize - m_used) / 2;
        std::size_t n = 0;
        for (; n < room && p[n] != 0 && p[n] < 0x80; ++n) {
            out[2 * n] = p[n];
            out[2 * n + 1] = 0;
        }
        m_used += 2 * n;
        p += n;
        if (*p == 0) return;
        const std::uint32_t lead = *p;
        if (lead < 0x80) {
            FlushBuffer();
        } else if (lead - 0xC0 < 0x20 && continues(p[1])) {
            Unit(((lead & ~0xC0u) << 6) | (p[1] & 0x3Fu));
            p += 2;
        } else if (lead - 0xE0 < 0x10 && continues(p[1]) && continues(p[2])) {
            Unit(((lead & ~0xE0u) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu));
            p += 3;
        } else if (lead - 0xF0 < 0x08 && continues(p[1]) && continues(p[2]) && continues(p[3])) {
            const std::uint32_t ch = ((lead & ~0xF0u) << 18) | ((p[1] & 0x3Fu) << 12) |
                                     ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
            Unit((0xD800 + ((ch - 0x10000) >> 10)) & 0xFFFF);
            Unit((0xDC00 + ((ch - 0x10000) & 0x3FF)) & 0xFFFF);
            p += 4;
        } else {
            p += 1;
        }
    }
}

void CUtf16Output::write(const void* data, std::size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        if (m_used == kBufferSize) FlushBuffer();
        const std::size_t part = std::min(size, kBufferSize - m_used);
        std::memcpy(m_buffer.get() + m_used, bytes, part);
        m_used += part;
        bytes += part;
        size -= part;
    }
}

void CUtf16Output::FlushBuffer() {
    if (!m_file) m_file.reset(new COutputFile(m_path));
    m_file->write(m_buffer.get(), m_used);
    m_used = 0;
}

void CUtf16Output::Finish() {
    FlushBuffer();
    m_file->Close();
    m_finished = true;
}

void CUtf16Output::Abandon() noexcept {
    m_finished = true;
    if (!m_file) return;
    const bool opened = m_file->IsOpen();
    m_file.reset();
    // Only a file this call made or overwrote; a device or pipe stays.
    struct stat facts;
    if (opened && stat(m_path, &facts) == 0 && S_ISREG(facts.st_mode)) std::remove(m_path);
}

void CNodeTable::Clear() {
    m_count = 0;
    if (++m_generation != 0) return;
    for (Slot& slot : m_slots) slot.generation = 0;
    m_generation = 1;
}

std::size_t CNodeTable::SlotOf(const void* key) const {
    const std::size_t mask = m_slots.size() - 1;
    std::size_t i = static_cast<std::size_t>((reinterpret_cast<std::uintptr_t>(key) >> 4) * 0x9E3779B97F4A7C15ull >> 20) & mask;
    while (m_slots[i].generation == m_generation && m_slots[i].key != key) i = (i + 1) & mask;
    return i;
}

const std::uintptr_t* CNodeTable::Find(const void* key) const {
    if (m_slots.empty()) return nullptr;
    const Slot& slot = m_slots[SlotOf(key)];
    return slot.generation == m_generation ? &slot.value : nullptr;
}

void CNodeTable::Insert(const void* key, std::uintptr_t value) {
    if (2 * (m_count + 1) > m_slots.size()) {
        std::vector<Slot> old;
        old.swap(m_slots);
        const std::uint32_t generation = m_generation;
        m_slots.assign(old.empty() ? 1024 : 2 * old.size(), Slot{nullptr, 0, 0});
        m_generation = 1;
        m_count = 0;
        for (const Slot& slot : old) {
            if (slot.generation == generation) Insert(slot.key, slot.value);
        }
    }
    Slot& slot = m_slots[SlotOf(key)];
    if (slot.generation != m_generation) ++m_count;
    slot = Slot{key, value, m_generation};
}

CStreamingWriter::CStreamingWriter(const char* path) : m_out(path) {}

namespace {

const char* OutputName(const char* name) { return *name != '\0' ? name : ":anonymous"; }

}  // namespace

void CStreamingWriter::CheckOpen(const OpenElement& open) {
    if (open.node.last_attribute() != open.lastAttribute) m_changed = true;
}

// Written in this flush: inside a subtree written whole. The answer is
// kept for every element on the way up.
bool CStreamingWriter::Written(pugi::xml_node node) {
    std::vector<pugi::xml_node_struct*>& chain = m_chain;
    chain.clear();
    bool written = false;
    for (pugi::xml_node at = node; at.type() != pugi::node_document; at = at.parent()) {
        pugi::xml_node_struct* const key = at.internal_object();
        if (const std::uintptr_t* known = m_writtenOf.Find(key)) {
            written = *known != 0;
            break;
        }
        chain.push_back(key);
        if (m_openSet.count(key) != 0) break;
    }
    for (pugi::xml_node_struct* key : chain) m_writtenOf.Insert(key, written ? 1 : 0);
    return written;
}

void CStreamingWriter::PushOpen(pugi::xml_node element) {
    m_open.push_back({element, element.last_attribute()});
    m_openSet.insert(element.internal_object());
}

void CStreamingWriter::PopOpen(std::size_t depth) {
    while (m_open.size() > depth) {
        m_openSet.erase(m_open.back().node.internal_object());
        m_open.pop_back();
    }
}

void CStreamingWriter::WriteStartTag(pugi::xml_node element) {
    m_out.Ascii("<");
    m_out.Text(OutputName(element.name()));
    for (pugi::xml_attribute attribute : element.attributes()) {
        m_out.Ascii(" ");
        m_out.Text(OutputName(attribute.name()));
        m_out.Ascii("=\"");
        m_out.Text(attribute.value());
        m_out.Ascii("\"");
    }
}

void CStreamingWriter::WriteEndTag(pugi::xml_node element) {
    m_out.Ascii("</");
    m_out.Text(OutputName(element.name()));
    m_out.Ascii(">");
}

// pugixml's own printing of the node, with the conversion's format: the
// bytes it has in the saved document (its UTF-8 decoding drops bytes one
// at a time, so a node printed alone decodes as it does in the whole).
void CStreamingWriter::WriteWhole(pugi::xml_node node) {
    const pugi::xml_node_type type = node.type();
    if (type != pugi::node_element && type != pugi::node_pcdata && type != pugi::node_declaration) {
        // No walk makes other nodes; should one appear, the whole document
        // is saved instead.
        m_changed = true;
        return;
    }
    node.print(m_out, PUGIXML_TEXT(""), pugi::format_raw | pugi::format_no_escapes, pugi::encoding_utf16_le);
}

// Closes the open elements from the given depth down: what each holds after
// its open child, then its end tag.
void CStreamingWriter::CloseOpen(std::size_t depth) {
    for (std::size_t level = m_open.size(); level-- > depth;) {
        const pugi::xml_node element = m_open[level].node;
        CheckOpen(m_open[level]);
        pugi::xml_node child =
            level + 1 < m_open.size() ? m_open[level + 1].node.next_sibling() : element.first_child();
        for (; child; child = child.next_sibling()) WriteWhole(child);
        WriteEndTag(element);
    }
    PopOpen(depth);
}

// Writes the document down to the first element the walk may still append
// to, or that holds one: the elements the converter's handles point to and
// the top of its stack of open elements. Such an element gets its start tag
// once it has a child; its children are handled alike, and what follows it
// waits for the next flush. Unless final: then everything is written.
void CStreamingWriter::Emit(pugi::xml_document& document, bool final) {
    if (final) {
        for (pugi::xml_node child = document.first_child(); child; child = child.next_sibling()) {
            if (!m_open.empty() && child == m_open[0].node) CloseOpen(0);
            else WriteWhole(child);
        }
        return;
    }
    pugi::xml_node parent = document;
    std::size_t depth = 0;
    pugi::xml_node child = parent.first_child();
    while (child) {
        const pugi::xml_node next = child.next_sibling();
        const bool open = depth < m_open.size() && m_open[depth].node == child;
        if (open) CheckOpen(m_open[depth]);
        if (m_live.count(child.internal_object()) != 0) {
            if (!open) {
                if (!child.first_child()) return;
                WriteStartTag(child);
                m_out.Ascii(">");
                PushOpen(child);
            }
            parent = child;
            ++depth;
            child = parent.first_child();
            continue;
        }
        if (open) CloseOpen(depth);
        else WriteWhole(child);
        if (depth == 0 && child.type() == pugi::node_element) m_topLevelClosed = true;
        m_written.push_back(child);
        m_writtenOf.Insert(child.internal_object(), 1);
        child = next;
    }
}

void CStreamingWriter::MarkLive(pugi::xml_node node) {
    for (; node && node.type() != pugi::node_document; node = node.parent()) {
        if (!m_live.insert(node.internal_object()).second) return;
    }
}

pugi::xml_node CStreamingWriter::StandIn(pugi::xml_node node) {
    // The ancestors without a stand-in of this flush, nearest first.
    std::vector<pugi::xml_node> chain;
    pugi::xml_node parent = m_standIns;
    for (pugi::xml_node at = node; at.type() != pugi::node_document; at = at.parent()) {
        if (const std::uintptr_t* known = m_standInOf.Find(at.internal_object())) {
            parent = pugi::xml_node(reinterpret_cast<pugi::xml_node_struct*>(*known));
            break;
        }
        chain.push_back(at);
    }
    for (std::size_t i = chain.size(); i-- > 0;) {
        const pugi::xml_node original = chain[i];
        const char* name = original.name();
        pugi::xml_node standIn;
        for (pugi::xml_node child : parent.children()) {
            if (child.type() == original.type() && std::strcmp(child.name(), name) == 0) {
                standIn = child;
                break;
            }
        }
        if (!standIn) {
            standIn = parent.append_child(original.type());
            standIn.set_name(name);
            m_standInSet.insert(standIn.internal_object());
            ++m_standInCount;
        }
        m_standInOf.Insert(original.internal_object(), reinterpret_cast<std::uintptr_t>(standIn.internal_object()));
        parent = standIn;
    }
    return parent;
}

bool CStreamingWriter::IsStandIn(pugi::xml_node node) const {
    return m_standInSet.count(node.internal_object()) != 0;
}

void CStreamingWriter::MoveHandle(pugi::xml_node& handle) {
    if (!handle || IsStandIn(handle) || !Written(handle)) return;
    handle = StandIn(handle);
}

void CStreamingWriter::Flush(CXmlTlvConverter& converter, pugi::xml_document& document) {
    m_live.clear();
    for (pugi::xml_node handle : {converter.m_listNode, converter.m_outputRoot, converter.m_recordNode,
                                  converter.m_fieldNode}) {
        if (!IsStandIn(handle)) MarkLive(handle);
    }
    if (!converter.m_openNodes.empty() && !IsStandIn(converter.m_openNodes.back())) {
        MarkLive(converter.m_openNodes.back());
    }
    Emit(document, false);

    MoveHandle(converter.m_listNode);
    MoveHandle(converter.m_outputRoot);
    MoveHandle(converter.m_recordNode);
    MoveHandle(converter.m_fieldNode);
    // Stack entries below the settled mark are as the last flush left them:
    // stand-ins, or the few that were still in the document then.
    std::deque<pugi::xml_node>& stack = converter.m_openNodes;
    const std::size_t settled = std::min(converter.m_openNodesSettled, stack.size());
    std::vector<std::size_t> kept;
    auto move = [&](std::size_t index) {
        MoveHandle(stack[index]);
        if (stack[index] && !IsStandIn(stack[index])) kept.push_back(index);
    };
    for (std::size_t index : m_openNodesKept) {
        if (index < settled) move(index);
    }
    for (std::size_t index = settled; index < stack.size(); ++index) move(index);
    m_openNodesKept.swap(kept);
    converter.m_openNodesSettled = stack.size();

    for (pugi::xml_node node : m_written) node.parent().remove_child(node);
    m_written.clear();
    m_writtenOf.Clear();
    m_standInOf.Clear();
}

bool CStreamingWriter::StandInsUnchanged() {
    std::size_t elements = 0;
    bool other = false;
    struct Counter : pugi::xml_tree_walker {
        std::size_t* elements;
        bool* other;
        bool for_each(pugi::xml_node& node) override {
            if (node.type() != pugi::node_element || node.first_attribute()) *other = true;
            ++*elements;
            return true;
        }
    } counter;
    counter.elements = &elements;
    counter.other = &other;
    m_standIns.traverse(counter);
    return !other && elements == m_standInCount;
}

bool CStreamingWriter::Finish(CXmlTlvConverter&, pugi::xml_document& document) {
    if (m_changed || !StandInsUnchanged()) return false;
    Emit(document, true);
    if (m_changed) return false;
    m_out.Finish();
    return true;
}
