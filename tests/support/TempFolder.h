// Test helpers: a temporary folder removed at the end of the test, and small
// whole-file read and write functions; standard C++ only, for every platform
// the tests run on.
#pragma once

#include <string>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string& Path() const { return m_path; }
    // Path of a name inside the folder.
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
