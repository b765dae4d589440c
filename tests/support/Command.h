// Runs a command line and captures its exit status and output.
#pragma once

#include <string>

struct CommandRun {
    int status;          // exit status, -1 when the command did not exit normally
    std::string output;  // standard output and standard error
};

CommandRun RunCommand(const std::string& command);
