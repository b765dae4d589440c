// Loads the built library as a host program does and looks up its exports.
#pragma once

#include <string>

class Library {
public:
    using TwoPaths = int (*)(const char*, const char*);
    using ThreePaths = int (*)(const char*, const char*, const char*);
    using FourPaths = int (*)(const char*, const char*, const char*, const char*);
    using OnePath = int (*)(const char*);

    // Loads the host-module stand-in first when asked to, so that its folder
    // becomes the working directory of the plain exports.
    explicit Library(bool withHostModule = false);
    ~Library();

    TwoPaths ZK8ToCust;
    ThreePaths ZK8ToCustExt;
    FourPaths ZK8ToCustLibStd;
    TwoPaths CustToZK8;
    TwoPaths CustToZK8WithLengthAttribute;
    ThreePaths CustToZK8Ext;
    ThreePaths CustToZK8ExtWithLengthAttribute;
    FourPaths CustToZK8LibStd;
    OnePath CreateTagList;

private:
    void* Symbol(const char* name);
    void* m_host = nullptr;
    void* m_library = nullptr;
};

// Folder of the host-module stand-in and of the test executable, each with a
// trailing "/".
std::string HostModuleFolder();
std::string ExecutableFolder();
