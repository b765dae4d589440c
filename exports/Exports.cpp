// The library's exported functions: thin adapters over the engine. Each
// conversion export names its direction and where its working directory
// comes from; the engine runs it guarded, so that no exception reaches the
// host, and one at a time.
#include "zk8_xml_conv.h"

#include "engine/Engine.h"

using engine::Direction;
using engine::Folder;

namespace {

int Convert(Direction direction, const char* inputPath, const char* outputPath, Folder folder,
            const char* workingDirectory = nullptr, const char* iniPath = nullptr) {
    return engine::Convert({direction, inputPath, outputPath, folder, workingDirectory, iniPath}).code;
}

}  // namespace

extern "C" {

ZK8_EXPORT int ZK8_API ZK8ToCust(const char* inputPath, const char* outputPath) {
    return Convert(Direction::ToCustomer, inputPath, outputPath, Folder::HostModule);
}

ZK8_EXPORT int ZK8_API ZK8ToCustExt(const char* inputPath, const char* outputPath,
                                    const char* workingDirectory) {
    return Convert(Direction::ToCustomer, inputPath, outputPath, Folder::Given, workingDirectory);
}

ZK8_EXPORT int ZK8_API ZK8ToCustLibStd(const char* inputPath, const char* outputPath,
                                       const char* workingDirectory, const char* iniPath) {
    return Convert(Direction::ToCustomer, inputPath, outputPath, Folder::Settings, workingDirectory, iniPath);
}

ZK8_EXPORT int ZK8_API CustToZK8(const char* inputPath, const char* outputPath) {
    return Convert(Direction::ToDevice, inputPath, outputPath, Folder::HostModule);
}

ZK8_EXPORT int ZK8_API CustToZK8WithLengthAttribute(const char* inputPath,
                                                    const char* outputPath) {
    return CustToZK8(inputPath, outputPath);
}

ZK8_EXPORT int ZK8_API CustToZK8Ext(const char* inputPath, const char* outputPath,
                                    const char* workingDirectory) {
    return Convert(Direction::ToDevice, inputPath, outputPath, Folder::Given, workingDirectory);
}

#if !defined(_WIN32)
// On Windows the module-definition file gives this entry point its second
// name; elsewhere it is a name of its own for the same function.
ZK8_EXPORT int ZK8_API CustToZK8ExtWithLengthAttribute(const char* inputPath,
                                                       const char* outputPath,
                                                       const char* workingDirectory)
    __attribute__((alias("CustToZK8Ext")));
#endif

ZK8_EXPORT int ZK8_API CustToZK8LibStd(const char* inputPath, const char* outputPath,
                                       const char* workingDirectory, const char* iniPath) {
    return Convert(Direction::ToDevice, inputPath, outputPath, Folder::Settings, workingDirectory, iniPath);
}

ZK8_EXPORT int ZK8_API CreateTagList(const char* path) {
    return engine::WriteTagList(path).code;
}

}  // extern "C"
