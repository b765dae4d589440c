// Collects the distinct error numbers of a device file's exception blocks and
// lists them in the status file written next to the customer output.
#include <cstdio>

#include "converter/AllocationWatch.h"
#include "converter/OutputFile.h"
#include "to_customer/StatusFile.h"

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

std::string CStatusFile::Bytes(const CDictionary& dictionary) const {
    pugi::xml_document status;
    pugi::xml_node root = status.append_child("status");
    if (m_blockSeen) {
        pugi::xml_node exceptions = root.append_child(dictionary.FindExternForIntern("exs").c_str());
        const std::string exceptionName = dictionary.FindExternForIntern("exc");
        const std::string numberName = dictionary.FindExternForIntern("eno");
        const std::string textName = dictionary.FindExternForIntern("err");
        for (int i = 0; i <= m_last; ++i) {
            pugi::xml_node exception = exceptions.append_child(exceptionName.c_str());
            exception.append_child(numberName.c_str()).text().set(m_entries[i].number.c_str());
            exception.append_child(textName.c_str()).text().set(m_entries[i].text.c_str());
        }
    }
    // A list that could not be built whole is not written as if it were.
    CAllocationWatch::ThrowIfFailed();

    StringWriter writer;
    status.save(writer, PUGIXML_TEXT("\t"), pugi::format_indent | pugi::format_write_bom,
                pugi::encoding_utf16_le);
    return RemoveBlankBeforeEmptyTagEnd(writer.bytes);
}

void CStatusFile::Write(const char* outputPath, const std::string& bytes) {
    // The path is built without a length limit: however long the output
    // path, the status file lands next to it, or nowhere if the system
    // refuses the name.
    const std::string statusPath = std::string(outputPath) + kStatusSuffix;
    COutputFile file(statusPath.c_str());
    file.write(bytes.data(), bytes.size());
    file.Close();
}
