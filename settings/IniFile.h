// Reads integer settings from Windows-style ini files.
#pragma once

class CIniFile {
public:
    explicit CIniFile(const char* path);
    virtual ~CIniFile();

    // The key's value in the section, or defaultValue when either is missing.
    int GetInt(const char* section, const char* key, int defaultValue);

    static constexpr int kMaxLines = 256;
    static constexpr int kLineSize = 512;

private:
    bool FindSection();
    bool FindKey();

    char m_path[256];
    char m_lines[kMaxLines][kLineSize];
    int m_currentLine;
    int m_lineCount;
    char m_key[128];
    char m_value[512];
    char m_section[128];
};
