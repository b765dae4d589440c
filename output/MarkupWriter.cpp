#include "output/MarkupWriter.h"

#include <cstring>
#include <string>

TagBytes CMarkupWriter::Tags(const char* name) {
    TagBytes tags;
    {
        CStringSink into(tags.start);
        CUtf16Output start(into, false, CUtf16Output::kStringBufferSize);
        CMarkupWriter(start).Put("<");
        start.Text(Name(name));
        start.Flush();
    }
    CStringSink into(tags.end);
    CUtf16Output end(into, false, CUtf16Output::kStringBufferSize);
    CMarkupWriter(end).EndTag(name);
    end.Flush();
    return tags;
}

void CMarkupWriter::EscapedText(const char* utf8) {
    std::string run;
    for (const char* p = utf8; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        const bool control = c < 32 && c != '\t' && c != '\n' && c != '\r';
        if (!control && c != '&' && c != '<' && c != '>') {
            run.push_back(*p);
            continue;
        }
        m_out.Text(run.c_str());
        run.clear();
        if (c == '&') {
            m_out.Ascii("&amp;");
        } else if (c == '<') {
            m_out.Ascii("&lt;");
        } else if (c == '>') {
            m_out.Ascii("&gt;");
        } else {
            const char entity[] = {'&', '#', static_cast<char>('0' + c / 10), static_cast<char>('0' + c % 10), ';', 0};
            m_out.Ascii(entity);
        }
    }
    m_out.Text(run.c_str());
}
