// Classifies an input file as UTF-8 or UTF-16 and rewrites UTF-8 input as a
// UTF-16 little-endian copy, Temp.xml.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

class CInputBytes;

class CUtf8ToUtf16Converter {
public:
    enum : std::uint8_t { kUndetermined = 99, kUtf8 = 8, kUtf16 = 16 };

    // 0 classified; -99 unreadable or empty; -94 short read; -98 neither
    // encoding; -93 encoding named without quotes. Reads the input's bytes
    // where they are held, else the file.
    int DetectEncoding(const char* path, const CInputBytes* bytes = nullptr);

    // 0 rewritten (pathBuffer now names Temp.xml); 99 already UTF-16; or a
    // negative code. pathBuffer holds 260 bytes.
    //
    // Temp.xml is one file for every program of the machine that converts.
    // The rewrite holds its name (platform::NameLock) from before the file
    // is emptied until ReleaseTempXml or the end of this object, so that
    // whoever reads it back in between reads this rewrite, whole.
    int ConvertToUtf16(const char* inputPath, char* pathBuffer, const CInputBytes* bytes = nullptr);
    void ReleaseTempXml() { m_tempXmlLock.Release(); }

    // After a rewrite (result 0): true when Temp.xml holds every character of
    // the input unchanged and the only edit lay inside a processing
    // instruction at its head (the declaration), which the engines' parse
    // skips. Loading the input itself as UTF-8 then gives the very document
    // that loading Temp.xml gives, without decoding twice the bytes.
    bool RewriteKeptEveryCharacter() const { return m_keptEveryCharacter; }

    // After -95: why Temp.xml could not be had, where the reason is more than
    // a file that would not open (another program held it too long, a write
    // failed: a full disk); empty otherwise. A Temp.xml written in part is
    // never used.
    const std::string& TempXmlProblem() const { return m_tempXmlProblem; }

    std::uint32_t m_unitCount = 0;
    std::uint8_t m_encoding = kUndetermined;
    std::uint8_t m_needsByteOrderMark = 0;

private:
    bool m_keptEveryCharacter = false;
    std::string m_tempXmlProblem;
    platform::NameLock m_tempXmlLock;
};
