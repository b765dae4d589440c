// The header record of file-transfer files, shared by both directions: what
// a walk collects of one transfer until it writes the block or record.
#pragma once

#include <string>

struct TransferHeader {
    // The transfer's device tag and its mode, from the dictionary or the
    // input document; "" while no transfer is pending.
    const char* tag = "";
    const char* mode = "";
    std::string originator;
    std::string category;
    std::string source;
    std::string destination;
    std::string lastChange;

    void Clear() { *this = TransferHeader(); }
    // True for the device tags of the file-transfer records.
    static bool IsFileTransferTag(const std::string& tag);
    static bool IsFileTransferTag(const char* tag);
    // The field that a header value tag ("ctg", "dst", "lch", "ori", "src")
    // fills, or null for any other tag.
    std::string* ValueFieldFor(const char* tag);
};
