#include "encoding/InputBytes.h"

#include <algorithm>
#include <cstring>

#include <pugixml.hpp>

#include "platform/File.h"

CInputBytes::~CInputBytes() {
    if (m_data != nullptr) pugi::get_memory_deallocation_function()(m_data);
}

bool CInputBytes::Load(const char* path, platform::Refusal& why) {
    platform::File file = platform::OpenToRead(path, platform::Links::Follow, why);
    return file && Read(file, file.SizeWhenOpened());
}

bool CInputBytes::Read(platform::File& file, long long knownSize) {
    m_noMemory = false;
    // A file just opened is at its start; one of unknown size is measured.
    long size = static_cast<long>(knownSize);
    if (knownSize < 0) {
        std::FILE* stream = file.Stream();
        size = std::fseek(stream, 0, SEEK_END) == 0 ? std::ftell(stream) : -1;
        if (size >= 0 && std::fseek(stream, 0, SEEK_SET) != 0) size = -1;
    }
    char* data = nullptr;
    if (size >= 0) {
        // One byte more, so that an empty file holds a block too.
        data = static_cast<char*>(pugi::get_memory_allocation_function()(static_cast<std::size_t>(size) + 1));
    }
    if (data != nullptr && file.Read(data, static_cast<std::size_t>(size)) != static_cast<std::size_t>(size)) {
        pugi::get_memory_deallocation_function()(data);
        m_noMemory = false;
        return false;
    }
    if (data == nullptr) {
        m_noMemory = size >= 0;
        return false;
    }
    if (m_data != nullptr) pugi::get_memory_deallocation_function()(m_data);
    m_data = data;
    m_size = static_cast<std::size_t>(size);
    return true;
}

char* CInputBytes::Release() {
    char* data = m_data;
    m_data = nullptr;
    return data;
}

CInputReader::CInputReader(const char* path, const CInputBytes* bytes) {
    if (bytes != nullptr && bytes->Held()) {
        m_bytes = bytes;
    } else if (path != nullptr) {
        platform::Refusal why;
        m_file = platform::OpenToRead(path, platform::Links::Follow, why);
    }
}

void CInputReader::SetBuffer(std::size_t size) {
    if (!m_file) return;
    // A buffer of its own: the stream would allocate one at its first read,
    // and a read that fails for memory would pass for a short file.
    m_buffer.reset(new char[size]);
    std::setvbuf(m_file.Stream(), m_buffer.get(), _IOFBF, size);
}

long CInputReader::Size() {
    if (m_bytes != nullptr) {
        m_position = 0;
        return static_cast<long>(m_bytes->Size());
    }
    std::FILE* stream = m_file ? m_file.Stream() : nullptr;
    if (stream == nullptr || std::fseek(stream, 0, SEEK_END) != 0) return -1;
    const long size = std::ftell(stream);
    return size >= 0 && std::fseek(stream, 0, SEEK_SET) == 0 ? size : -1;
}

bool CInputReader::Rewind() {
    if (m_bytes != nullptr) {
        m_position = 0;
        m_atEnd = false;
        return true;
    }
    return m_file && std::fseek(m_file.Stream(), 0, SEEK_SET) == 0;
}

std::size_t CInputReader::Read(void* out, std::size_t count) {
    if (m_bytes == nullptr) return m_file ? std::fread(out, 1, count, m_file.Stream()) : 0;
    const std::size_t available = std::min(count, m_bytes->Size() - m_position);
    std::memcpy(out, m_bytes->Data() + m_position, available);
    m_position += available;
    if (available < count) m_atEnd = true;
    return available;
}

bool CInputReader::AtEnd() {
    if (m_bytes != nullptr) return m_atEnd;
    return m_file && std::feof(m_file.Stream()) != 0;
}

void CInputReader::Close() {
    m_file.Close();
    m_bytes = nullptr;
}
