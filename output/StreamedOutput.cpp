#include "output/StreamedOutput.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kBlockSize = 256;
constexpr std::size_t kTextChunkSize = 64 * 1024;
const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>";

// The mark of a closed element: where it ends, whether it was written as
// `<a/>`, and the low bit that tells a mark from an element's address.
std::uint64_t Mark(std::uint64_t offset, bool empty) { return offset << 2 | (empty ? 2u : 0u) | 1u; }
std::uint64_t MarkOffset(std::uint64_t mark) { return mark >> 2; }
bool MarkEmpty(std::uint64_t mark) { return (mark & 2) != 0; }

}  // namespace

const char* CStreamedOutput::TextStore::Copy(const char* text) {
    const std::size_t size = std::strlen(text) + 1;
    if (m_chunks.empty() || m_used + size > m_size) {
        std::unique_ptr<char[]> chunk(new char[std::max(kTextChunkSize, size)]);
        m_chunks.push_back(std::move(chunk));
        m_size = std::max(kTextChunkSize, size);
        m_used = 0;
    }
    char* copy = m_chunks.back().get() + m_used;
    std::memcpy(copy, text, size);
    m_used += size;
    return copy;
}

void CStreamedOutput::TextStore::Clear() {
    if (m_chunks.size() > 1) m_chunks.erase(m_chunks.begin(), m_chunks.end() - 1);
    m_used = 0;
}

CStreamedOutput::CStreamedOutput(const char* path, UnwrittenFiles* unwritten, std::size_t writeAfter,
                                 std::uint64_t recent)
    : m_file(path != nullptr ? std::make_unique<CSplicedFile>(path, unwritten) : nullptr),
      m_out(m_file ? static_cast<CByteSink&>(*m_file) : m_nothing, true),
      m_documentNames{"", "", this}, m_writeAfter(writeAfter), m_recent(recent), m_writeAt(writeAfter) {
    m_document.names = &m_documentNames;
    m_document.refs = 1;  // the output's own: never released
    m_document.state = Element::kOpen;
    m_path.push_back(&m_document);
    m_writer.Markup(kDeclaration);
}

CStreamedOutput::~CStreamedOutput() {
    // Handles kept here go before the elements they count.
    m_firstTopLevel.clear();
}

const OutNames* CStreamedOutput::Names(const char* name, const char* parentName) {
    // A few dozen pairs make up most of an output: a small table by the
    // two pointers finds them without the map.
    const std::uintptr_t mixed = reinterpret_cast<std::uintptr_t>(name) * 31 + reinterpret_cast<std::uintptr_t>(parentName);
    const OutNames*& cached = m_namesCache[(mixed ^ (mixed >> 9)) % kNamesCacheSize];
    if (cached != nullptr && cached->name == name && cached->parentName == parentName) return cached;
    const auto key = std::make_pair(name, parentName);
    auto found = m_namesIndex.find(key);
    if (found == m_namesIndex.end()) {
        m_names.emplace_back();
        NamesWithTags& names = m_names.back();
        names.name = name;
        names.parentName = parentName;
        names.owner = this;
        names.tags = CMarkupWriter::Tags(name);
        found = m_namesIndex.emplace(key, &m_names.back()).first;
    }
    cached = found->second;
    return cached;
}

CStreamedOutput::Element* CStreamedOutput::NewElement(const OutNames* names) {
    if (m_free == nullptr) {
        // Owned before the list of blocks grows: a list that cannot grow
        // loses no block.
        std::unique_ptr<Element[]> owned(new Element[kBlockSize]);
        m_blocks.push_back(std::move(owned));
        Element* block = m_blocks.back().get();
        for (std::size_t i = 0; i < kBlockSize; ++i) {
            block[i].next = m_free;
            m_free = &block[i];
        }
    }
    Element* element = m_free;
    m_free = element->next;
    *element = Element();
    element->names = names;
    return element;
}

void CStreamedOutput::Released(OutElement* released) noexcept {
    Element* element = static_cast<Element*>(released);
    element->next = m_free;
    m_free = element;
}

