// Copying bytes: between descriptors (standard input and output among
// them), or from a temporary file into a file that is not renamed over (a
// device, a pipe).
#pragma once

#include <string>

// Both return "" on success, else one line naming the side that failed and
// the system's reason ("cannot write out.xml: No space left on device").
// From where `from` stands to its end.
std::string CopyBytes(int from, const std::string& fromName, int to, const std::string& toName);
// All of `from`, from its start; `to` is created or emptied first.
std::string CopyFile(int from, const std::string& fromName, const std::string& to, const std::string& toName);
