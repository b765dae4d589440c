#include "engine/ConversionDrivers.h"

#include <cstdio>
#include <cstring>

#include "converter/InputDocument.h"
#include "encoding/InputBytes.h"
#include "encoding/Utf8ToUtf16Converter.h"
#include "engine/XmlTlvConverter.h"
#include "platform/Platform.h"
#include "runlog/ZkLogFile.h"

namespace {

enum Level { kOutcome = 1, kProgress = 2 };

void Log(const CSession& session, int level, int code, const char* text = "") {
    GetLogger().Log(g_moduleName, level, code, text, session.workingDirectory);
}

// Once the call's files are written, a failure to log (no memory for the
// entry) loses the entry and changes nothing else: the call keeps its result.
void LogAfterFiles(const CSession& session, int code) noexcept {
    try {
        Log(session, kOutcome, code);
    } catch (...) {
    }
}

// Reads the input once for the detection, the rewrite and the parse; where
// it cannot be read whole, each reads the file. False when it does not open.
bool ReadInput(const char* path, CInputBytes& bytes) {
    if (bytes.Load(path)) return true;
    std::FILE* file = platform::OpenStream(path, "rb");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

// Has the input normalised to UTF-16 and logs the outcome. True when the
// conversion may go on; otherwise `result` holds the code to return.
// `inputAsUtf8` tells that a rewrite kept every character of the input, so
// that the input itself, read as UTF-8, stands for Temp.xml.
bool Normalise(const CSession& session, CUtf8ToUtf16Converter& converter, const char* inputPath,
               const CInputBytes& bytes, char* pathBuffer, int& result, bool& inputAsUtf8) {
    std::strncpy(pathBuffer, inputPath, kPathBufferSize - 1);
    pathBuffer[kPathBufferSize - 1] = '\0';
    Log(session, kProgress, 32301, "Start of Utf8ToUtf16 conversion");

    result = converter.ConvertToUtf16(inputPath, pathBuffer, &bytes);
    inputAsUtf8 = result == 0 && converter.RewriteKeptEveryCharacter();
    switch (result) {
        case 0: Log(session, kProgress, 32005); return true;
        case 99: Log(session, kProgress, 32301, "NOONE:Utf 16 file"); return true;
        case -99: Log(session, kProgress, 32003); return false;
        case -95:
            // A Temp.xml that was there to write but could not be had whole
            // stops the conversion: logged as an outcome, with the reason.
            if (converter.TempXmlProblem().empty()) Log(session, kProgress, 32004);
            else Log(session, kOutcome, 32004, converter.TempXmlProblem().c_str());
            return false;
        case -94: Log(session, kProgress, 32007); return false;
        case -98: Log(session, kOutcome, 32006); return false;
        case -93: Log(session, kOutcome, 32008); return false;
        default: return false;
    }
}

}  // namespace

int RunZK8ToCust(CSession& session, const char* inputPath, const char* outputPath, std::uint8_t option) {
    CInputBytes bytes;
    if (!ReadInput(inputPath, bytes)) {
        Log(session, kOutcome, 32000);
        return -1;
    }
    CUtf8ToUtf16Converter converter;
    char pathBuffer[kPathBufferSize] = {};
    int result = 0;
    bool inputAsUtf8 = false;
    if (!Normalise(session, converter, inputPath, bytes, pathBuffer, result, inputAsUtf8)) return result;

    // After a rewrite the engine reads Temp.xml, else the caller's file
    // (named by the caller's own string, so that no length limit applies).
    // Where Temp.xml holds just the input's characters, the input read as
    // UTF-8 is the same document, at half the bytes and without decoding.
    if (inputAsUtf8) {
        converter.ReleaseTempXml();
        CXmlTlvConverter(session).ConvertZK8ToCust(inputPath, outputPath, option != 0, pugi::encoding_utf8, &bytes);
    } else if (result == 0) {
        // Temp.xml is read while the rewrite still holds it: another
        // program's rewrite waits until this one has been loaded.
        CInputBytes().Swap(bytes);
        pugi::xml_document input;
        LoadInput(input, pathBuffer, pugi::encoding_auto);
        converter.ReleaseTempXml();
        CXmlTlvConverter(session).ConvertLoadedZK8ToCust(input, outputPath, option != 0);
    } else {
        CXmlTlvConverter(session).ConvertZK8ToCust(inputPath, outputPath, option != 0, pugi::encoding_auto, &bytes);
    }
    return 0;
}

int RunCustToZK8(CSession& session, const char* inputPath, const char* outputPath, std::uint8_t option) {
    CInputBytes bytes;
    if (!ReadInput(inputPath, bytes)) {
        Log(session, kOutcome, 220001);
        return -1;
    }
    CUtf8ToUtf16Converter converter;
    char pathBuffer[kPathBufferSize] = {};
    int result = 0;
    bool inputAsUtf8 = false;
    if (!Normalise(session, converter, inputPath, bytes, pathBuffer, result, inputAsUtf8)) return result;

    // This direction's engine reads the caller's file even after a rewrite.
    converter.ReleaseTempXml();
    CXmlTlvConverter(session).ConvertCustToZK8(inputPath, outputPath, &bytes);

    if (option == 1) {
        LogAfterFiles(session, 32013);
        LogAfterFiles(session, 32011);
    } else {
        LogAfterFiles(session, 32014);
        LogAfterFiles(session, 32012);
    }
    LogAfterFiles(session, session.defaultNamespace ? 32015 : 32016);
    return 0;
}
