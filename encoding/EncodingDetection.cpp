// Classification of an input file as UTF-8 or UTF-16: byte-order mark first,
// then the encoding named in the XML declaration.
#include "encoding/EncodingDetection.h"

#include "ResultCode.h"
#include "encoding/InputBytes.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

struct ByteOrderMark {
    const unsigned char* bytes;
    std::int32_t length;
};

const unsigned char kUtf8Mark[] = {0xEF, 0xBB, 0xBF};
const unsigned char kUtf16LeMark[] = {0xFF, 0xFE};
const unsigned char kUtf16BeMark[] = {0xFE, 0xFF};

// Searched in this order; the row with a null pointer ends the table.
const ByteOrderMark g_byteOrderMarks[] = {
    {kUtf8Mark, 3},
    {kUtf16LeMark, 2},
    {kUtf16BeMark, 2},
    {nullptr, 0},
};

constexpr std::size_t kChunkSize = 1024;

// Lowers A to Z only; every other byte, including those above 0x7F, is kept.
void LowerAscii(char* text) {
    for (; *text != '\0'; ++text) {
        if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
    }
}

// True when needle occurs in [begin, end).
bool Contains(const char* begin, const char* end, const char* needle) {
    const std::size_t length = std::strlen(needle);
    for (const char* p = begin; p + length <= end; ++p) {
        if (std::memcmp(p, needle, length) == 0) return true;
    }
    return false;
}

enum class Declaration { kNotFound, kNoEncoding, kUtf8, kUtf16, kUnquoted };

// Looks at one NUL-terminated, lowered chunk. The declaration runs from the
// first "<?xml" to the first "?>", or to the end of the chunk when that "?>"
// comes earlier.
Declaration ExamineChunk(const char* lowered) {
    const char* start = std::strstr(lowered, "<?xml");
    const char* close = std::strstr(lowered, "?>");
    if (start == nullptr || close == nullptr) return Declaration::kNotFound;
    const char* end = close > start ? close : start + std::strlen(start);

    if (!Contains(start, end, "utf-8") && !Contains(start, end, "utf-16")) {
        return Declaration::kNoEncoding;
    }
    if (Contains(start, end, "'utf-8'") || Contains(start, end, "\"utf-8\"")) {
        return Declaration::kUtf8;
    }
    if (Contains(start, end, "'utf-16'") || Contains(start, end, "\"utf-16\"")) {
        return Declaration::kUtf16;
    }
    return Declaration::kUnquoted;
}

}  // namespace

EncodingDetection DetectEncoding(const char* path, const CInputBytes* bytes) {
    EncodingDetection found;
    const auto ending = [&found](int result) {
        found.result = result;
        return found;
    };

    CInputReader input(path, bytes);
    if (!input.IsOpen()) return ending(kInputEmpty);

    const long size = input.Size();
    if (size <= 0) return ending(kInputEmpty);

    unsigned char head[3];
    const std::size_t headLength = size < 3 ? static_cast<std::size_t>(size) : 3;
    if (input.Read(head, headLength) != headLength) return ending(kInputEmpty);

    bool markFound = false;
    for (const ByteOrderMark* row = g_byteOrderMarks; row->bytes != nullptr; ++row) {
        std::size_t matched = 0;
        while (matched < static_cast<std::size_t>(row->length) && matched < headLength &&
               row->bytes[matched] == head[matched]) {
            ++matched;
        }
        if (matched == static_cast<std::size_t>(row->length)) {
            found.encoding = row->bytes == kUtf8Mark ? TextEncoding::Utf8 : TextEncoding::Utf16;
            markFound = true;
            break;
        }
    }
    if (found.encoding == TextEncoding::Utf16) return ending(kSuccess);

    // Each chunk is searched on its own as a NUL-terminated string: a NUL
    // byte ends the searched text, and nothing carries over to the next chunk.
    if (!input.Rewind()) return ending(kReadFailed);
    char chunk[kChunkSize + 1];
    long remaining = size;
    while (remaining > 0) {
        const std::size_t length =
            remaining < static_cast<long>(kChunkSize) ? static_cast<std::size_t>(remaining) : kChunkSize;
        if (input.Read(chunk, length) != length) return ending(kReadFailed);
        chunk[length] = '\0';
        LowerAscii(chunk);

        switch (ExamineChunk(chunk)) {
        case Declaration::kUtf8:
            if (!markFound) {
                found.encoding = TextEncoding::Utf8;
                found.needsByteOrderMark = true;
            }
            return ending(kSuccess);
        case Declaration::kUtf16:
            if (!markFound) {
                found.encoding = TextEncoding::Utf16;
                found.needsByteOrderMark = false;
            }
            return ending(kSuccess);
        case Declaration::kUnquoted:
            return ending(kEncodingNotQuoted);
        case Declaration::kNoEncoding:
            if (!markFound) return ending(kUnknownEncoding);
            break;
        case Declaration::kNotFound:
            break;
        }

        remaining -= static_cast<long>(length);
        if (input.AtEnd()) break;
    }
    return ending(markFound ? kSuccess : kUnknownEncoding);
}
