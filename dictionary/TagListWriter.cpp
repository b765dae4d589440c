// Writes the name dictionary as a numbered text list, one line per customer
// name: number, device tag, and the name the tag translates back to.
#include <algorithm>
#include <cstdio>

#include "output/OutputFile.h"
#include "dictionary/Dictionary.h"

int CDictionary::WriteTagList(const char* path, UnwrittenFiles* unwritten) const {
    // The whole list first: a list that runs out of memory leaves no file.
    std::string text;
    int counter = 1;
    char line[512];
    for (const auto& entry : m_externToIntern) {
        const std::string& tag = entry.second;
        const std::string name = FindExternForIntern(tag);
        const int length = std::snprintf(line, sizeof line, "%03d   %s          %s\r\n", counter,
                                         tag.c_str(), name.c_str());
        text.append(line, std::min(static_cast<std::size_t>(length), sizeof line - 1));
        ++counter;
    }
    COutputFile file(path, unwritten);
    if (!file.IsOpen()) return -1;
    file.Write(text.data(), text.size());
    file.Close();
    return 0;
}
