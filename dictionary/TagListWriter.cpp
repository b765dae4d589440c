// Writes the name dictionary as a numbered text list, one line per customer
// name: number, device tag, and the name the tag translates back to.
#include <cstdio>

#include "dictionary/XmlTlvConverter.h"

int CXmlTlvConverter::WriteTagList(const char* path) const {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return -1;
    int counter = 1;
    for (const auto& entry : m_externToIntern) {
        const std::string& tag = entry.second;
        const std::string name = FindExternForIntern(tag);
        std::fprintf(file, "%03d   %s          %s\r\n", counter, tag.c_str(), name.c_str());
        ++counter;
    }
    std::fclose(file);
    return 0;
}
