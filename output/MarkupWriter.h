// The library's one writer of XML markup: tags, attributes and texts, as
// UTF-16LE through a CUtf16Output, in the form pugixml's save gives them.
// The conversion outputs (streamed and their late subtrees) write texts as
// they stand; the status file escapes them. A name that is empty is written
// as ":anonymous".
#pragma once

#include "output/OutputTree.h"
#include "output/Utf16Output.h"

class CMarkupWriter {
public:
    explicit CMarkupWriter(CUtf16Output& out) : m_out(out) {}

    // "<name" and its attributes (values as they stand): a start tag that
    // EndStartTag or EmptyEnd completes.
    void StartTag(const char* name, const OutAttributes& attributes = OutAttributes()) {
        m_out.Ascii("<");
        m_out.Text(Name(name));
        for (int i = 0; i < attributes.count; ++i) {
            m_out.Ascii(" ");
            m_out.Text(Name(attributes.names[i]));
            m_out.Ascii("=\"");
            m_out.Text(attributes.values[i]);
            m_out.Ascii("\"");
        }
    }
    void EndStartTag() { m_out.Ascii(">"); }
    void EmptyEnd() { m_out.Ascii("/>"); }
    void EndTag(const char* name) {
        m_out.Ascii("</");
        m_out.Text(Name(name));
        m_out.Ascii(">");
    }
    // A text as it stands.
    void Text(const char* utf8) { m_out.Text(utf8); }
    // A text as the status file has it: &, < and > as entities, control
    // characters other than tab, line feed and carriage return as "&#NN;".
    void EscapedText(const char* utf8);
    // Markup between tags (a declaration, line ends, indents): ASCII.
    void Markup(const char* ascii) { m_out.Ascii(ascii); }

private:
    static const char* Name(const char* name) { return *name != '\0' ? name : ":anonymous"; }

    CUtf16Output& m_out;
};
