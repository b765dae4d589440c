// Fallback folders: application data, the executable's folder, the current
// directory, and the existence test used with them.
#pragma once

#include <string>

constexpr std::size_t kPathBufferSize = 260;

int GetWindowsVersionClass();
// The product's folder below the machine-wide application-data folder, kept
// in `remembered` (kPathBufferSize bytes), which holds the last path found:
// a failed query keeps it, and returns it.
const char* GetAppDataPath(char* remembered);
// The executable's full path up to, not including, its last separator.
std::string GetExeFolder();
bool GetCurrentDirectoryString(std::string& out);
// True for existing files and folders; a null path counts as existing.
bool FileExists(const char* path);
