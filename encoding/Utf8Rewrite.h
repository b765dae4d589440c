// Makes sure the input of a conversion is UTF-16: UTF-8 input is rewritten,
// in one streaming pass, as a UTF-16 little-endian copy named Temp.xml whose
// declaration names UTF-16.
#pragma once

#include <string>

#include "ResultCode.h"
#include "encoding/InputBytes.h"

struct Utf16Input {
    // kSuccess (rewritten into Temp.xml), kAlreadyUtf16, or a negative code:
    // those of the detection, kReadFailed (a short read), kTempXmlNotWritten.
    int result = kSuccess;
    // Where Temp.xml went (after kTempXmlNotWritten with a problem: where it
    // could not be written).
    std::string tempXmlPath;
    // After a rewrite: Temp.xml holds every character of the input unchanged,
    // and the only edit lay inside a processing instruction at its head (the
    // declaration), which the engines' parse skips. Loading the input itself
    // as UTF-8 then gives the very document that loading Temp.xml gives.
    bool keptEveryCharacter = false;
    // After a rewrite that did not keep every character: Temp.xml's bytes as
    // it wrote them, read back through the file it wrote (nothing held when
    // they could not be read).
    CInputBytes tempXmlBytes;
    // After kTempXmlNotWritten: why, where Temp.xml was there to write but
    // could not be written in full (a full disk), with the system's errno;
    // empty otherwise. A Temp.xml written in part is never used.
    std::string problem;
    int problemError = 0;
};

// Temp.xml is one name for every program of the machine that converts: each
// rewrite makes a file of its own and puts it under that name once complete,
// so that whatever has the name later, the engine reads this rewrite.
// `appDataPath` is the remembered application-data path, asked for anew
// (kPathBufferSize bytes). Throws std::bad_alloc when Temp.xml's bytes do not
// fit in memory.
Utf16Input ConvertToUtf16(const char* inputPath, const CInputBytes* bytes, char* appDataPath);
