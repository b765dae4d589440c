#include "converter/StreamedOutput.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kBlockSize = 256;
const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>";

const char* OutputName(const char* name) { return *name != '\0' ? name : ":anonymous"; }

}  // namespace

CStreamedOutput::CStreamedOutput(const char* path) : m_out(path) {
    m_document.owner = this;
    m_document.refs = 1;  // the output's own: never released
    m_document.state = Element::kOpen;
    m_path.push_back(&m_document);
    m_out.Ascii(kDeclaration);
}

CStreamedOutput::~CStreamedOutput() = default;

CStreamedOutput::Element* CStreamedOutput::NewElement(Element* parent, const char* name) {
    if (m_free == nullptr) {
        m_blocks.emplace_back(new Element[kBlockSize]);
        Element* block = m_blocks.back().get();
        for (std::size_t i = 0; i < kBlockSize; ++i) {
            block[i].next = m_free;
            m_free = &block[i];
        }
    }
    Element* element = m_free;
    m_free = element->next;
    *element = Element();
    element->owner = this;
    element->name = name;
    element->parentName = parent->name;
    return element;
}

void CStreamedOutput::Released(OutElement* released) noexcept {
    Element* element = static_cast<Element*>(released);
    element->next = m_free;
    m_free = element;
}

void CStreamedOutput::WriteStartTag(const char* name, const OutAttributes& attributes) {
    m_out.Ascii("<");
    m_out.Text(OutputName(name));
    for (int i = 0; i < attributes.count; ++i) {
        m_out.Ascii(" ");
        m_out.Text(OutputName(attributes.names[i]));
        m_out.Ascii("=\"");
        m_out.Text(attributes.values[i]);
        m_out.Ascii("\"");
    }
}

void CStreamedOutput::CloseOpen(std::size_t depth) {
    while (m_path.size() > depth) {
        Element* element = m_path.back();
        m_path.pop_back();
        element->closeOffset = m_out.Offset();
        if (element->state == Element::kStartTag) {
            m_out.Ascii("/>");
            element->closedEmpty = true;
        } else {
            m_out.Ascii("</");
            m_out.Text(OutputName(element->name));
            m_out.Ascii(">");
        }
        element->state = Element::kClosed;
        if (--element->refs == 0) Released(element);
    }
}

CStreamedOutput::Element* CStreamedOutput::OpenUnder(Element* parent, const char* name,
                                                     const OutAttributes& attributes) {
    Element* element = NewElement(parent, name);
    CloseOpen(parent->depth + 1);
    if (parent->state == Element::kStartTag) {
        m_out.Ascii(">");
        parent->state = Element::kOpen;
    }
    WriteStartTag(name, attributes);
    element->state = Element::kStartTag;
    element->depth = m_path.size();
    ++element->refs;  // the path's
    m_path.push_back(element);
    return element;
}

const char* CStreamedOutput::Keep(const char* text) {
    const std::size_t size = std::strlen(text) + 1;
    m_kept.emplace_back(new char[size]);
    std::memcpy(m_kept.back().get(), text, size);
    return m_kept.back().get();
}

CStreamedOutput::Element* CStreamedOutput::HoldUnder(Element* parent, const char* name,
                                                     const OutAttributes& attributes) {
    if (parent->state == Element::kClosed && parent->firstChild == nullptr) {
        ++parent->refs;  // kept until Finish puts its late children in place
        m_spliced.push_back(parent);
    }
    Element* element = NewElement(parent, name);
    element->state = Element::kHeld;
    ++element->refs;  // the tree's: held elements stay until Finish
    for (int i = 0; i < attributes.count; ++i) {
        element->attributes.Add(attributes.names[i], Keep(attributes.values[i]));
    }
    if (parent->lastChild != nullptr) parent->lastChild->next = element;
    else parent->firstChild = element;
    parent->lastChild = element;
    return element;
}

