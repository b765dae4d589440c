#include "output/Utf16Output.h"

#include <algorithm>
#include <cstring>


namespace {

bool Continues(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// One character that is not ASCII, decoded as pugixml decodes UTF-8: its
// code units (none for a byte that starts no complete sequence, which is
// dropped on its own) and the first byte after it. A byte dropped alone gives
// the same result however a text is split, so a text decoded alone gives the
// bytes it gives in the whole document.
const unsigned char* DecodeOne(const unsigned char* p, std::uint32_t units[2], int& count) {
    const std::uint32_t lead = *p;
    if (lead - 0xC0 < 0x20 && Continues(p[1])) {
        units[0] = ((lead & ~0xC0u) << 6) | (p[1] & 0x3Fu);
        count = 1;
        return p + 2;
    }
    if (lead - 0xE0 < 0x10 && Continues(p[1]) && Continues(p[2])) {
        units[0] = (((lead & ~0xE0u) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu)) & 0xFFFF;
        count = 1;
        return p + 3;
    }
    if (lead - 0xF0 < 0x08 && Continues(p[1]) && Continues(p[2]) && Continues(p[3])) {
        const std::uint32_t ch =
            ((lead & ~0xF0u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
        units[0] = (0xD800 + ((ch - 0x10000) >> 10)) & 0xFFFF;
        units[1] = (0xDC00 + ((ch - 0x10000) & 0x3FF)) & 0xFFFF;
        count = 2;
        return p + 4;
    }
    count = 0;
    return p + 1;
}

}  // namespace

CUtf16Output::CUtf16Output(CByteSink& sink, bool mark, std::size_t bufferSize)
    : m_sink(sink), m_capacity(bufferSize), m_buffer(new unsigned char[bufferSize]) {
    if (mark) Unit(0xFEFF);
}

void CUtf16Output::Text(const char* utf8) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8);
    const unsigned char* const end = p + std::strlen(utf8);
    while (p != end) {
        // A run of ASCII, found eight bytes at a time while they last.
        const unsigned char* const run = p;
        for (std::uint64_t word; end - p >= 8; p += 8) {
            std::memcpy(&word, p, 8);
            if ((word & 0x8080808080808080u) != 0) break;
        }
        while (p != end && *p < 0x80) ++p;
        Widen(run, static_cast<std::size_t>(p - run));
        if (p == end) return;
        // The terminating zero stops the decoding of a sequence cut short.
        std::uint32_t units[2];
        int count = 0;
        p = DecodeOne(p, units, count);
        for (int i = 0; i < count; ++i) Unit(units[i]);
    }
}

void CUtf16Output::UnitsThroughBuffers(const std::string& bytes) {
    std::size_t from = 0;
    while (from < bytes.size()) {
        if (m_used == m_capacity) FlushBuffer();
        const std::size_t n = std::min(bytes.size() - from, m_capacity - m_used);
        std::memcpy(m_buffer.get() + m_used, bytes.data() + from, n);
        m_used += n;
        from += n;
    }
}

void CUtf16Output::FlushBuffer() {
    m_sink.Write(m_buffer.get(), m_used);
    m_flushed += m_used;
    m_used = 0;
}
