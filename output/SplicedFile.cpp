#include "output/SplicedFile.h"

#include <cerrno>
#include <cstdio>


CSplicedFile::~CSplicedFile() {
    if (!m_kept && m_file) m_file->Remove();
}

void CSplicedFile::Write(const void* bytes, std::size_t size) {
    if (!m_file) {
        m_file = std::make_unique<COutputFile>(m_path, m_unwritten);
        m_holding = m_file->IsOpen() && !(m_file->IsRegular() && m_file->Readable());
    }
    if (m_holding) m_held.append(static_cast<const char*>(bytes), size);
    else m_file->Write(bytes, size);
}

void CSplicedFile::Finish(const std::vector<Splice>& splices, std::uint64_t written) {
    if (!m_file) return;
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
        m_file->Write(whole.data(), whole.size());
    } else if (!splices.empty() && m_file->IsOpen()) {
        WriteForward(splices, written);
    }
}

void CSplicedFile::Keep() {
    m_kept = true;
    if (m_file) m_file->Close();
}

// What is written up to the first insertion point is right as it stands;
// from there on the file is written anew, forward only.
void CSplicedFile::WriteForward(const std::vector<Splice>& splices, std::uint64_t written) {
    platform::File& file = m_file->Handle();
    const std::uint64_t first = splices.front().offset;
    if (m_file->Failed()) {
        // Writing stopped short (a full disk): of what did reach the file,
        // only the part before the first insertion point is in place.
        if (!file.Truncate(first)) m_file->Remove();
        return;
    }
    // The part from the first insertion point on, read back.
    std::string rest(static_cast<std::size_t>(written - first), '\0');
    errno = 0;
    if (!file.Seek(first) || file.Read(&rest[0], rest.size()) != rest.size() || !file.Truncate(first) ||
        !file.Seek(first)) {
        m_file->NoteError(errno != 0 ? errno : EIO);
        if (!file.Truncate(first)) m_file->Remove();
        return;
    }
    for (std::size_t i = 0; i < splices.size(); ++i) {
        m_file->Write(splices[i].bytes.data(), splices[i].bytes.size());
        const std::uint64_t from = splices[i].offset + splices[i].removed - first;
        const std::uint64_t to = (i + 1 < splices.size() ? splices[i + 1].offset : written) - first;
        m_file->Write(rest.data() + from, static_cast<std::size_t>(to - from));
    }
}