OutNode CStreamedOutput::Append(const OutNode& parent, const char* name, const OutAttributes& attributes,
                                const char* text, bool lasting) {
    Element** first;
    Element** last;
    bool held = false;
    Element* at = static_cast<Element*>(parent.Element());
    if (at != nullptr && at->state != Element::kClosed) {
        first = &at->firstChild;
        last = &at->lastChild;
        held = at->state == Element::kHeld;
        if (*first == nullptr && (at->state == Element::kStartTag || at->state == Element::kOpen)) {
            PendingBegins(at);
        }
    } else {
        // Closed: its late children, found by where it ends.
        const std::uint64_t mark = at != nullptr ? at->at : parent.Mark();
        auto late = m_late.find(mark);
        if (late == m_late.end()) late = m_late.emplace(mark, LateChildren{parent.Names()}).first;
        first = &late->second.firstChild;
        last = &late->second.lastChild;
        held = true;
    }
    Element* element = NewElement(Names(name, parent.Name()));
    ++element->refs;  // the tree's, until it is written (held: until the end)
    element->number = m_appended++;
    TextStore& texts = held ? m_heldTexts : m_texts[m_currentTexts];
    if (text != nullptr) {
        element->text = lasting ? text : texts.Copy(text);
        element->textCopied = !lasting;
    }
    for (int i = 0; i < attributes.count; ++i) {
        element->attributes.Add(attributes.names[i], texts.Copy(attributes.values[i]));
    }
    if (*last != nullptr) (*last)->next = element;
    else *first = element;
    *last = element;
    // The handle counts before anything is written: writing may close it.
    OutNode node(element);
    if (held) {
        element->state = Element::kHeld;
    } else if (++m_pending >= m_writeAt) {
        WritePending(m_appended > m_recent ? m_appended - m_recent : 0);
        KeepPendingTexts();
        // Should much stay pending, it is looked at again only when it has doubled.
        m_writeAt = std::max(m_writeAfter, 2 * m_pending);
    }
    return node;
}

OutNode CStreamedOutput::AppendElement(const OutNode& parent, const char* name, const OutAttributes& attributes) {
    if (!parent) return OutNode();
    OutNode node = Append(parent, name, attributes, nullptr, false);
    if (parent.Element() == &m_document) {
        bool known = false;
        for (const auto& entry : m_firstTopLevel) known = known || std::strcmp(entry.first, name) == 0;
        if (!known) m_firstTopLevel.emplace_back(name, node);
    }
    return node;
}

OutNode CStreamedOutput::AppendTextElement(const OutNode& parent, const char* name, const char* text, bool lasting) {
    if (!parent) return OutNode();
    return Append(parent, name, OutAttributes(), text, lasting);
}

OutNode CStreamedOutput::FirstTopLevel(const char* name) {
    for (const auto& entry : m_firstTopLevel) {
        if (std::strcmp(entry.first, name) == 0) return entry.second;
    }
    return OutNode();
}

void CStreamedOutput::Settle(OutNode& node) {
    const Element* element = static_cast<const Element*>(node.Element());
    if (element != nullptr && element->state == Element::kClosed) node = OutNode(node.Names(), element->at);
}

void CStreamedOutput::PendingBegins(Element* open) {
    open->pendingAt = static_cast<std::uint32_t>(m_pathPending.size());
    m_pathPending.push_back(open);
}

void CStreamedOutput::PendingEnds(Element* open) {
    Element* last = m_pathPending.back();
    m_pathPending[open->pendingAt] = last;
    last->pendingAt = open->pendingAt;
    m_pathPending.pop_back();
}

void CStreamedOutput::CloseTop() {
    Element* element = m_path.back();
    m_path.pop_back();
    const std::uint64_t offset = m_out.Offset();
    const bool empty = element->state == Element::kStartTag;
    if (empty) {
        m_writer.EmptyEnd();
    } else {
        m_writer.EndTag(TagsOf(element->names));
    }
    element->state = Element::kClosed;
    element->at = Mark(offset, empty);
    element->text = nullptr;
    element->textCopied = false;
    if (--element->refs == 0) Released(element);
}

