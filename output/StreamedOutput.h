// The output tree of the library's conversions: written while the walk
// appends, so that memory holds only the recent part of the output.
//
// What the walk appends is pending in memory first. Every thousand or so
// elements the pending part is written in document order up to the first
// element appended recently (the last hundred or so): the walks append mostly
// to what they made last (a field to its record, an error number to its
// exception block), so the recent part is kept in memory where such appends
// cost nothing. The elements on the way to what is still pending are open:
// their start tags are out, their end tags not. An element's start tag is
// ended (">", or "/>" when it closes without children) when its first child
// is written or when it closes. A closed element is known by where its
// "</name>" or "/>" begins; a handle to it needs no memory (Settle).
//
// A walk may still append to an element that is written and closed (an
// element it held on to while later ones went out). Those late children are
// held in memory, with everything appended to them, and go into the file at
// Finish, at the element's close offset (CSplicedFile moves what follows):
// the file holds exactly the bytes of the whole document saved at the end.
//
// The bytes are those of pugixml's save of such a document as UTF-16LE with
// byte-order mark, raw, unescaped: the declaration, `<a/>` for an element
// without children, `<a>text</a>` for one holding a text (also an empty one),
// ":anonymous" for an empty name, UTF-8 decoded as pugixml decodes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "output/MarkupWriter.h"
#include "output/OutputTree.h"
#include "output/SplicedFile.h"
#include "output/Utf16Output.h"

class CStreamedOutput : public COutputTree {
public:
    // A null path: nothing is written (a walk that only looks). A file not
    // written in full is noted in `unwritten`. The pending part is written
    // when it has writeAfter elements, up to the last `recent` appended
    // (tests make both small).
    CStreamedOutput(const char* path, UnwrittenFiles* unwritten, std::size_t writeAfter = 1024,
                    std::uint64_t recent = 128);
    ~CStreamedOutput() override;
    CStreamedOutput(const CStreamedOutput&) = delete;
    CStreamedOutput& operator=(const CStreamedOutput&) = delete;

    OutNode Document() override { return OutNode(&m_document); }
    OutNode AppendElement(const OutNode& parent, const char* name, const OutAttributes& attributes) override;
    OutNode AppendTextElement(const OutNode& parent, const char* name, const char* text, bool lasting) override;
    OutNode FirstTopLevel(const char* name) override;
    void Settle(OutNode& node) override;

    // Writes the rest and puts the late children in place; the file stays
    // open, and held, until Keep.
    void Finish();
    // The call wrote all its files: the output stays. Without it, the file
    // goes with the output object.
    void Keep() {
        if (m_file) m_file->Keep();
    }

private:
    struct Element : OutElement {
        // Pending: in memory, to be written. Start tag, open: on the path of
        // open elements. Closed: written. Held: a late child, or in one.
        enum State : std::uint8_t { kPending, kStartTag, kOpen, kClosed, kHeld };
        State state = kPending;
        // Open with pending children: its place in m_pathPending.
        std::uint32_t pendingAt = 0;
        std::uint64_t at = 0;   // open: its place in m_path; closed: its mark
        std::uint64_t number = 0;  // order of appending
        const char* text = nullptr;  // the text it holds, if any
        bool textCopied = false;     // in a text store, not lasting
        OutAttributes attributes;
        // Children not yet written (pending or held), in order.
        Element* firstChild = nullptr;
        Element* lastChild = nullptr;
        Element* next = nullptr;  // the next such sibling, or the next free record
    };
    // The names of elements, with the name's tags as written.
    struct NamesWithTags : OutNames {
        TagBytes tags;
    };
    static const TagBytes& TagsOf(const OutNames* names) { return static_cast<const NamesWithTags*>(names)->tags; }
    // A closed element that was given late children.
    struct LateChildren {
        const OutNames* names;
        Element* firstChild = nullptr;
        Element* lastChild = nullptr;
    };
    // Copies of texts: chunks that are freed together.
    class TextStore {
    public:
        const char* Copy(const char* text);
        void Clear();

    private:
        std::vector<std::unique_ptr<char[]>> m_chunks;
        std::size_t m_used = 0;
        std::size_t m_size = 0;
    };

    void Released(OutElement* element) noexcept override;
    const OutNames* Names(const char* name, const char* parentName);
    Element* NewElement(const OutNames* names);
    OutNode Append(const OutNode& parent, const char* name, const OutAttributes& attributes, const char* text,
                   bool lasting);
    // Writes the pending part in document order up to the first element
    // numbered from `recent` on (all of it at Finish).
    void WritePending(std::uint64_t recent);
    void CloseTop();
    // An open element got its first pending child, or wrote its last.
    void PendingBegins(Element* open);
    void PendingEnds(Element* open);
    // The texts of what stays pending move to a fresh store.
    void KeepPendingTexts();
    static void Render(const Element* element, CMarkupWriter& writer);

    // The file, or nowhere for a walk that only looks; declared before the
    // writing that goes into it.
    CNullSink m_nothing;
    std::unique_ptr<CSplicedFile> m_file;
    CUtf16Output m_out;
    CMarkupWriter m_writer{m_out};
    OutNames m_documentNames;
    Element m_document;
    std::vector<Element*> m_path;  // open elements, the document first
    std::vector<Element*> m_pathPending;  // those of them with pending children, in no order
    const std::size_t m_writeAfter;
    const std::uint64_t m_recent;
    std::size_t m_pending = 0;
    std::size_t m_writeAt;
    std::uint64_t m_appended = 0;
    std::map<std::uint64_t, LateChildren> m_late;  // by mark
    std::vector<std::pair<const char*, OutNode>> m_firstTopLevel;

    struct PairHash {
        std::size_t operator()(const std::pair<const char*, const char*>& key) const {
            return std::hash<const void*>()(key.first) * 31 + std::hash<const void*>()(key.second);
        }
    };
    std::unordered_map<std::pair<const char*, const char*>, const OutNames*, PairHash> m_namesIndex;
    std::deque<NamesWithTags> m_names;
    static constexpr std::size_t kNamesCacheSize = 256;
    const OutNames* m_namesCache[kNamesCacheSize] = {};

    std::vector<std::unique_ptr<Element[]>> m_blocks;
    Element* m_free = nullptr;
    TextStore m_texts[2];  // of pending elements: the current one, and the next
    int m_currentTexts = 0;
    TextStore m_heldTexts;
};
