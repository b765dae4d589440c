// An input file read once: its bytes in memory serve the encoding detection,
// the UTF-8 rewrite and the parse, which would otherwise each open and read
// the file again. Where the whole file cannot be read at once, nothing is
// held and each reads the file itself, as it always could.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <utility>

#include "platform/File.h"

class CInputBytes {
public:
    CInputBytes() = default;
    ~CInputBytes();
    CInputBytes(const CInputBytes&) = delete;
    CInputBytes& operator=(const CInputBytes&) = delete;
    CInputBytes(CInputBytes&& other) noexcept { Swap(other); }
    CInputBytes& operator=(CInputBytes&& other) noexcept {
        Swap(other);
        return *this;
    }

    // Reads the whole file: false, holding nothing, when it does not open
    // (`why` tells why: only a regular file opens) or is not read whole
    // (`why` None).
    bool Load(const char* path, platform::Refusal& why);
    // The same from an open file: from its start, or where it is when its
    // size is given (a file just opened).
    bool Read(platform::File& file, long long knownSize = -1);
    // The last Load or Read found the file but no memory to hold it.
    bool NoMemory() const { return m_noMemory; }
    bool Held() const { return m_data != nullptr; }
    const char* Data() const { return m_data; }
    std::size_t Size() const { return m_size; }
    // Hands the bytes over, allocated with pugixml's allocation function, to
    // be parsed in place and freed by pugixml.
    char* Release();
    void Swap(CInputBytes& other) noexcept {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_noMemory, other.m_noMemory);
    }

private:
    char* m_data = nullptr;
    std::size_t m_size = 0;
    bool m_noMemory = false;
};

// Reads an input as the encoding detection and the rewrite read it: its
// size, then its bytes from the start. From the bytes in memory when they
// are held, otherwise from the file.
class CInputReader {
public:
    CInputReader(const char* path, const CInputBytes* bytes);
    ~CInputReader() { Close(); }
    CInputReader(const CInputReader&) = delete;
    CInputReader& operator=(const CInputReader&) = delete;

    bool IsOpen() const { return m_bytes != nullptr || m_file; }
    // A buffer for reading the file ahead (nothing for bytes in memory).
    void SetBuffer(std::size_t size);
    // The size, or -1 when it cannot be found; then reading starts over.
    long Size();
    bool Rewind();
    std::size_t Read(void* out, std::size_t count);
    // Whether a read came up short at the end.
    bool AtEnd();
    void Close();

private:
    const CInputBytes* m_bytes = nullptr;
    // Declared before the file: the stream reads through it until closed.
    std::unique_ptr<char[]> m_buffer;
    platform::File m_file;
    std::size_t m_position = 0;
    bool m_atEnd = false;
};
