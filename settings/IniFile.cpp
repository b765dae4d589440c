// Windows-style ini reader: the whole file is loaded into a fixed table of
// lines at construction, and integer queries are answered from that table.
#include "settings/IniFile.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/File.h"

namespace {

// Longest text the query fields and the path field hold (terminator excluded).
constexpr std::size_t kMaxNameLength = 127;
// A key line contributes at most this many characters before the "=".
constexpr int kKeyFieldLength = 128;


// Blanks and control characters; bytes 128..255 count as well, because the
// comparison is made on signed characters.
bool IsBlankOrControl(char c) { return static_cast<signed char>(c) <= 32; }

// Copies a query name into its field; false when it does not fit.
bool CopyName(const char* name, char* field) {
    if (name == nullptr || std::strlen(name) > kMaxNameLength) return false;
    std::strcpy(field, name);
    return true;
}

}  // namespace

bool EqualIgnoringCase(const char* a, const char* b) {
    const auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (fold(*a) != fold(*b)) return false;
    }
    return *a == *b;
}

bool CIniFile::Reset(const char* path) {
    m_currentLine = 0;
    m_lineCount = 0;
    std::memset(m_path, 0, sizeof m_path);
    std::memset(m_lines, 0, sizeof m_lines);
    std::memset(m_key, 0, sizeof m_key);
    std::memset(m_value, 0, sizeof m_value);
    std::memset(m_section, 0, sizeof m_section);

    // A path that does not fit the field is neither read nor created: a cut
    // path would name a different file.
    if (path == nullptr || std::strlen(path) > CIniFile::kMaxPathLength) return false;
    std::strcpy(m_path, path);
    return true;
}

void CIniFile::AddLine() {
    char* line = m_lines[m_lineCount];
    std::size_t length = std::strlen(line);
    // CR LF and LF line ends are removed; a lone CR at the very end stays.
    if (length >= 2 && line[length - 2] == '\r') {
        line[length - 2] = '\0';
        length -= 2;
    }
    if (length >= 1 && line[length - 1] == '\n') line[length - 1] = '\0';
    ++m_lineCount;
}

CIniFile::CIniFile(const char* path, platform::Links links) {
    if (!Reset(path)) return;

    // The stream reads through a buffer of ours: its own would be allocated
    // at the first read, which would then fail for memory unseen.
    char buffer[4096];
    platform::Refusal why;
    platform::File file = platform::OpenToRead(m_path, links, why, buffer, sizeof buffer);
    if (!file) {
        // Only where nothing has the name is an empty file left behind (where
        // the folder allows it): a file that cannot be read, a link, a pipe
        // is left as it is, and reads as a file without the keys.
        if (why == platform::Refusal::Missing) platform::CreateEmptyFile(m_path);
        m_special = why == platform::Refusal::Link || why == platform::Refusal::NotRegular;
        return;
    }

    while (m_lineCount < kMaxLines && std::fgets(m_lines[m_lineCount], kLineSize, file.Stream()) != nullptr) {
        AddLine();
    }
}

CIniFile::CIniFile(const char* path, const char* text, std::size_t size) {
    if (!Reset(path)) return;

    // Each slot takes what one fgets of kLineSize would: up to and including
    // the next line feed, at most kLineSize - 1 bytes, NUL bytes included.
    const char* p = text;
    const char* const end = text + size;
    while (m_lineCount < kMaxLines && p < end) {
        char* slot = m_lines[m_lineCount];
        int count = 0;
        while (count < kLineSize - 1 && p < end) {
            const char c = *p++;
            slot[count++] = c;
            if (c == '\n') break;
        }
        slot[count] = '\0';
        AddLine();
    }
}

CIniFile::~CIniFile() = default;

bool CIniFile::FindSection() {
    if (m_lineCount == 0) return false;

    char header[kMaxNameLength + 3];
    std::snprintf(header, sizeof header, "[%s]", m_section);

    for (int i = 0; i < m_lineCount; ++i) {
        if (m_lines[i][0] == '[' && EqualIgnoringCase(m_lines[i], header)) {
            m_currentLine = i;
            return true;
        }
    }
    return false;
}

bool CIniFile::FindKey() {
    if (!FindSection()) return false;

    for (int i = m_currentLine + 1; i < m_lineCount; ++i) {
        const char* line = m_lines[i];
        // Only lines starting with the key's first character (exact case)
        // are candidates; the next section header ends the search.
        if (line[0] == '[') return false;
        if (line[0] != m_key[0]) continue;

        char name[kKeyFieldLength + 1];
        int length = 0;
        while (length < kKeyFieldLength && line[length] != '\0' && line[length] != '=') {
            name[length] = line[length];
            ++length;
        }
        const bool hasEquals = length < kKeyFieldLength && line[length] == '=';
        const int valueStart = hasEquals ? length + 1 : kKeyFieldLength;
        while (length > 0 && IsBlankOrControl(name[length - 1])) --length;
        name[length] = '\0';
        if (!EqualIgnoringCase(name, m_key)) continue;

        // The value starts at the first character above the blank range;
        // the rest of the slot is scanned, terminators included.
        int start = valueStart;
        while (start < kLineSize && IsBlankOrControl(line[start])) ++start;
        int count = 0;
        while (start + count < kLineSize && line[start + count] != '\0' &&
               count < static_cast<int>(sizeof m_value) - 1) {
            m_value[count] = line[start + count];
            ++count;
        }
        m_value[count] = '\0';

        m_currentLine = i;
        return true;
    }
    return false;
}

int CIniFile::GetInt(const char* section, const char* key, int defaultValue) {
    // A section or key that does not fit its field cannot be present.
    if (!CopyName(section, m_section) || !CopyName(key, m_key)) return defaultValue;
    if (!FindSection() || !FindKey()) return defaultValue;

    // Optional sign and the leading decimal digits; anything else reads as 0.
    // Out-of-range numbers saturate at the limits of a 32-bit integer.
    long number = std::strtol(m_value, nullptr, 10);
    if (number > INT_MAX) return INT_MAX;
    if (number < INT_MIN) return INT_MIN;
    return static_cast<int>(number);
}