// Pending children of an open element come after its open child: the
// deepest open element's pending children go first, then it closes, then
// those of the one above. An open element stays open while nothing above it
// is pending.
void CStreamedOutput::WritePending(std::uint64_t recent) {
    for (;;) {
        Element* parent = m_path.back();
        Element* element = parent->firstChild;
        if (element == nullptr) {
            if (m_pathPending.empty() || m_path.size() == 1) return;
            CloseTop();
            continue;
        }
        if (element->number >= recent) return;
        parent->firstChild = element->next;
        if (parent->firstChild == nullptr) {
            parent->lastChild = nullptr;
            PendingEnds(parent);
        }
        element->next = nullptr;
        --m_pending;
        if (parent->state == Element::kStartTag) {
            m_writer.EndStartTag();
            parent->state = Element::kOpen;
        }
        m_writer.StartTag(TagsOf(element->names), element->attributes);
        element->attributes = OutAttributes();
        element->state = Element::kStartTag;
        if (element->text != nullptr) {
            m_writer.EndStartTag();
            m_writer.Text(element->text);
            element->state = Element::kOpen;
            // Written: its copy may go with the store that holds it.
            element->text = nullptr;
            element->textCopied = false;
        }
        element->at = m_path.size();
        m_path.push_back(element);
        if (element->firstChild != nullptr) PendingBegins(element);
    }
}

void CStreamedOutput::KeepPendingTexts() {
    TextStore& next = m_texts[1 - m_currentTexts];
    next.Clear();
    std::vector<Element*> stack;
    for (Element* open : m_pathPending) {
        for (Element* child = open->firstChild; child != nullptr; child = child->next) stack.push_back(child);
    }
    while (!stack.empty()) {
        Element* element = stack.back();
        stack.pop_back();
        if (element->textCopied) element->text = next.Copy(element->text);
        for (int i = 0; i < element->attributes.count; ++i) {
            element->attributes.values[i] = next.Copy(element->attributes.values[i]);
        }
        for (Element* child = element->firstChild; child != nullptr; child = child->next) stack.push_back(child);
    }
    m_currentTexts = 1 - m_currentTexts;
}

// Without recursion: a held subtree may be as deep as the input.
void CStreamedOutput::Render(const Element* root, CMarkupWriter& writer) {
    std::vector<const Element*> parents;
    const Element* element = root;
    for (;;) {
        writer.StartTag(TagsOf(element->names), element->attributes);
        if (element->text == nullptr && element->firstChild == nullptr) {
            writer.EmptyEnd();
        } else {
            writer.EndStartTag();
            if (element->text != nullptr) writer.Text(element->text);
            if (element->firstChild != nullptr) {
                parents.push_back(element);
                element = element->firstChild;
                continue;
            }
            writer.EndTag(TagsOf(element->names));
        }
        // The next element: a sibling, or the end of a parent first.
        for (;;) {
            if (element == root) return;
            if (element->next != nullptr) {
                element = element->next;
                break;
            }
            element = parents.back();
            parents.pop_back();
            writer.EndTag(TagsOf(element->names));
        }
    }
}

void CStreamedOutput::Finish() {
    WritePending(m_appended);
    while (m_path.size() > 1) CloseTop();
    // The marks grow with the offsets: the map gives the insertions in order.
    std::vector<Splice> splices;
    splices.reserve(m_late.size());
    for (const auto& entry : m_late) {
        const bool empty = MarkEmpty(entry.first);
        Splice splice{MarkOffset(entry.first), 0, std::string()};
        {
            CStringSink into(splice.bytes);
            CUtf16Output bytes(into, false, CUtf16Output::kStringBufferSize);
            CMarkupWriter writer(bytes);
            // "/>" becomes ">", the children, "</name>".
            if (empty) {
                splice.removed = 4;
                writer.EndStartTag();
            }
            for (const Element* child = entry.second.firstChild; child != nullptr; child = child->next) {
                Render(child, writer);
            }
            if (empty) writer.EndTag(TagsOf(entry.second.names));
            bytes.Flush();
        }
        splices.push_back(std::move(splice));
    }
    m_out.Flush();
    if (m_file) m_file->Finish(splices, m_out.Offset());
}
