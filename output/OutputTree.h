// What a conversion walk writes into: an output tree of elements, built by
// appending. The walks hold elements through OutNode handles and append to
// whichever element a handle names; the tree behind the interface decides
// when the bytes go out (CStreamedOutput writes as it goes, and holds in
// memory only the elements still open or held for the end).
//
// An element gets its attributes when it is made, never later, so that no
// start tag has to change once it is out. Appending to a null handle does
// nothing and gives a null handle, as appending to a node that could not be
// made.
#pragma once

#include <cstdint>
#include <utility>

class COutputTree;

// An element's name and the name of the element it was appended to ("" at
// the top level), shared by every element with the same two names. Names
// point to text that lives as long as the run (the dictionary, the input
// document, literals).
struct OutNames {
    const char* name;
    const char* parentName;
    COutputTree* owner;
};

// An element the output still holds in memory: open, or held until the end.
struct OutElement {
    const OutNames* names = nullptr;
    std::uint32_t refs = 0;
};

// A handle to an output element; null by default. It either counts a
// reference to the element the output holds, or, for an element that is
// written and closed, is itself all there is of it: its names and where it
// ends in the output (no memory is held for it).
class OutNode {
public:
    OutNode() = default;
    explicit OutNode(OutElement* element)
        : m_names(element->names), m_word(reinterpret_cast<std::uintptr_t>(element)) {
        ++element->refs;
    }
    // A closed element the output keeps nothing of: mark is odd.
    OutNode(const OutNames* names, std::uint64_t mark) : m_names(names), m_word(mark) {}
    OutNode(const OutNode& other) : m_names(other.m_names), m_word(other.m_word) {
        if (OutElement* element = Element()) ++element->refs;
    }
    OutNode(OutNode&& other) noexcept : m_names(other.m_names), m_word(other.m_word) {
        other.m_names = nullptr;
        other.m_word = 0;
    }
    OutNode& operator=(const OutNode& other) {
        OutNode copy(other);
        Swap(copy);
        return *this;
    }
    OutNode& operator=(OutNode&& other) noexcept {
        OutNode taken(std::move(other));
        Swap(taken);
        return *this;
    }
    ~OutNode() { Release(); }

    explicit operator bool() const { return m_names != nullptr; }
    // The element's name, "" for a null handle.
    const char* Name() const { return m_names != nullptr ? m_names->name : ""; }
    // The name of the element it was appended to ("" at the top level).
    const char* ParentName() const { return m_names != nullptr ? m_names->parentName : ""; }
    const OutNames* Names() const { return m_names; }
    // The element the output holds, or null.
    OutElement* Element() const {
        return (m_word & 1) == 0 ? reinterpret_cast<OutElement*>(static_cast<std::uintptr_t>(m_word)) : nullptr;
    }
    // For a handle without an element: the output's odd mark of where it ends.
    std::uint64_t Mark() const { return m_word; }

private:
    void Release() noexcept;
    void Swap(OutNode& other) noexcept {
        std::swap(m_names, other.m_names);
        std::swap(m_word, other.m_word);
    }

    const OutNames* m_names = nullptr;
    std::uint64_t m_word = 0;  // an OutElement*, or an odd mark
};

// At most two attributes, in the order they are written.
struct OutAttributes {
    const char* names[2] = {nullptr, nullptr};
    const char* values[2] = {nullptr, nullptr};
    int count = 0;

    OutAttributes() = default;
    OutAttributes(const char* name, const char* value) { Add(name, value); }
    void Add(const char* name, const char* value) {
        names[count] = name;
        values[count] = value;
        ++count;
    }
};

class COutputTree {
public:
    virtual ~COutputTree() = default;

    // The document itself: elements appended to it are top-level elements.
    virtual OutNode Document() = 0;
    // Appends an element with the given attributes to the end of parent's
    // children.
    virtual OutNode AppendElement(const OutNode& parent, const char* name,
                                  const OutAttributes& attributes = OutAttributes()) = 0;
    // Appends an element holding one text (also when the text is empty).
    // A lasting text lives as long as the output (in the input document, the
    // dictionary, a literal) and is not copied; any other is copied when it
    // has to be kept.
    virtual OutNode AppendTextElement(const OutNode& parent, const char* name, const char* text,
                                      bool lasting = false) = 0;
    // The first top-level element of that name, or a null handle.
    virtual OutNode FirstTopLevel(const char* name) = 0;
    // Gives a handle that holds no memory for an element that is written
    // and closed; any other handle stays as it is. The walks settle the
    // handles they keep for long (their stacks of open elements).
    virtual void Settle(OutNode&) {}

protected:
    friend class OutNode;
    // The last handle to an element went.
    virtual void Released(OutElement* element) noexcept = 0;
};

inline void OutNode::Release() noexcept {
    OutElement* element = Element();
    if (element != nullptr && --element->refs == 0) m_names->owner->Released(element);
}
