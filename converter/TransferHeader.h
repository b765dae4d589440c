// The header record of file-transfer files, shared by both directions.
#pragma once

#include <string>

struct TransferHeader {
    std::string tag;
    std::string mode;
    std::string originator;
    std::string category;
    std::string source;
    std::string destination;
    std::string lastChange;

    void ClearHeader();
    // True for the device tags of the file-transfer records.
    static bool IsFileTransferTag(const std::string& tag);
    static bool IsFileTransferTag(const char* tag);
    // The field that a header value tag ("ctg", "dst", "lch", "ori", "src")
    // fills, or null for any other tag.
    std::string* ValueFieldFor(const char* tag);
};

extern TransferHeader g_header;
