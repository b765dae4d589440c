// The bytes of a conversion output: UTF-16LE with byte-order mark, written
// through one large buffer; or, for what is put together in memory (late
// subtrees, the status file), the same bytes into a string. The file is opened when the buffer first fills or
// at Finish (a small output is written in one go). An output that is not
// kept (Keep, once the call has written all its files) removes the file it
// opened: a call that fails never leaves a part that could pass for a whole
// output.
//
// Bytes can be inserted behind what is written (Finish with splices). The
// file only ever grows forward, as a save from start to end would write it:
// what follows the first insertion point is read back, the file is cut
// there, and the rest is written on, insertions and what was read back in
// turn. A write that fails (a full disk) thus leaves a beginning of the
// right bytes, never bytes out of place. A file that cannot be read back (a
// pipe, a device, a file that may only be written) gets its bytes held in
// memory until Finish.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "output/OutputFile.h"

// Bytes to put at an offset of what was written, in place of `removed` bytes.
struct Splice {
    std::uint64_t offset;
    std::size_t removed;
    std::string bytes;
};

class CUtf16Output {
public:
    // A null path: the bytes go nowhere (a walk that only looks). A file that
    // is not written in full is noted in `unwritten`.
    CUtf16Output(const char* path, UnwrittenFiles* unwritten);
    // Into a string, the byte-order mark first when `mark`; Flush puts the
    // last bytes there.
    CUtf16Output(std::string& into, bool mark);
    ~CUtf16Output();
    CUtf16Output(const CUtf16Output&) = delete;
    CUtf16Output& operator=(const CUtf16Output&) = delete;

    // Markup: ASCII only.
    void Ascii(const char* text) { Ascii(text, std::strlen(text)); }
    void Ascii(const char* text, std::size_t length) {
        if (2 * length > m_capacity - m_used) {
            Widen(reinterpret_cast<const unsigned char*>(text), length);
            return;
        }
        unsigned char* out = m_buffer.get() + m_used;
        for (std::size_t i = 0; i < length; ++i) {
            out[2 * i] = static_cast<unsigned char>(text[i]);
            out[2 * i + 1] = 0;
        }
        m_used += 2 * length;
    }
    // A name or text as pugixml holds it (UTF-8), decoded as pugixml decodes
    // it: a lead byte followed by its continuation bytes is one character
    // (no check for overlong forms or surrogates); any other byte is dropped.
    void Text(const char* utf8);
    // Code units made before (UTF-16LE bytes, as this output writes them).
    void Units(const std::string& bytes) {
        if (bytes.size() > m_capacity - m_used) {
            UnitsThroughBuffers(bytes);
            return;
        }
        std::memcpy(m_buffer.get() + m_used, bytes.data(), bytes.size());
        m_used += bytes.size();
    }
    // How many bytes have been written so far, the byte-order mark included.
    std::uint64_t Offset() const { return m_flushed + m_used; }

    // Into a string: everything written so far is there.
    void Flush() { FlushBuffer(); }
    // Writes the rest with the insertions (ascending offsets).
    void Finish(const std::vector<Splice>& splices);
    // The call wrote all its files: the output is closed, and stays.
    void Keep();

private:
    void Unit(std::uint32_t unit) {
        if (m_used + 2 > m_capacity) FlushBuffer();
        m_buffer[m_used++] = static_cast<unsigned char>(unit & 0xFF);
        m_buffer[m_used++] = static_cast<unsigned char>((unit >> 8) & 0xFF);
    }
    // ASCII bytes as code units, through as many buffers as they fill.
    void Widen(const unsigned char* ascii, std::size_t length);
    void UnitsThroughBuffers(const std::string& bytes);
    void FlushBuffer();
    void Open();
    void WriteForward(const std::vector<Splice>& splices);

    static constexpr std::size_t kBufferSize = 64 * 1024;
    // What is put together in a string comes in small pieces.
    static constexpr std::size_t kStringBufferSize = 1024;
    const char* m_path;
    UnwrittenFiles* m_unwritten = nullptr;
    std::string* m_into = nullptr;
    std::size_t m_capacity;
    std::unique_ptr<unsigned char[]> m_buffer;
    std::size_t m_used = 0;
    std::uint64_t m_flushed = 0;
    std::unique_ptr<COutputFile> m_file;
    // Everything written, for an output that cannot be read back.
    std::string m_held;
    bool m_holding = false;
    bool m_kept = false;
};
