// Fallback folders: application data, the executable's folder, the current
// directory, and the existence test used with them.
#pragma once

#include <string>

constexpr std::size_t kPathBufferSize = 260;

// The last application-data path found, empty until the first success; a
// failed query keeps it. The session holds it (engine/Session.cpp).
char* RememberedAppDataPath();

int GetWindowsVersionClass();
// The product's folder below the machine-wide application-data folder.
const char* GetAppDataPath();
// The executable's full path up to, not including, its last separator.
std::string GetExeFolder();
bool GetCurrentDirectoryString(std::string& out);
// True for existing files and folders; a null path counts as existing.
bool FileExists(const char* path);
