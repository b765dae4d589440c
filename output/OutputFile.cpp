#include "output/OutputFile.h"

#include <cerrno>

#include "platform/Platform.h"

namespace {

void NoteFailure(UnwrittenFiles* unwritten, const char* path, int error) {
    if (unwritten == nullptr) return;
    // Noting must not turn a failed write into a failed call.
    try {
        unwritten->push_back({path, error != 0 ? error : EIO});
    } catch (...) {
    }
}

}  // namespace

COutputFile::COutputFile(const char* path, UnwrittenFiles* unwritten, bool regularOnly)
    : m_path(path), m_unwritten(unwritten) {
    // Opened here, not in the member list: the members after m_file (the
    // readable flag among them) are set only after it there.
    platform::OutputKind kind;
    m_file = platform::OpenOutputFile(path, regularOnly, kind);
    if (!m_file) {
        NoteFailure(m_unwritten, path, errno);
        return;
    }
    m_regular = kind.regular;
    m_readable = kind.readable;
}

COutputFile::~COutputFile() = default;

void COutputFile::Write(const void* data, std::size_t size) {
    if (m_error != 0 || !m_file) return;
    errno = 0;
    if (!m_file.Write(data, size)) m_error = errno != 0 ? errno : EIO;
}

void COutputFile::Close() {
    if (!m_file) return;
    errno = 0;
    if (!m_file.Close() && m_error == 0) m_error = errno != 0 ? errno : EIO;
    if (m_error != 0) NoteFailure(m_unwritten, m_path, m_error);
}

void COutputFile::Remove() noexcept {
    if (!m_regular) {
        m_file.Close();
        return;
    }
    m_regular = false;
    platform::RemoveAndClose(m_file, m_path);
}
