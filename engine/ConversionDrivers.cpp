#include "engine/ConversionDrivers.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "ResultCode.h"
#include "converter/InputDocument.h"
#include "encoding/InputBytes.h"
#include "encoding/Utf8Rewrite.h"
#include "engine/XmlTlvConverter.h"
#include "platform/File.h"
#include "platform/Platform.h"
#include "runlog/ZkLogFile.h"

namespace {

enum Level { kOutcome = 1, kProgress = 2 };

void Log(CSession& session, int level, int code, const char* text = "") {
    GetLogger().Log(g_moduleName, level, code, text, session.Log());
}

// Once the call's files are written, a failure to log (no memory for the
// entry) loses the entry and changes nothing else: the call keeps its result.
void LogAfterFiles(CSession& session, int code) noexcept {
    try {
        Log(session, kOutcome, code);
    } catch (...) {
    }
}

// Reads the input once for the detection, the rewrite and the parse; where
// it cannot be read whole, each reads the file. False when it does not open:
// only a regular file does, so that nothing waits for a pipe's writer or
// reads a device; `refused` then says why, where that is more than a file
// that is missing or may not be read.
bool ReadInput(const char* path, CInputBytes& bytes, std::string& refused) {
    platform::Refusal why;
    if (bytes.Load(path, why)) return true;
    if (why == platform::Refusal::NotRegular) refused = std::string(path) + " is not a regular file";
    return why == platform::Refusal::None;
}

// What both drivers make of the input before the engine: its bytes, read
// once, and its normalisation to UTF-16.
struct PreparedInput {
    CInputBytes bytes;
    Utf16Input utf16;
};

// Checks that the input opens (else logs `missingCode` and gives
// kInputNotOpened), has it normalised to UTF-16 and logs the outcome. True
// when the conversion may go on; otherwise `result` holds the code to return.
bool Prepare(CSession& session, const char* inputPath, int missingCode, PreparedInput& in, int& result) {
    std::string refused;
    if (!ReadInput(inputPath, in.bytes, refused)) {
        Log(session, kOutcome, missingCode, refused.c_str());
        result = kInputNotOpened;
        return false;
    }
    Log(session, kProgress, 32301, "Start of Utf8ToUtf16 conversion");

    in.utf16 = ConvertToUtf16(inputPath, &in.bytes, session.appDataPath);
    result = in.utf16.result;
    switch (result) {
        case kSuccess: Log(session, kProgress, 32005); return true;
        case kAlreadyUtf16: Log(session, kProgress, 32301, "NOONE:Utf 16 file"); return true;
        case kInputEmpty: Log(session, kProgress, 32003); return false;
        case kTempXmlNotWritten:
            // A Temp.xml that was there to write but could not be had whole
            // stops the conversion: logged as an outcome, with the reason,
            // and noted as a file not written.
            if (in.utf16.problem.empty()) {
                Log(session, kProgress, 32004);
            } else {
                session.unwritten.push_back({in.utf16.tempXmlPath, in.utf16.problemError});
                Log(session, kOutcome, 32004, in.utf16.problem.c_str());
            }
            return false;
        case kReadFailed: Log(session, kProgress, 32007); return false;
        case kUnknownEncoding: Log(session, kOutcome, 32006); return false;
        case kEncodingNotQuoted: Log(session, kOutcome, 32008); return false;
        default: return false;
    }
}

}  // namespace

int RunZK8ToCust(CSession& session, const char* inputPath, const char* outputPath, bool createNil) {
    PreparedInput in;
    int result = kSuccess;
    if (!Prepare(session, inputPath, 32000, in, result)) return result;

    // After a rewrite the engine reads Temp.xml, else the caller's file
    // (named by the caller's own string, so that no length limit applies).
    // Where Temp.xml holds just the input's characters, the input read as
    // UTF-8 is the same document, at half the bytes and without decoding.
    if (result == kSuccess && in.utf16.keptEveryCharacter) {
        CXmlTlvConverter(session).ConvertZK8ToCust(inputPath, outputPath, createNil, pugi::encoding_utf8,
                                                   &in.bytes);
    } else if (result == kSuccess) {
        // Temp.xml as this call wrote it, read back through the file it
        // wrote, never by its name: another program may have put its own
        // there since.
        CInputBytes().Swap(in.bytes);
        pugi::xml_document input;
        LoadInput(input, nullptr, pugi::encoding_auto, &in.utf16.tempXmlBytes);
        CXmlTlvConverter(session).ConvertLoadedZK8ToCust(input, outputPath, createNil);
    } else {
        CXmlTlvConverter(session).ConvertZK8ToCust(inputPath, outputPath, createNil, pugi::encoding_auto,
                                                   &in.bytes);
    }
    return kSuccess;
}

int RunCustToZK8(CSession& session, const char* inputPath, const char* outputPath, bool attributesOn) {
    PreparedInput in;
    int result = kSuccess;
    if (!Prepare(session, inputPath, 220001, in, result)) return result;

    // This direction's engine reads the caller's file even after a rewrite.
    CXmlTlvConverter(session).ConvertCustToZK8(inputPath, outputPath, &in.bytes);

    if (attributesOn) {
        LogAfterFiles(session, 32013);
        LogAfterFiles(session, 32011);
    } else {
        LogAfterFiles(session, 32014);
        LogAfterFiles(session, 32012);
    }
    LogAfterFiles(session, session.defaultNamespace ? 32015 : 32016);
    return 0;
}
