// The output tree of the library's conversions: written as the walk appends,
// so that only the elements the walk still holds are in memory.
//
// The elements from the document down to the last one appended are open:
// their start tags are out, their end tags not. Appending to an open element
// closes the open ones below it and writes the new element at once; an
// element's start tag is ended (">", or "/>" when it closes without children)
// when its first child comes or when it closes. Where an element is closed,
// its close offset (where its "</name>" or "/>" begins) is kept for as long
// as a handle names it.
//
// A walk may append to an element that is closed already (an element it
// still holds after a later sibling came). Those late children are held in
// memory, with everything appended to them, and go into the file at Finish,
// at the element's close offset (CUtf16Output moves what follows): the file
// holds exactly the bytes of the whole document saved at the end.
//
// The bytes are those of pugixml's save of such a document as UTF-16LE with
// byte-order mark, raw, unescaped: the declaration, `<a/>` for an element
// without children, `<a>text</a>` for one holding a text (also an empty one),
// ":anonymous" for an empty name, UTF-8 decoded as pugixml decodes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "converter/OutputTree.h"
#include "converter/Utf16Output.h"

class CStreamedOutput : public COutputTree {
public:
    // A null path: nothing is written (a walk that only looks).
    explicit CStreamedOutput(const char* path);
    ~CStreamedOutput() override;
    CStreamedOutput(const CStreamedOutput&) = delete;
    CStreamedOutput& operator=(const CStreamedOutput&) = delete;

    OutNode Document() override { return OutNode(&m_document); }
    OutNode AppendElement(const OutNode& parent, const char* name, const OutAttributes& attributes) override;
    OutNode AppendTextElement(const OutNode& parent, const char* name, const char* text) override;
    OutNode FirstTopLevel(const char* name) override;

    // Closes every open element, puts the late children in place and closes
    // the file. Every handle must be gone first.
    void Finish();

private:
    struct Element : OutElement {
        enum State : std::uint8_t { kStartTag, kOpen, kClosed, kHeld };
        State state = kHeld;
        bool closedEmpty = false;
        std::size_t depth = 0;            // open: its place in m_path
        std::uint64_t closeOffset = 0;    // closed
        // Held elements, and closed ones with late children: the children.
        Element* firstChild = nullptr;
        Element* lastChild = nullptr;
        Element* next = nullptr;          // the next held sibling, or the next free record
        const char* text = nullptr;       // held: the text it holds, if any
        OutAttributes attributes;         // held: written at Finish
    };

    void Released(OutElement* element) noexcept override;
    Element* NewElement(Element* parent, const char* name);
    // Opens a new element under an open parent, ending the elements below it.
    Element* OpenUnder(Element* parent, const char* name, const OutAttributes& attributes);
    // Appends a held element to a held or closed parent.
    Element* HoldUnder(Element* parent, const char* name, const OutAttributes& attributes);
    void CloseOpen(std::size_t depth);
    void WriteStartTag(const char* name, const OutAttributes& attributes);
    const char* Keep(const char* text);
    void Render(const Element* element, std::string& bytes) const;

    CUtf16Output m_out;
    Element m_document;
    std::vector<Element*> m_path;     // open elements, the document first; each holds a reference
    std::vector<Element*> m_spliced;  // closed elements with late children; each holds a reference
    std::vector<std::pair<const char*, Element*>> m_firstTopLevel;
    std::vector<std::unique_ptr<Element[]>> m_blocks;
    Element* m_free = nullptr;
    std::vector<std::unique_ptr<char[]>> m_kept;  // texts of held elements
};
