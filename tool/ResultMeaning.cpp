#include "tool/ResultMeaning.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

#include "ResultCode.h"

const char* ResultMeaning(int result) {
    switch (result) {
        case kInputNotOpened: return "input file cannot be opened";
        case kIniNotRestored: return "the saved ini file could not be copied to a temporary file";
        case kSavedIniMissing: return "the saved ini file does not exist";
        case kTemporaryIniNotCreated: return "no temporary copy of the saved ini file could be created";
        case kEncodingNotQuoted: return "the XML declaration names UTF-8 or UTF-16 without quotes";
        case kReadFailed: return "reading the input failed";
        case kTempXmlNotWritten: return "Temp.xml could not be written or the input opened for the UTF-8 rewrite";
        case kOutOfMemory: return "out of memory: the file is too large for the memory available";
        case kNullArgument: return "a path was missing";
        case kUnknownEncoding: return "input is neither marked nor declared as UTF-8 or UTF-16";
        case kInputEmpty: return "input is empty or cannot be read";
        default: return "conversion failed";
    }
}

const char* ResultRemedy(int result) {
    switch (result) {
        case kInputNotOpened: return "check the path and that the file can be read";
        case kIniNotRestored:
        case kTemporaryIniNotCreated: return "check that the working directory can be written";
        case kSavedIniMissing: return "check the SavedData folder of the working directory";
        case kEncodingNotQuoted: return "quote the encoding, as in encoding=\"UTF-8\"";
        case kReadFailed: return "check the file and its disk";
        case kTempXmlNotWritten: return "check that the application-data folder (ZK8_COMMON_APPDATA) can be written and has room, "
                         "and the run log";
        case kOutOfMemory: return "split the file or free memory";
        case kUnknownEncoding: return "save it as UTF-16, or as UTF-8 starting with <?xml version=\"1.0\" encoding=\"UTF-8\"?>";
        case kInputEmpty: return "check that the file holds XML";
        default: return "see the run log in the working directory";
    }
}

namespace {

// The declaration is looked for in the file's first bytes only.
constexpr std::size_t kHeadSize = 64 * 1024;

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Where `needle` (lower case) first occurs in `text` from `from`, ignoring
// the case of ASCII letters; NUL bytes are searched like any other.
std::size_t FindIgnoringCase(const std::string& text, const std::string& needle, std::size_t from = 0) {
    auto same = [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; };
    auto found = std::search(text.begin() + static_cast<std::ptrdiff_t>(std::min(from, text.size())), text.end(),
                             needle.begin(), needle.end(), same);
    return found == text.end() ? std::string::npos : static_cast<std::size_t>(found - text.begin());
}

// Checks UTF-8 as it arrives in pieces: no overlong forms, no surrogates,
// nothing beyond U+10FFFF, no sequence cut off at the end.
class Utf8Check {
public:
    bool Add(const unsigned char* bytes, std::size_t count) {
        for (std::size_t i = 0; i < count && m_valid; ++i) Step(bytes[i]);
        return m_valid;
    }
    bool Complete() const { return m_valid && m_pending == 0; }

private:
    void Step(unsigned char byte) {
        if (m_pending > 0) {
            if (byte < m_low || byte > m_high) {
                m_valid = false;
                return;
            }
            m_low = 0x80;
            m_high = 0xBF;
            --m_pending;
            return;
        }
        m_low = 0x80;
        m_high = 0xBF;
        if (byte < 0x80) return;
        if (byte >= 0xC2 && byte <= 0xDF) {
            m_pending = 1;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            m_pending = 2;
            if (byte == 0xE0) m_low = 0xA0;   // no overlong form
            if (byte == 0xED) m_high = 0x9F;  // no surrogate
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            m_pending = 3;
            if (byte == 0xF0) m_low = 0x90;   // no overlong form
            if (byte == 0xF4) m_high = 0x8F;  // nothing beyond U+10FFFF
        } else {
            m_valid = false;
        }
    }

