// Text turned into UTF-16LE code units, gathered in a buffer and handed to a
// sink (a file, a string, nowhere) when the buffer is full and at Flush.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "output/ByteSink.h"

class CUtf16Output {
public:
    static constexpr std::size_t kFileBufferSize = 64 * 1024;
    static constexpr std::size_t kStringBufferSize = 1024;

    // The byte-order mark first when `mark`. A large buffer for a file, a
    // small one for the short texts put together in strings.
    CUtf16Output(CByteSink& sink, bool mark, std::size_t bufferSize = kFileBufferSize);
    CUtf16Output(const CUtf16Output&) = delete;
    CUtf16Output& operator=(const CUtf16Output&) = delete;

    // Markup: ASCII only.
    void Ascii(const char* text) { Ascii(text, std::strlen(text)); }
    void Ascii(const char* text, std::size_t length) { Widen(reinterpret_cast<const unsigned char*>(text), length); }
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

    // Hands what the buffer holds to the sink (a file is opened then).
    void Flush() { FlushBuffer(); }

private:
    void Unit(std::uint32_t unit) {
        if (m_used + 2 > m_capacity) FlushBuffer();
        m_buffer[m_used++] = static_cast<unsigned char>(unit & 0xFF);
        m_buffer[m_used++] = static_cast<unsigned char>((unit >> 8) & 0xFF);
    }
    // ASCII bytes as code units, through as many buffers as they fill.
    void Widen(const unsigned char* ascii, std::size_t length) {
        while (length > 0) {
            const std::size_t room = (m_capacity - m_used) / 2;
            if (room == 0) {
                FlushBuffer();
                continue;
            }
            const std::size_t n = length < room ? length : room;
            unsigned char* out = m_buffer.get() + m_used;
            for (std::size_t i = 0; i < n; ++i) {
                out[2 * i] = ascii[i];
                out[2 * i + 1] = 0;
            }
            m_used += 2 * n;
            ascii += n;
            length -= n;
        }
    }
    void UnitsThroughBuffers(const std::string& bytes);
    void FlushBuffer();

    CByteSink& m_sink;
    std::size_t m_capacity;
    std::unique_ptr<unsigned char[]> m_buffer;
    std::size_t m_used = 0;
    std::uint64_t m_flushed = 0;
};
