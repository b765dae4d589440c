// The library's exported functions. Each conversion export fixes the working
// directory and hands its paths to the driver of its direction; every export
// runs guarded, so that no exception reaches the host.
#include "zk8_xml_conv.h"

#include "exports/CallGuard.h"
#include "exports/ConversionDrivers.h"
#include "exports/WorkingDirectory.h"
#include "exports/XmlTlvConverter.h"

extern "C" {

ZK8_EXPORT int ZK8_API ZK8ToCust(const char* inputPath, const char* outputPath) {
    return GuardedCall(inputPath, [&] {
        SetWorkingDirectoryFromHostModule();
        return RunZK8ToCust(inputPath, outputPath, 1);
    });
}

ZK8_EXPORT int ZK8_API ZK8ToCustExt(const char* inputPath, const char* outputPath,
                                    const char* workingDirectory) {
    return GuardedCall(inputPath, [&] {
        SetWorkingDirectory(workingDirectory);
        return RunZK8ToCust(inputPath, outputPath, 1);
    });
}

ZK8_EXPORT int ZK8_API CustToZK8(const char* inputPath, const char* outputPath) {
    return GuardedCall(inputPath, [&] {
        SetWorkingDirectoryFromHostModule();
        return RunCustToZK8(inputPath, outputPath, 1);
    });
}

ZK8_EXPORT int ZK8_API CustToZK8WithLengthAttribute(const char* inputPath,
                                                    const char* outputPath) {
    return CustToZK8(inputPath, outputPath);
}

ZK8_EXPORT int ZK8_API CustToZK8Ext(const char* inputPath, const char* outputPath,
                                    const char* workingDirectory) {
    return GuardedCall(inputPath, [&] {
        SetWorkingDirectory(workingDirectory);
        return RunCustToZK8(inputPath, outputPath, 1);
    });
}

#if !defined(_WIN32)
// On Windows the module-definition file gives this entry point its second
// name; elsewhere it is a name of its own for the same function.
ZK8_EXPORT int ZK8_API CustToZK8ExtWithLengthAttribute(const char* inputPath,
                                                       const char* outputPath,
                                                       const char* workingDirectory)
    __attribute__((alias("CustToZK8Ext")));
#endif

ZK8_EXPORT int ZK8_API CreateTagList(const char* path) {
    return GuardedCall(path, [&] { return g_converter.WriteTagList(path); });
}

}  // extern "C"
