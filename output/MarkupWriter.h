// The library's one writer of XML markup: tags, attributes and texts, as
// UTF-16LE through a CUtf16Output, in the form pugixml's save gives them.
// The conversion outputs (streamed and their late subtrees) write texts as
// they stand; the status file escapes them. A name that is empty is written
// as ":anonymous".
#pragma once

#include <string>

#include "output/OutputTree.h"
#include "output/Utf16Output.h"

// A name's start and end tags as they are written ("<name" and "</name>"),
// made once for a name written many times.
struct TagBytes {
    std::string start;
    std::string end;
};

class CMarkupWriter {
public:
    explicit CMarkupWriter(CUtf16Output& out) : m_out(out) {}

    static TagBytes Tags(const char* name);

    // "<name" and its attributes (values as they stand): a start tag that
    // EndStartTag or EmptyEnd completes.
    void StartTag(const char* name, const OutAttributes& attributes = OutAttributes()) {
        Put("<");
        m_out.Text(Name(name));
        Attributes(attributes);
    }
    void StartTag(const TagBytes& tags, const OutAttributes& attributes) {
        m_out.Units(tags.start);
        Attributes(attributes);
    }
    void EndStartTag() { Put(">"); }
    void EmptyEnd() { Put("/>"); }
    void EndTag(const char* name) {
        Put("</");
        m_out.Text(Name(name));
        Put(">");
    }
    void EndTag(const TagBytes& tags) { m_out.Units(tags.end); }
    // A text as it stands.
    void Text(const char* utf8) { m_out.Text(utf8); }
    // A text as the status file has it: &, < and > as entities, control
    // characters other than tab, line feed and carriage return as "&#NN;".
    void EscapedText(const char* utf8);
    // Markup between tags (a declaration, line ends, indents): ASCII.
    void Markup(const char* ascii) { m_out.Ascii(ascii); }

private:
    void Attributes(const OutAttributes& attributes) {
        for (int i = 0; i < attributes.count; ++i) {
            Put(" ");
            m_out.Text(Name(attributes.names[i]));
            Put("=\"");
            m_out.Text(attributes.values[i]);
            Put("\"");
        }
    }
    // Markup of a known length.
    template <std::size_t N>
    void Put(const char (&ascii)[N]) {
        m_out.Ascii(ascii, N - 1);
    }
    static const char* Name(const char* name) { return *name != '\0' ? name : ":anonymous"; }

    CUtf16Output& m_out;
};
