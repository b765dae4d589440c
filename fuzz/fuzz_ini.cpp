// The ini reader on arbitrary file contents, read from the file and from its
// bytes (as the logging settings hand them over): every query must agree,
// for the keys the library reads and for the first "[section]" of the file
// with the name before the first "=" after it.
#include <algorithm>
#include <new>

#include "fuzz/FuzzSupport.h"
#include "settings/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::WriteScratchFile("Test.ini", data, size);
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::pair<std::string, std::string> queries[] = {
        {"Advanced", "bCreateNilAttribute"}, {"Advanced", "bCreateLengthAttribute"},
        {"Advanced", "bEnableDefaultNamespace"}, {"Advanced", "SavedIniFile"},
        {"LogFiles", "LoggingLevel"}, {"LogFiles", "RunLogSize"}, {"", ""}};
    const std::size_t open = text.find('['), close = text.find(']', open), line = text.find('\n', close),
                      equals = text.find('=', line);
    if (equals != std::string::npos && open != std::string::npos) {
        queries[6] = {text.substr(open + 1, close - open - 1), text.substr(line + 1, equals - line - 1)};
    }
    // The readers are large: static storage spares mapping and clearing
    // pages for every input, and keeps the sanitizer's red zones around them.
    alignas(CIniFile) static unsigned char fromFile[sizeof(CIniFile)], fromBytes[sizeof(CIniFile)];
    CIniFile* reader = new (fromFile) CIniFile(path.c_str(), platform::Links::NotLast);
    CIniFile* copy = new (fromBytes) CIniFile(path.c_str(), text.data(), std::min(text.size(), CIniFile::kMaxLoadedBytes));
    for (const auto& [section, key] : queries) {
        if (reader->GetInt(section.c_str(), key.c_str(), -7) != copy->GetInt(section.c_str(), key.c_str(), -7)) {
            fuzz::Fail("the two readers disagree");
        }
    }
    reader->~CIniFile();
    copy->~CIniFile();
    return 0;
}
