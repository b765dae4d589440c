// The ini reader on arbitrary file contents, read from the file and from its
// bytes: the keys the library reads, and a section and key taken from the
// file itself (the first "[...]" line and the name before the first "="
// after it), so that queries find what the mutations build.
#include <algorithm>
#include <cstdint>
#include <new>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "settings/IniFile.h"

namespace {

struct Query {
    std::string section, key;
};

Query QueryFromContent(const std::string& text) {
    Query query;
    const std::size_t open = text.find('[');
    if (open == std::string::npos) return query;
    const std::size_t close = text.find(']', open);
    if (close == std::string::npos) return query;
    query.section = text.substr(open + 1, close - open - 1);
    const std::size_t lineStart = text.find('\n', close);
    if (lineStart == std::string::npos) return query;
    const std::size_t equals = text.find('=', lineStart);
    if (equals == std::string::npos) return query;
    query.key = text.substr(lineStart + 1, equals - lineStart - 1);
    return query;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::WriteScratchFile("Test.ini", data, size);
    const std::string text(reinterpret_cast<const char*>(data), size);

    // Two readers of the same file: one reads it, the other takes the bytes
    // the logging settings hand it. Every query must agree. The readers are
    // large; a fresh heap block per input would make every run pay for
    // mapping and clearing pages. Global storage keeps the sanitizer's red
    // zones around each object.
    alignas(CIniFile) static unsigned char fromFile[sizeof(CIniFile)];
    alignas(CIniFile) static unsigned char fromBytes[sizeof(CIniFile)];
    CIniFile* reader = new (fromFile) CIniFile(path.c_str());
    CIniFile* copy = new (fromBytes)
        CIniFile(path.c_str(), text.data(), std::min(text.size(), CIniFile::kMaxLoadedBytes));

    static const Query kLibraryQueries[] = {
        {"Advanced", "bCreateNilAttribute"},
        {"Advanced", "bCreateLengthAttribute"},
        {"Advanced", "bEnableDefaultNamespace"},
        {"Advanced", "SavedIniFile"},
        {"LogFiles", "LoggingLevel"},
        {"LogFiles", "RunLogSize"},
    };
    const Query own = QueryFromContent(text);
    for (const Query& query : kLibraryQueries) {
        if (reader->GetInt(query.section.c_str(), query.key.c_str(), 55) !=
            copy->GetInt(query.section.c_str(), query.key.c_str(), 55)) {
            fuzz::Fail("the two readers disagree");
        }
    }
    if (reader->GetInt(own.section.c_str(), own.key.c_str(), -7) !=
        copy->GetInt(own.section.c_str(), own.key.c_str(), -7)) {
        fuzz::Fail("the two readers disagree");
    }
    reader->~CIniFile();
    copy->~CIniFile();
    return 0;
}
