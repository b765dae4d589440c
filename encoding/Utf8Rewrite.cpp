// Rewrites a UTF-8 input as a UTF-16 little-endian copy, Temp.xml, in one
// streaming pass of 1024-byte chunks, and makes its declaration name UTF-16.
#include "encoding/Utf8Rewrite.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "ResultCode.h"
#include "encoding/EncodingDetection.h"
#include "encoding/InputBytes.h"
#include "platform/File.h"
#include "platform/Platform.h"
#include "settings/Folders.h"

namespace {

constexpr std::size_t kChunkSize = 1024;
// Longest unfinished sequence kept for the next chunk: a three-byte lead and
// one continuation byte.
constexpr std::size_t kMaxCarry = 2;
// Carry, chunk, and the one byte the declaration edit adds ("utf-8" becomes
// "UTF-16").
constexpr std::size_t kMaxText = kMaxCarry + kChunkSize + 1;
constexpr std::size_t kInputBufferSize = 64 * 1024;
constexpr std::size_t kOutputBufferSize = 64 * 1024;

const char kTempFileName[] = "Temp.xml";

constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

inline unsigned char LowerAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// First position in text[from, to) where the lower-case needle occurs, with
// the letters A to Z of the text compared as lower case. Candidates are found
// with memchr on the needle's '?' or '-', which ordinary text rarely holds
// (unlike '<'), so most chunks cost one fast scan.
std::size_t FindNoCase(const unsigned char* text, std::size_t from, std::size_t to,
                       const char* needle) {
    const std::size_t length = std::strlen(needle);
    const char* anchorChar = std::strpbrk(needle, "?-");
    const std::size_t anchor = anchorChar != nullptr ? static_cast<std::size_t>(anchorChar - needle) : 0;
    const unsigned char key = static_cast<unsigned char>(needle[anchor]);
    std::size_t i = from;
    while (i + length <= to) {
        const void* hit = std::memchr(text + i + anchor, key, to - length + 1 - i);
        if (hit == nullptr) return kNotFound;
        i = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - text) - anchor;
        std::size_t k = 0;
        while (k < length && LowerAscii(text[i + k]) == static_cast<unsigned char>(needle[k])) ++k;
        if (k == length) return i;
        ++i;
    }
    return kNotFound;
}

// Length of a UTF-8 byte-order mark at the head of the text: 3 or 0.
std::size_t Utf8MarkLength(const unsigned char* text, std::size_t length) {
    return length >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
}

// When the text holds a declaration (the first "<?xml" up to the first "?>",
// or to the end of the text when that "?>" comes earlier) that names utf-8 in
// any letter case, the first utf-8 of the text becomes "UTF-16". Returns the
// new length. `insideHead` tells whether the edit, if any, lay inside a
// processing instruction that opens the text (after a UTF-8 byte-order mark,
// if there is one) and before its first "?>".
std::size_t EditDeclaration(unsigned char* text, std::size_t length, bool& insideHead) {
    insideHead = true;
    const std::size_t start = FindNoCase(text, 0, length, "<?xml");
    if (start == kNotFound) return length;
    const std::size_t close = FindNoCase(text, 0, length, "?>");
    if (close == kNotFound) return length;
    const std::size_t end = close > start ? close : length;
    if (FindNoCase(text, start, end, "utf-8") == kNotFound) return length;

    const std::size_t at = FindNoCase(text, 0, length, "utf-8");
    // Where the declaration opens the text, the first utf-8 comes after its "<?xml".
    insideHead = start == Utf8MarkLength(text, length) && at + 5 <= close;
    std::memmove(text + at + 6, text + at + 5, length - at - 5);
    std::memcpy(text + at, "UTF-16", 6);
    return length + 1;
}

inline bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Copies path into out when it fits with its NUL; false otherwise, which the
// caller treats like a location that cannot be written.
bool BuildPath(const std::string& path, char* out, std::size_t size) {
    if (path.size() + 1 > size) return false;
    std::memcpy(out, path.c_str(), path.size() + 1);
    return true;
}

// The first place for Temp.xml: the application-data folder, else the
// executable's folder. Whether the folder exists is found by making the file
// there: where it does not, the second place is the executable's folder too.
bool FirstTempPath(const char* appData, char* out, std::size_t size) {
    const std::string folder = appData != nullptr && *appData != '\0' ? std::string(appData) : GetExeFolder();
    return BuildPath(folder + platform::kPathSeparator + kTempFileName, out, size);
}

// The second place: the executable's drive and directory, or the current
// directory when the executable's path is not available.
bool SecondTempPath(char* out, std::size_t size) {
    char executable[kPathBufferSize];
    std::string path;
    if (platform::GetExecutablePath(executable, sizeof executable)) {
        path = platform::DriveAndDirectory(executable) + kTempFileName;
    } else {
        std::string current;
        GetCurrentDirectoryString(current);
        path = current + platform::kPathSeparator + kTempFileName;
    }
    return BuildPath(path, out, size);
}

