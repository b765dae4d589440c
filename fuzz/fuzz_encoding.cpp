// Encoding detection and the UTF-8 rewrite on arbitrary bytes, checked
// against a plain model of both: the results, Temp.xml's path and every byte
// of Temp.xml. Where the rewrite says it kept every character, the input
// must read as the same document as Temp.xml; where not, the bytes it reads
// back are Temp.xml's.
#include <cstring>

#include "encoding/InputBytes.h"
#include "platform/File.h"
#include "encoding/EncodingDetection.h"
#include "encoding/Utf8Rewrite.h"
#include "fuzz/FuzzSupport.h"
#include "settings/Folders.h"

namespace {

constexpr std::size_t kChunk = 1024;

std::string Lowered(std::string text) {
    for (char& c : text) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
}

// Where a chunk's declaration lies: from "<?xml" up to "?>", or to the
// chunk's end when "?>" comes first. False when either is missing.
bool Declaration(const std::string& chunk, std::size_t& start, std::size_t& end) {
    start = chunk.find("<?xml"), end = chunk.find("?>");
    if (start == std::string::npos || end == std::string::npos) return false;
    if (end < start) end = chunk.size();
    return true;
}

struct Detection {
    int result, encoding;
    bool needsMark;
};

// Marks first; then each chunk on its own, as text up to its first NUL.
Detection Detect(const std::string& bytes) {
    if (bytes.empty()) return {-99, 99, false};
    if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0) return {0, 16, false};
    const bool mark = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
    for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
        const std::string chunk = Lowered(bytes.substr(at, kChunk).c_str());
        std::size_t start, end;
        if (!Declaration(chunk, start, end)) continue;
        const std::string d = chunk.substr(start, end - start);
        const auto has = [&d](const char* text) { return d.find(text) != std::string::npos; };
        if (has("'utf-8'") || has("\"utf-8\"")) return {0, 8, !mark};
        if (has("'utf-16'") || has("\"utf-16\"")) return {0, mark ? 8 : 16, false};
        if (has("utf-8") || has("utf-16")) return {-93, mark ? 8 : 99, false};
        if (!mark) return {-98, 99, false};
    }
    return mark ? Detection{0, 8, false} : Detection{-98, 99, false};
}

// Per chunk: the carried bytes and the chunk, the declaration's first
// "utf-8" made "UTF-16", then 16-bit units; a cut sequence waits for the next.
std::string Rewrite(const std::string& bytes, bool needsMark) {
    std::string out = needsMark ? "\xFF\xFE" : "", carry;
    for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
        std::string text = carry + bytes.substr(at, kChunk);
        const std::string lowered = Lowered(text);
        std::size_t start, end;
        if (Declaration(lowered, start, end) && lowered.find("utf-8", start) != std::string::npos &&
            lowered.find("utf-8", start) + 5 <= end) {
            text.replace(lowered.find("utf-8"), 5, "UTF-16");
        }
        std::size_t i = 0;
        for (unsigned c, unit; i < text.size(); out += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)}) {
            c = static_cast<unsigned char>(text[i]);
            const std::size_t length = c < 0xC0 ? 1 : c < 0xE0 ? 2 : 3;
            if (i + length > text.size()) break;
            unit = c < 0x80 ? c : c < 0xC0 ? '?' : length == 2 ? (c & 0x1F) << 6 | (text[i + 1] & 0x3F)
                                                                : (c & 0x0F) << 12 | (text[i + 1] & 0x3F) << 6 | (text[i + 2] & 0x3F);
            i += length;
        }
        carry = text.substr(i);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input = fuzz::WriteScratchFile("in.xml", data, size);
    const std::string tempXml = fuzz::ScratchFolder() + "/ORVANE/Kelmora/Temp.xml", bytes(reinterpret_cast<const char*>(data), size);
    char appData[kPathBufferSize] = {};
    // Every other input is read from its bytes in memory, as the exports read
    // it, the others from the file: both must match the model.
    CInputBytes held;
    platform::Refusal refusal;
    if ((size & 4) != 0 && !held.Load(input.c_str(), refusal)) fuzz::Fail("the input cannot be read whole");
    const EncodingDetection detected = DetectEncoding(input.c_str(), &held);
    Utf16Input made = ConvertToUtf16(input.c_str(), &held, appData);

    const Detection expected = Detect(bytes);
    if (made.result != (expected.result != -93 && expected.encoding == 16 ? 99 : expected.result)) fuzz::Fail("result differs from the model");
    const int encoding = detected.encoding == TextEncoding::Utf8 ? 8 : detected.encoding == TextEncoding::Utf16 ? 16 : 99;
    if (encoding != expected.encoding) fuzz::Fail("encoding differs from the model");
    if (made.result != 0) {
        if (!made.tempXmlPath.empty() && made.problem.empty()) fuzz::Fail("Temp.xml named without a rewrite");
        return 0;
    }
    if (tempXml != made.tempXmlPath) fuzz::Fail("the rewrite does not name Temp.xml");
    const std::string written = ReadFile(tempXml);
    if (written != Rewrite(bytes, expected.needsMark)) fuzz::Fail("Temp.xml differs from the model");
    if (!made.keptEveryCharacter &&
        std::string(made.tempXmlBytes.Data(), made.tempXmlBytes.Size()) != written) {
        fuzz::Fail("the bytes read back differ from Temp.xml");
    }
    if (made.keptEveryCharacter) {
        pugi::xml_document fromTemp, fromInput;
        fromTemp.load_file(tempXml.c_str(), pugi::parse_ws_pcdata_single, pugi::encoding_auto);
        fromInput.load_file(input.c_str(), pugi::parse_ws_pcdata_single, pugi::encoding_utf8);
        if (fuzz::Serialised(fromTemp) != fuzz::Serialised(fromInput)) fuzz::Fail("the input reads otherwise than Temp.xml");
    }
    return 0;
}
