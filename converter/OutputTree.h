// What a conversion walk writes into: an output tree of elements, built by
// appending. The walks hold elements through OutNode handles and append to
// whichever element a handle names; the tree behind the interface decides
// when the bytes go out (CStreamedOutput writes as it goes).
//
// An element gets its attributes when it is made, never later, so that no
// start tag has to change once it is out. Appending to a null handle does
// nothing and gives a null handle, as appending to a node that could not be
// made.
#pragma once

#include <cstdint>

class COutputTree;

// One output element as the handles see it. Names point to text that lives
// as long as the run (the dictionary, the input document, literals).
struct OutElement {
    const char* name = "";
    const char* parentName = "";  // "" for an element at the top level
    std::uint32_t refs = 0;
    COutputTree* owner = nullptr;
};

// A counted handle to an output element; null by default.
class OutNode {
public:
    OutNode() = default;
    explicit OutNode(OutElement* element) : m_element(element) { Retain(); }
    OutNode(const OutNode& other) : m_element(other.m_element) { Retain(); }
    OutNode(OutNode&& other) noexcept : m_element(other.m_element) { other.m_element = nullptr; }
    OutNode& operator=(const OutNode& other) {
        OutElement* old = m_element;
        m_element = other.m_element;
        Retain();
        Release(old);
        return *this;
    }
    OutNode& operator=(OutNode&& other) noexcept {
        if (this != &other) {
            Release(m_element);
            m_element = other.m_element;
            other.m_element = nullptr;
        }
        return *this;
    }
    ~OutNode() { Release(m_element); }

    explicit operator bool() const { return m_element != nullptr; }
    bool operator==(const OutNode& other) const { return m_element == other.m_element; }
    bool operator!=(const OutNode& other) const { return m_element != other.m_element; }
    // The element's name, "" for a null handle.
    const char* Name() const { return m_element != nullptr ? m_element->name : ""; }
    // The name of the element it was appended to ("" at the top level).
    const char* ParentName() const { return m_element != nullptr ? m_element->parentName : ""; }
    OutElement* Get() const { return m_element; }

private:
    void Retain() {
        if (m_element != nullptr) ++m_element->refs;
    }
    static void Release(OutElement* element) noexcept;

    OutElement* m_element = nullptr;
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
    // Appends an element holding one text (also when the text is empty);
    // the text is copied when it has to be kept.
    virtual OutNode AppendTextElement(const OutNode& parent, const char* name, const char* text) = 0;
    // The first top-level element of that name, or a null handle.
    virtual OutNode FirstTopLevel(const char* name) = 0;

protected:
    friend class OutNode;
    // The last handle to an element went.
    virtual void Released(OutElement* element) noexcept = 0;
};

inline void OutNode::Release(OutElement* element) noexcept {
    if (element != nullptr && --element->refs == 0) element->owner->Released(element);
}