// The folder of a path: everything before its last separator.
std::string FolderOf(const char* path) {
    const char* separator = std::strrchr(path, platform::kPathSeparator);
    return separator != nullptr ? std::string(path, static_cast<std::size_t>(separator - path)) : std::string(".");
}

// Bytes gathered in a buffer and written in large blocks: Temp.xml's bytes
// are what the caller sees, not how they are written.
class BlockWriter {
public:
    BlockWriter(platform::File& file, unsigned char* buffer, std::size_t size)
        : m_file(file), m_buffer(buffer), m_size(size) {}
    bool Put(const unsigned char* bytes, std::size_t count) {
        if (m_used + count > m_size && !Flush()) return false;
        std::memcpy(m_buffer + m_used, bytes, count);
        m_used += count;
        m_written += count;
        return true;
    }
    bool Flush() {
        const bool ok = m_file.Write(m_buffer, m_used);
        m_used = 0;
        return ok;
    }
    std::uint64_t Written() const { return m_written; }

private:
    platform::File& m_file;
    unsigned char* m_buffer;
    std::size_t m_size;
    std::size_t m_used = 0;
    std::uint64_t m_written = 0;
};

// Writes the input as UTF-16 into the new Temp.xml: kSuccess, kReadFailed
// (a short read) or kTempXmlNotWritten (a write failed: why, in `made`).
// Notes in `made` whether Temp.xml keeps every character of the input.
int WriteUtf16(CInputReader& input, BlockWriter& output, const char* tempPath, bool needsByteOrderMark,
               Utf16Input& made) {
    // Every write is checked: a Temp.xml cut short (a full disk) fails the
    // conversion rather than being converted as if it were whole.
    const auto incomplete = [&] {
        made.problemError = errno != 0 ? errno : EIO;
        made.problem = std::string(tempPath) + " could not be written in full (" +
                       std::strerror(made.problemError) + ")";
        return kTempXmlNotWritten;
    };

    if (needsByteOrderMark) {
        static const unsigned char kMark[] = {0xFF, 0xFE};
        if (!output.Put(kMark, sizeof kMark)) return incomplete();
    }

    long remaining = input.Size();
    if (remaining < 0) return kReadFailed;

    // Buffers live for the whole pass. Only the bytes and units counted for
    // the current chunk are ever read back, so they need no clearing.
    unsigned char text[kMaxText];
    unsigned char units[2 * kMaxText];
    unsigned char carry[kMaxCarry];
    std::size_t carryLength = 0;
    // Whether every sequence so far is a well-formed character of the Basic
    // Multilingual Plane outside the surrogates, decoded to just that
    // character (as the parser would decode it from UTF-16), and every edit
    // lay inside the leading declaration.
    bool kept = true;
    bool firstChunk = true;

    while (remaining > 0) {
        const std::size_t chunk =
            remaining < static_cast<long>(kChunkSize) ? static_cast<std::size_t>(remaining) : kChunkSize;

        // The text is the carry followed by the chunk.
        std::memcpy(text, carry, carryLength);
        if (input.Read(text + carryLength, chunk) != chunk) return kReadFailed;
        std::size_t length = carryLength + chunk;
        carryLength = 0;

        bool editInsideHead = true;
        const std::size_t unedited = length;
        length = EditDeclaration(text, length, editInsideHead);
        // Only the first chunk opens the file.
        if (!editInsideHead || (length != unedited && !firstChunk)) kept = false;
        // Temp.xml begins with a mark: the input's own, or the one written
        // for it. Followed by the character 0 (FF FE 00 00), it would be read
        // as UTF-32.
        if (firstChunk) {
            const std::size_t head = Utf8MarkLength(text, length);
            if (length > head && text[head] == 0) kept = false;
        }
        firstChunk = false;

        // Counted in a local: stores through the byte buffer could otherwise
        // alias the member and force a reload per unit.
        std::uint32_t count = 0;
        std::size_t i = 0;
        while (i < length) {
            // Runs of ASCII, the bulk of any XML file, eight bytes at a time.
            while (i + 8 <= length) {
                std::uint64_t word;
                std::memcpy(&word, text + i, sizeof word);
                if ((word & 0x8080808080808080ull) != 0) break;
                unsigned char* out = units + 2 * count;
                for (int k = 0; k < 8; ++k) {
                    out[2 * k] = text[i + k];
                    out[2 * k + 1] = 0;
                }
                count += 8;
                i += 8;
            }
            if (i >= length) break;
            const unsigned c = text[i];
            unsigned unit;
            if (c < 0x80) {
                unit = c;
                i += 1;
            } else if ((c & 0xE0) == 0xC0) {
                if (i + 1 >= length) break;
                // C0 and C1 would be longer forms of ASCII characters.
                if (c < 0xC2 || !IsContinuation(text[i + 1])) kept = false;
                unit = ((c & 0x1F) << 6) | (text[i + 1] & 0x3Fu);
                i += 2;
            } else if ((c & 0xE0) == 0xE0) {
                // Every byte from 0xE0 up leads three bytes.
                if (i + 2 >= length) break;
                const unsigned second = text[i + 1];
                // F0 and up lead four bytes; E0 80-9F would be a longer form
                // of a shorter character; ED A0-BF a surrogate.
                if (c >= 0xF0 || !IsContinuation(text[i + 1]) || !IsContinuation(text[i + 2]) ||
                    (c == 0xE0 && second < 0xA0) || (c == 0xED && second >= 0xA0)) {
                    kept = false;
                }
                unit = ((c & 0x0F) << 12) | ((second & 0x3Fu) << 6) | (text[i + 2] & 0x3Fu);
                i += 3;
            } else {
                unit = '?';  // a continuation byte without its lead
                kept = false;
                i += 1;
            }
            units[2 * count] = static_cast<unsigned char>(unit & 0xFF);
            units[2 * count + 1] = static_cast<unsigned char>(unit >> 8);
            ++count;
        }
        // A sequence cut off by the end of the chunk waits for the next one.
        carryLength = length - i;
        std::memcpy(carry, text + i, carryLength);

        if (!output.Put(units, 2 * static_cast<std::size_t>(count))) return incomplete();
        remaining -= static_cast<long>(chunk);
    }

    // Whatever is still carried was cut off by the end of the file: dropped.
    if (carryLength > 0) kept = false;
    errno = 0;
    if (!output.Flush()) return incomplete();
    made.keptEveryCharacter = kept;
    return kSuccess;
}

}  // namespace

