// Classifies an input file as UTF-8 or UTF-16 and rewrites UTF-8 input as a
// UTF-16 little-endian copy, Temp.xml.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "encoding/InputBytes.h"

class CInputReader;

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
    // Temp.xml is one name for every program of the machine that converts:
    // each rewrite makes a file of its own and puts it under that name once
    // complete. A rewrite that did not keep every character is read back
    // first, through that file (std::bad_alloc when it does not fit), for
    // TakeTempXml: whatever has the name by then, the engine reads this
    // rewrite.
    int ConvertToUtf16(const char* inputPath, char* pathBuffer, const CInputBytes* bytes = nullptr);
    // After such a rewrite: Temp.xml's bytes as it wrote them (nothing held
    // when they could not be read back).
    void TakeTempXml(CInputBytes& bytes);

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
    // Writes the input as UTF-16 into the new Temp.xml: 0, -94 (a short
    // read) or -95 (a write failed).
    int WriteUtf16(CInputReader& input, std::FILE* output, const char* tempPath);

    bool m_keptEveryCharacter = false;
    std::string m_tempXmlProblem;
    std::unique_ptr<char[]> m_outputBuffer;
    CInputBytes m_tempXmlBytes;
};
