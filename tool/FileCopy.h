// Copying bytes: between descriptors (standard input and output among
// them), or from one file into another of any kind, where a rename is not
// possible (another file system) or not wanted (a device, a pipe).
#pragma once

#include <string>

// Both return "" on success, else one line naming the side that failed and
// the system's reason ("cannot write out.xml: No space left on device").
std::string CopyBytes(int from, const std::string& fromName, int to, const std::string& toName);
// `to` is created or emptied first.
std::string CopyFile(const std::string& from, const std::string& to);