Utf16Input ConvertToUtf16(const char* inputPath, const CInputBytes* bytes, char* appDataPath) {
    Utf16Input made;
    // The application-data folder is asked for first, whatever the input:
    // the answer is remembered for later calls. Only a rewrite needs to know
    // whether it exists.
    const std::string appData = GetAppDataPath(appDataPath);

    const EncodingDetection detected = DetectEncoding(inputPath, bytes);
    made.result = detected.result == kEncodingNotQuoted          ? kEncodingNotQuoted
                  : detected.encoding == TextEncoding::Utf16      ? kAlreadyUtf16
                                                                  : detected.result;
    if (made.result != kSuccess) return made;

    char tempPath[kPathBufferSize];
    const bool firstPathFits = FirstTempPath(appData.c_str(), tempPath, sizeof tempPath);

    made.result = kTempXmlNotWritten;
    CInputReader input(inputPath, bytes);
    if (!input.IsOpen()) return made;
    // Reading ahead is invisible to the caller and saves a system call for
    // most chunks; the chunks go out through a 64 KB buffer, in few writes.
    input.SetBuffer(kInputBufferSize);
    const std::unique_ptr<unsigned char[]> outputBuffer(new unsigned char[kOutputBufferSize]);

    // Temp.xml lies in a folder every program of the machine writes into.
    // It is made as a new file of this call's own, written, read back through
    // this call's descriptor where the engine is to read it, and only then
    // put under its name, replacing whatever had it (a link is replaced,
    // never followed), and closed. So no other program's Temp.xml, nor
    // anything planted under the name, is ever written into or read as this
    // call's, nobody waits for anybody, and a rewrite that fails leaves the
    // earlier Temp.xml as it was. Where the first place takes no file, or its
    // name cannot be had, the second is tried.
    for (int place = 0; place < 2; ++place) {
        if (place == 0 ? !firstPathFits : !SecondTempPath(tempPath, sizeof tempPath)) continue;
        platform::NewFile file;
        if (!file.Create(FolderOf(tempPath))) continue;
        BlockWriter output(file.Get(), outputBuffer.get(), kOutputBufferSize);
        made.result = WriteUtf16(input, output, tempPath, detected.needsByteOrderMark, made);
        if (made.result != kSuccess) {
            if (made.result == kTempXmlNotWritten) made.tempXmlPath = tempPath;
            return made;
        }
        if (!made.keptEveryCharacter && file.Get().Seek(0) &&
            !made.tempXmlBytes.Read(file.Get(), static_cast<long long>(output.Written())) &&
            made.tempXmlBytes.NoMemory()) {
            throw std::bad_alloc();
        }
        if (file.Publish(tempPath)) {
            made.tempXmlPath = tempPath;
            return made;
        }
        made.result = kTempXmlNotWritten;
        if (!input.Rewind()) {
            made.result = kReadFailed;
            return made;
        }
    }
    return made;
}
