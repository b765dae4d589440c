#include "tool/TextPositions.h"

#include <fstream>
#include <sstream>

namespace {

void AppendUtf8(std::string& out, unsigned long code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// As the parser decodes UTF-16: a surrogate without its partner is dropped
// (its place in the text noted in `dropped`).
std::string Utf16ToUtf8(const std::string& bytes, bool bigEndian, std::vector<std::size_t>& dropped) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto unitAt = [&](std::size_t at) {
            const unsigned char a = static_cast<unsigned char>(bytes[at]);
            const unsigned char b = static_cast<unsigned char>(bytes[at + 1]);
            return bigEndian ? (a << 8 | b) : (b << 8 | a);
        };
        unsigned long code = static_cast<unsigned long>(unitAt(i));
        if (code >= 0xD800 && code < 0xE000) {
            const unsigned long low = code < 0xDC00 && i + 3 < bytes.size() ? static_cast<unsigned long>(unitAt(i + 2)) : 0;
            if (low < 0xDC00 || low >= 0xE000) {
                dropped.push_back(out.size());
                continue;
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        AppendUtf8(out, code);
    }
    return out;
}

}  // namespace

TextPositions::TextPositions(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string raw = bytes.str();
    auto startsWith = [&](const char* prefix, std::size_t n) { return raw.compare(0, n, prefix, n) == 0; };
    if (startsWith("\xFF\xFE", 2) || startsWith("<\0", 2)) {
        m_text = Utf16ToUtf8(raw, false, m_droppedSurrogates);
    } else if (startsWith("\xFE\xFF", 2) || startsWith("\0<", 2)) {
        m_text = Utf16ToUtf8(raw, true, m_droppedSurrogates);
    } else {
        m_text = raw;
    }
    m_start = m_cursor = m_text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
}

TextPosition TextPositions::At(std::ptrdiff_t offset) {
    if (offset < 0) return {1, 1};
    const std::size_t end = std::min(static_cast<std::size_t>(offset), m_text.size());
    if (end < m_cursor) {
        m_cursor = m_start;
        m_position = {1, 1};
    }
    for (; m_cursor < end; ++m_cursor) {
        const unsigned char c = static_cast<unsigned char>(m_text[m_cursor]);
        if (c == '\n') {
            ++m_position.line;
            m_position.column = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++m_position.column;
        }
    }
    return m_position;
}