OutNode CStreamedOutput::AppendElement(const OutNode& parent, const char* name, const OutAttributes& attributes) {
    Element* at = static_cast<Element*>(parent.Get());
    if (at == nullptr) return OutNode();
    if (at->state == Element::kStartTag || at->state == Element::kOpen) {
        Element* element = OpenUnder(at, name, attributes);
        if (at == &m_document) {
            const bool known = std::any_of(m_firstTopLevel.begin(), m_firstTopLevel.end(),
                                           [name](const auto& entry) { return std::strcmp(entry.first, name) == 0; });
            if (!known) {
                ++element->refs;
                m_firstTopLevel.emplace_back(name, element);
            }
        }
        return OutNode(element);
    }
    return OutNode(HoldUnder(at, name, attributes));
}

OutNode CStreamedOutput::AppendTextElement(const OutNode& parent, const char* name, const char* text) {
    Element* at = static_cast<Element*>(parent.Get());
    if (at == nullptr) return OutNode();
    if (at->state == Element::kHeld || at->state == Element::kClosed) {
        Element* element = HoldUnder(at, name, OutAttributes());
        element->text = Keep(text);
        return OutNode(element);
    }
    // Written whole at once: the element is closed as soon as it is made.
    Element* element = OpenUnder(at, name, OutAttributes());
    m_out.Ascii(">");
    m_out.Text(text);
    m_path.pop_back();
    --element->refs;
    element->state = Element::kClosed;
    element->closeOffset = m_out.Offset();
    m_out.Ascii("</");
    m_out.Text(OutputName(name));
    m_out.Ascii(">");
    return OutNode(element);
}

OutNode CStreamedOutput::FirstTopLevel(const char* name) {
    for (const auto& entry : m_firstTopLevel) {
        if (std::strcmp(entry.first, name) == 0) return OutNode(entry.second);
    }
    return OutNode();
}

// Without recursion: a held subtree may be as deep as the input.
void CStreamedOutput::Render(const Element* root, std::string& bytes) const {
    auto endTag = [&bytes](const Element* element) {
        AppendUtf16(bytes, "</");
        AppendUtf16(bytes, OutputName(element->name));
        AppendUtf16(bytes, ">");
    };
    std::vector<const Element*> parents;
    const Element* element = root;
    for (;;) {
        AppendUtf16(bytes, "<");
        AppendUtf16(bytes, OutputName(element->name));
        for (int i = 0; i < element->attributes.count; ++i) {
            AppendUtf16(bytes, " ");
            AppendUtf16(bytes, OutputName(element->attributes.names[i]));
            AppendUtf16(bytes, "=\"");
            AppendUtf16(bytes, element->attributes.values[i]);
            AppendUtf16(bytes, "\"");
        }
        if (element->text == nullptr && element->firstChild == nullptr) {
            AppendUtf16(bytes, "/>");
        } else {
            AppendUtf16(bytes, ">");
            if (element->text != nullptr) AppendUtf16(bytes, element->text);
            if (element->firstChild != nullptr) {
                parents.push_back(element);
                element = element->firstChild;
                continue;
            }
            endTag(element);
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
            endTag(element);
        }
    }
}

void CStreamedOutput::Finish() {
    CloseOpen(1);
    std::vector<Splice> splices;
    splices.reserve(m_spliced.size());
    for (const Element* element : m_spliced) {
        Splice splice{element->closeOffset, 0, std::string()};
        if (element->closedEmpty) {
            // "/>" becomes ">", the children, "</name>".
            splice.removed = 4;
            AppendUtf16(splice.bytes, ">");
        }
        for (const Element* child = element->firstChild; child != nullptr; child = child->next) {
            Render(child, splice.bytes);
        }
        if (element->closedEmpty) {
            AppendUtf16(splice.bytes, "</");
            AppendUtf16(splice.bytes, OutputName(element->name));
            AppendUtf16(splice.bytes, ">");
        }
        splices.push_back(std::move(splice));
    }
    std::sort(splices.begin(), splices.end(),
              [](const Splice& a, const Splice& b) { return a.offset < b.offset; });
    m_out.Finish(splices);
}