    bool m_valid = true;
    int m_pending = 0;
    unsigned char m_low = 0x80, m_high = 0xBF;
};

// Whether the whole file, from the bytes already read on, is UTF-8.
bool RestIsUtf8(std::ifstream& file, Utf8Check& check) {
    char buffer[64 * 1024];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        if (!check.Add(reinterpret_cast<const unsigned char*>(buffer), static_cast<std::size_t>(file.gcount()))) {
            return false;
        }
    }
    return !file.bad() && check.Complete();
}

// The advice for a file the library found neither marked nor declared as
// UTF-8 or UTF-16; "" when the file cannot be read.
std::string EncodingRemedy(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return "";
    std::string head(kHeadSize, '\0');
    file.read(head.data(), static_cast<std::streamsize>(head.size()));
    if (file.bad()) return "";
    head.resize(static_cast<std::size_t>(file.gcount()));

    // UTF-16 text without its mark: every other byte of the first two
    // characters is 0.
    if (head.size() >= 4 && ((head[0] != 0 && head[1] == 0 && head[2] != 0 && head[3] == 0) ||
                             (head[0] == 0 && head[1] != 0 && head[2] == 0 && head[3] != 0))) {
        return "it looks like UTF-16 without a byte-order mark; save it with the mark";
    }

    // The XML declaration: "<?xml" and a space or "?", up to "?>".
    std::string declaration;
    bool declared = false;
    for (std::size_t at = FindIgnoringCase(head, "<?xml"); at != std::string::npos;
         at = FindIgnoringCase(head, "<?xml", at + 1)) {
        const std::size_t after = at + 5;
        if (after < head.size() && !IsXmlSpace(head[after]) && head[after] != '?') continue;
        const std::size_t end = head.find("?>", after);
        declaration = head.substr(after, end == std::string::npos ? std::string::npos : end - after);
        declared = true;
        break;
    }
    std::string encoding;
    bool namesEncoding = false;
    if (declared) {
        std::size_t at = FindIgnoringCase(declaration, "encoding");
        if (at != std::string::npos) {
            at += 8;
            while (at < declaration.size() && IsXmlSpace(declaration[at])) ++at;
            if (at < declaration.size() && declaration[at] == '=') {
                ++at;
                while (at < declaration.size() && IsXmlSpace(declaration[at])) ++at;
                if (at < declaration.size() && (declaration[at] == '"' || declaration[at] == '\'')) ++at;
                std::size_t end = at;
                while (end < declaration.size() && !IsXmlSpace(declaration[end]) && declaration[end] != '"' &&
                       declaration[end] != '\'' && declaration[end] != '?') {
                    ++end;
                }
                encoding = declaration.substr(at, end - at);
                namesEncoding = !encoding.empty();
            }
        }
    }
    if (namesEncoding) {
        std::string lowered = encoding;
        for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lowered == "utf-8" || lowered == "utf-16") {
            // A declaration the library would take, had it come first.
            return "its XML declaration does not come first; remove what stands before it";
        }
        return "its declaration names " + encoding + "; save it as UTF-8 or UTF-16 and name that in the declaration";
    }

    Utf8Check check;
    const bool utf8 = check.Add(reinterpret_cast<const unsigned char*>(head.data()), head.size()) &&
                      RestIsUtf8(file, check);
    if (!utf8) return "it is not UTF-8; " + std::string(ResultRemedy(-98));
    if (declared) return "its XML declaration names no encoding; add encoding=\"UTF-8\" to it";
    return "it is UTF-8 without an XML declaration; add <?xml version=\"1.0\" encoding=\"UTF-8\"?> at its start";
}

}  // namespace

std::string InputRemedy(int result, const std::string& inputPath) {
    if (result == kUnknownEncoding) {
        std::string remedy = EncodingRemedy(inputPath);
        if (!remedy.empty()) return remedy;
    }
    return ResultRemedy(result);
}
