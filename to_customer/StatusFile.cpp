// Collects the distinct error numbers of a device file's exception blocks and
// lists them in the status file written next to the customer output.
#include <cstdio>

#include "converter/AllocationWatch.h"
#include "converter/ErrorTable.h"
#include "converter/OutputFile.h"
#include "converter/XmlTlvConverter.h"

ErrorEntry g_errorTable[kErrorTableSize];

namespace {

const char kStatusSuffix[] = "_Status.xml";

class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, std::size_t size) override {
        bytes.append(static_cast<const char*>(data), size);
    }
    std::string bytes;
};

// The indented writer puts a blank before the slash of an empty-element tag;
// the status file has none. Texts are escaped, so " />" (as UTF-16LE units)
// only ever ends a tag.
std::string RemoveBlankBeforeEmptyTagEnd(const std::string& utf16) {
    static const char kBlankSlashGreater[] = {' ', 0, '/', 0, '>', 0};
    std::string out;
    out.reserve(utf16.size());
    std::size_t i = 0;
    while (i < utf16.size()) {
        if (utf16.compare(i, 6, kBlankSlashGreater, 6) == 0) {
            out.append(kBlankSlashGreater + 2, 4);
            i += 6;
        } else {
            out.append(utf16, i, 2);
            i += 2;
        }
    }
    return out;
}

}  // namespace

bool CXmlTlvConverter::CollectError(const char* tag, const char* text) {
    m_inErrorBlock = true;
    if (NameIs(tag, "eno")) {
        if (m_lastErrorIndex == -1) {
            g_errorTable[0].errorNo = text;
            m_lastErrorIndex = 0;
            m_errorNumberPending = true;
            return true;
        }
        for (int i = 0; i <= m_lastErrorIndex; ++i) {
            if (g_errorTable[i].errorNo == text) return true;
        }
        if (m_lastErrorIndex == kErrorTableSize - 1) {
            m_errorNumberPending = false;
            return false;
        }
        ++m_lastErrorIndex;
        g_errorTable[m_lastErrorIndex].errorNo = text;
        m_errorNumberPending = true;
    } else if (NameIs(tag, "err")) {
        if (!m_errorNumberPending) return true;
        g_errorTable[m_lastErrorIndex].errorText = text;
        m_errorNumberPending = false;
        m_inErrorBlock = false;
    }
    return true;
}

std::string CXmlTlvConverter::StatusFileBytes() const {
    pugi::xml_document status;
    pugi::xml_node root = status.append_child("status");
    if (m_statusSeen) {
        pugi::xml_node exceptions = root.append_child(FindExternForIntern("exs").c_str());
        const std::string exceptionName = FindExternForIntern("exc");
        const std::string numberName = FindExternForIntern("eno");
        const std::string textName = FindExternForIntern("err");
        for (int i = 0; i <= m_lastErrorIndex; ++i) {
            pugi::xml_node exception = exceptions.append_child(exceptionName.c_str());
            exception.append_child(numberName.c_str()).text().set(g_errorTable[i].errorNo.c_str());
            exception.append_child(textName.c_str()).text().set(g_errorTable[i].errorText.c_str());
        }
    }
    // A list that could not be built whole is not written as if it were.
    CAllocationWatch::ThrowIfFailed();

    StringWriter writer;
    status.save(writer, PUGIXML_TEXT("\t"), pugi::format_indent | pugi::format_write_bom,
                pugi::encoding_utf16_le);
    return RemoveBlankBeforeEmptyTagEnd(writer.bytes);
}

void CXmlTlvConverter::WriteStatusFile(const char* outputPath, const std::string& bytes) const {
    // The path is built without a length limit: however long the output
    // path, the status file lands next to it, or nowhere if the system
    // refuses the name.
    const std::string statusPath = std::string(outputPath) + kStatusSuffix;
    COutputFile file(statusPath.c_str());
    file.write(bytes.data(), bytes.size());
    file.Close();
}
