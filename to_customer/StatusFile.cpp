// Collects the distinct error numbers of a device file's exception blocks and
// lists them in the status file written next to the customer output.
#include <cstdio>

#include "output/MarkupWriter.h"
#include "output/OutputFile.h"
#include "to_customer/StatusFile.h"

namespace {

const char kStatusSuffix[] = "_Status.xml";

}  // namespace

bool CStatusFile::Collect(const char* tag, const char* text) {
    m_collecting = true;
    if (NameIs(tag, "eno")) {
        for (int i = 0; i <= m_last; ++i) {
            if (m_entries[i].number == text) return true;
        }
        if (m_last == kCapacity - 1) {
            m_numberPending = false;
            return false;
        }
        ++m_last;
        m_entries[m_last].number = text;
        m_numberPending = true;
    } else if (NameIs(tag, "err")) {
        if (!m_numberPending) return true;
        m_entries[m_last].text = text;
        m_numberPending = false;
        m_collecting = false;
    }
    return true;
}

// The layout of an indented save: a tab per level, one element a line, an
// element holding only its text on one line, `<name/>` for one without
// children; texts escaped.
std::string CStatusFile::Bytes(const CDictionary& dictionary) const {
    const std::string exceptionsName = dictionary.FindExternForIntern("exs");
    const std::string exceptionName = dictionary.FindExternForIntern("exc");
    const std::string numberName = dictionary.FindExternForIntern("eno");
    const std::string textName = dictionary.FindExternForIntern("err");
    std::string bytes;
    CStringSink into(bytes);
    CUtf16Output out(into, true, CUtf16Output::kStringBufferSize);
    CMarkupWriter writer(out);
    const auto field = [&writer](const std::string& name, const std::string& text) {
        writer.Markup("\t\t\t");
        writer.StartTag(name.c_str());
        writer.EndStartTag();
        writer.EscapedText(text.c_str());
        writer.EndTag(name.c_str());
        writer.Markup("\n");
    };
    writer.Markup("<?xml version=\"1.0\"?>\n");
    writer.StartTag("status");
    if (!m_blockSeen) {
        writer.EmptyEnd();
    } else {
        writer.EndStartTag();
        writer.Markup("\n\t");
        writer.StartTag(exceptionsName.c_str());
        if (m_last < 0) {
            writer.EmptyEnd();
        } else {
            writer.EndStartTag();
            writer.Markup("\n");
            for (int i = 0; i <= m_last; ++i) {
                writer.Markup("\t\t");
                writer.StartTag(exceptionName.c_str());
                writer.EndStartTag();
                writer.Markup("\n");
                field(numberName, m_entries[i].number);
                field(textName, m_entries[i].text);
                writer.Markup("\t\t");
                writer.EndTag(exceptionName.c_str());
                writer.Markup("\n");
            }
            writer.Markup("\t");
            writer.EndTag(exceptionsName.c_str());
        }
        writer.Markup("\n");
        writer.EndTag("status");
    }
    writer.Markup("\n");
    out.Flush();
    return bytes;
}

std::string CStatusFile::PathOf(const std::string& outputPath) { return outputPath + kStatusSuffix; }

void CStatusFile::Write(const char* outputPath, const std::string& bytes, UnwrittenFiles* unwritten) {
    // The path is built without a length limit: however long the output
    // path, the status file lands next to it, or nowhere if the system
    // refuses the name.
    const std::string statusPath = PathOf(outputPath);
    // Never a pipe or a device: nothing may wait for a reader.
    COutputFile file(statusPath.c_str(), unwritten, true);
    file.Write(bytes.data(), bytes.size());
    file.Close();
}
