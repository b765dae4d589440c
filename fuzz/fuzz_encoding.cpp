// Encoding detection and the UTF-8 rewrite on arbitrary input bytes, checked
// against a plain model of both: the result code, the path buffer and, after
// a rewrite, every byte of Temp.xml must be what the model says. Where the
// rewrite kept every character, the input must read as Temp.xml does.
#include <cstdint>
#include <cstring>
#include <string>

#include <pugixml.hpp>

#include "encoding/Utf8ToUtf16Converter.h"
#include "fuzz/FuzzSupport.h"
#include "settings/Folders.h"

namespace {

constexpr std::size_t kChunk = 1024;

std::string Lowered(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

struct Detection {
    int result;
    int encoding;  // 99, 8 or 16
    bool needsMark;
};

// Marks first; then each chunk on its own, as text ending at its first NUL.
Detection Detect(const std::string& bytes) {
    if (bytes.empty()) return {-99, 99, false};
    bool mark = false;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        mark = true;
    } else if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0) {
        return {0, 16, false};
    }
    const int markEncoding = mark ? 8 : 99;
    for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
        const std::string chunk = Lowered(std::string(bytes.substr(at, kChunk).c_str()));
        const std::size_t start = chunk.find("<?xml");
        const std::size_t close = chunk.find("?>");
        if (start == std::string::npos || close == std::string::npos) continue;
        const std::string declaration =
            chunk.substr(start, close > start ? close - start : std::string::npos);
        const auto has = [&](const char* text) {
            return declaration.find(text) != std::string::npos;
        };
        if (has("utf-8") || has("utf-16")) {
            if (has("'utf-8'") || has("\"utf-8\""))
                return mark ? Detection{0, 8, false} : Detection{0, 8, true};
            if (has("'utf-16'") || has("\"utf-16\""))
                return mark ? Detection{0, 8, false} : Detection{0, 16, false};
            return {-93, markEncoding, false};
        }
        if (!mark) return {-98, 99, false};
    }
    return mark ? Detection{0, 8, false} : Detection{-98, 99, false};
}

// The rewrite: per chunk, carry + bytes, declaration edit, decoding into
// 16-bit units; a cut-off sequence waits for the next chunk.
std::string Rewrite(const std::string& bytes, bool needsMark) {
    std::string out = needsMark ? "\xFF\xFE" : "";
    std::string carry;
    for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
        std::string text = carry + bytes.substr(at, kChunk);
        carry.clear();
        const std::string lowered = Lowered(text);
        const std::size_t start = lowered.find("<?xml");
        const std::size_t close = lowered.find("?>");
        if (start != std::string::npos && close != std::string::npos) {
            const std::size_t end = close > start ? close : lowered.size();
            const std::size_t inside = lowered.find("utf-8", start);
            if (inside != std::string::npos && inside + 5 <= end) {
                text.replace(lowered.find("utf-8"), 5, "UTF-16");
            }
        }
        std::size_t i = 0;
        while (i < text.size()) {
            const unsigned c = static_cast<unsigned char>(text[i]);
            const auto next = [&](std::size_t k) {
                return static_cast<unsigned char>(text[i + k]) & 0x3Fu;
            };
            unsigned unit;
            if (c < 0x80) {
                unit = c;
                i += 1;
            } else if ((c & 0xE0) == 0xC0) {
                if (i + 1 >= text.size()) break;
                unit = ((c & 0x1F) << 6) | next(1);
                i += 2;
            } else if ((c & 0xE0) == 0xE0) {
                if (i + 2 >= text.size()) break;
                unit = ((c & 0x0F) << 12) | (next(1) << 6) | next(2);
                i += 3;
            } else {
                unit = '?';
                i += 1;
            }
            out += static_cast<char>(unit & 0xFF);
            out += static_cast<char>(unit >> 8);
        }
        carry = text.substr(i);
    }
    return out;
}

class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
    std::string text;
};

std::string Serialised(const pugi::xml_document& document) {
    StringWriter writer;
    document.save(writer, PUGIXML_TEXT(""), pugi::format_raw, pugi::encoding_utf8);
    return writer.text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input = fuzz::WriteScratchFile("in.xml", data, size);
    const std::string tempXml = fuzz::ScratchFolder() + "/ORVANE/Kelmora/Temp.xml";
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    char pathBuffer[kPathBufferSize] = {};
    std::strncpy(pathBuffer, input.c_str(), sizeof pathBuffer - 1);
    CUtf8ToUtf16Converter converter;
    const int result = converter.ConvertToUtf16(input.c_str(), pathBuffer);

    const Detection expected = Detect(bytes);
    int expectedResult = expected.result;
    if (expected.result != -93 && expected.encoding == 16) expectedResult = 99;
    if (result != expectedResult) fuzz::Fail("result differs from the model");
    if (converter.m_encoding != expected.encoding) fuzz::Fail("encoding differs from the model");

    if (result != 0) {
        if (input != pathBuffer) fuzz::Fail("path buffer changed without a rewrite");
        return 0;
    }
    if (tempXml != pathBuffer) fuzz::Fail("path buffer does not name Temp.xml");
    if (fuzz::ReadWholeFile(tempXml) != Rewrite(bytes, expected.needsMark)) {
        fuzz::Fail("Temp.xml differs from the model");
    }

    // Where the rewrite says the input may stand for Temp.xml, both must read
    // as the same document.
    if (converter.RewriteKeptEveryCharacter()) {
        pugi::xml_document fromTemp, fromInput;
        fromTemp.load_file(tempXml.c_str(), pugi::parse_ws_pcdata_single, pugi::encoding_auto);
        fromInput.load_file(input.c_str(), pugi::parse_ws_pcdata_single, pugi::encoding_utf8);
        if (Serialised(fromTemp) != Serialised(fromInput)) {
            fuzz::Fail("the input reads otherwise than its Temp.xml");
        }
    }
    return 0;
}
