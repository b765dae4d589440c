#include "converter/Utf16Output.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Platform.h"

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

void AppendUtf16(std::string& bytes, const char* utf8) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8);
    while (*p != 0) {
        if (*p < 0x80) {
            bytes.push_back(static_cast<char>(*p++));
            bytes.push_back('\0');
            continue;
        }
        std::uint32_t units[2];
        int count = 0;
        p = DecodeOne(p, units, count);
        for (int i = 0; i < count; ++i) {
            bytes.push_back(static_cast<char>(units[i] & 0xFF));
            bytes.push_back(static_cast<char>(units[i] >> 8));
        }
    }
}

CUtf16Output::CUtf16Output(const char* path) : m_path(path), m_buffer(new unsigned char[kBufferSize]) {
    Unit(0xFEFF);
}

CUtf16Output::~CUtf16Output() {
    if (!m_finished) Abandon();
}

void CUtf16Output::Ascii(const char* text) { Text(text); }

void CUtf16Output::Text(const char* utf8) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8);
    for (;;) {
        // A run of ASCII, as far as the buffer has room.
        unsigned char* out = m_buffer.get() + m_used;
        const std::size_t room = (kBufferSize - m_used) / 2;
        std::size_t n = 0;
        for (; n < room && p[n] != 0 && p[n] < 0x80; ++n) {
            out[2 * n] = p[n];
            out[2 * n + 1] = 0;
        }
        m_used += 2 * n;
        p += n;
        if (*p == 0) return;
        if (*p < 0x80) {
            FlushBuffer();
            continue;
        }
        std::uint32_t units[2];
        int count = 0;
        p = DecodeOne(p, units, count);
        for (int i = 0; i < count; ++i) Unit(units[i]);
    }
}

void CUtf16Output::Bytes(const std::string& bytes) {
    const char* data = bytes.data();
    std::size_t size = bytes.size();
    while (size > 0) {
        if (m_used == kBufferSize) FlushBuffer();
        const std::size_t part = std::min(size, kBufferSize - m_used);
        std::memcpy(m_buffer.get() + m_used, data, part);
        m_used += part;
        data += part;
        size -= part;
    }
}

void CUtf16Output::Open() {
    m_file.reset(new COutputFile(m_path));
    m_holding = m_file->IsOpen() && !platform::IsRegularFile(m_file->Get());
}

void CUtf16Output::FlushBuffer() {
    if (m_path == nullptr) {
        m_flushed += m_used;
        m_used = 0;
        return;
    }
    if (!m_file) Open();
    if (m_holding) m_held.append(reinterpret_cast<const char*>(m_buffer.get()), m_used);
    else m_file->write(m_buffer.get(), m_used);
    m_flushed += m_used;
    m_used = 0;
}

void CUtf16Output::Finish(const std::vector<Splice>& splices) {
    FlushBuffer();
    if (m_path == nullptr) {
        m_finished = true;
        return;
    }
    if (m_holding) {
        // Put together in memory, written in one go.
        std::string whole;
        std::size_t from = 0;
        for (const Splice& splice : splices) {
            whole.append(m_held, from, static_cast<std::size_t>(splice.offset) - from);
            whole += splice.bytes;
            from = static_cast<std::size_t>(splice.offset) + splice.removed;
        }
        whole.append(m_held, from, std::string::npos);
        std::string().swap(m_held);
        m_file->write(whole.data(), whole.size());
        m_file->Close();
    } else if (!splices.empty() && m_file->IsOpen()) {
        // Opened again to be read as well: the insertions move what is written.
        m_file->Close();
        m_file.reset(new COutputFile(m_path, "r+b"));
        if (m_file->IsOpen()) ApplySplices(splices);
        m_file->Close();
    } else {
        m_file->Close();
    }
    m_finished = true;
}

// Every insertion makes the file longer: the bytes between two insertion
// points move back by what the insertions before them add. The parts are
// moved last first, each from its end, so that no byte is overwritten
// before it is read; then the insertions are written into the gaps.
void CUtf16Output::ApplySplices(const std::vector<Splice>& splices) {
    std::FILE* file = m_file->Get();
    const std::uint64_t size = Offset();
    std::vector<std::uint64_t> shift(splices.size());
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < splices.size(); ++i) {
        total += splices[i].bytes.size() - splices[i].removed;
        shift[i] = total;
    }
    std::vector<unsigned char> chunk(kBufferSize);
    for (std::size_t i = splices.size(); i-- > 0;) {
        const std::uint64_t begin = splices[i].offset + splices[i].removed;
        const std::uint64_t end = i + 1 < splices.size() ? splices[i + 1].offset : size;
        for (std::uint64_t at = end; at > begin;) {
            const std::size_t part = static_cast<std::size_t>(std::min<std::uint64_t>(kBufferSize, at - begin));
            at -= part;
            if (!platform::SeekFile(file, at) || std::fread(chunk.data(), 1, part, file) != part ||
                !platform::SeekFile(file, at + shift[i])) {
                m_file->NoteError(errno != 0 ? errno : EIO);
                return;
            }
            m_file->write(chunk.data(), part);
        }
    }
    for (std::size_t i = 0; i < splices.size(); ++i) {
        const std::uint64_t before = i == 0 ? 0 : shift[i - 1];
        if (!platform::SeekFile(file, splices[i].offset + before)) {
            m_file->NoteError(errno != 0 ? errno : EIO);
            return;
        }
        m_file->write(splices[i].bytes.data(), splices[i].bytes.size());
    }
}

void CUtf16Output::Abandon() noexcept {
    m_finished = true;
    if (!m_file) return;
    // Only a file this call made or overwrote; a device or pipe stays.
    const bool remove = m_file->IsOpen() && platform::IsRegularFile(m_file->Get());
    m_file.reset();
    if (remove) std::remove(m_path);
}
