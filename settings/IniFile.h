// Reads integer settings from Windows-style ini files.
#pragma once

#include <cstddef>

#include "platform/File.h"

// Whether two texts are equal with the letters A to Z taken as a to z.
bool EqualIgnoringCase(const char* a, const char* b);

class CIniFile {
public:
    // Reads the file at path: only a regular file, and through a symbolic
    // link only with Links::Follow (a file the caller named). Where nothing
    // has the name, an empty file is created.
    CIniFile(const char* path, platform::Links links);
    // The same lines taken from bytes already read from the file at path,
    // split exactly as reading the file line by line splits them; the file
    // itself is not touched.
    CIniFile(const char* path, const char* text, std::size_t size);
    virtual ~CIniFile();

    // The name was a link not followed, a pipe, a socket or a device: nothing
    // was read, as from a file that is missing.
    bool IsSpecialFile() const { return m_special; }

    // The key's value in the section, or defaultValue when either is missing.
    int GetInt(const char* section, const char* key, int defaultValue);

    // Longest path the reader takes; a longer one is neither read nor created.
    static constexpr std::size_t kMaxPathLength = 255;
    static constexpr int kMaxLines = 256;
    static constexpr int kLineSize = 512;
    // The most bytes that can reach the table of lines (every line slot takes
    // at most kLineSize - 1 bytes); later bytes cannot change a query.
    static constexpr std::size_t kMaxLoadedBytes = static_cast<std::size_t>(kMaxLines) * (kLineSize - 1);

private:
    // Stores the path and clears every field; false when the path does not
    // fit, which leaves the object without lines.
    bool Reset(const char* path);
    // Cuts the line end off the slot just loaded and counts it.
    void AddLine();
    bool FindSection();
    bool FindKey();

    char m_path[256];
    char m_lines[kMaxLines][kLineSize];
    int m_currentLine;
    int m_lineCount;
    char m_key[128];
    char m_value[512];
    char m_section[128];
    bool m_special = false;
};
