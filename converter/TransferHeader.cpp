#include "converter/TransferHeader.h"

#include <string_view>

std::string* TransferHeader::ValueFieldFor(const char* tag) {
    const std::string_view name(tag);
    if (name == "ctg") return &category;
    if (name == "dst") return &destination;
    if (name == "lch") return &lastChange;
    if (name == "ori") return &originator;
    if (name == "src") return &source;
    return nullptr;
}

bool TransferHeader::IsFileTransferTag(const std::string& tag) {
    return tag.size() == 3 && IsFileTransferTag(tag.c_str());
}

bool TransferHeader::IsFileTransferTag(const char* tag) {
    // All seven are three letters long: most tags are told apart by their
    // first letter alone.
    if (tag[0] == '\0' || tag[1] == '\0' || tag[2] == '\0' || tag[3] != '\0') return false;
    static const char* const kTags[] = {"img", "iad", "imp", "ini", "lbl", "rcp", "sly"};
    for (const char* wanted : kTags) {
        if (tag[0] == wanted[0] && tag[1] == wanted[1] && tag[2] == wanted[2]) return true;
    }
    return false;
}
