#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace ombrix::tools {

// Where a spawned program reads and writes: files by path ("/dev/full" is a path too), or for
// standard output a descriptor already open (a pipe), when outFd is not -1.
struct ProgramFiles {
    std::string in = "/dev/null";
    std::string out;
    std::string err;
    int outFd = -1;
};

// Starts the program as spawnProgram does without waiting for it: its process ID, or -1.
pid_t startProgram(const std::string& program, std::vector<std::string> args,
                   const ProgramFiles& files);
// Waits for a started program: its exit status, or -1 when it died by a signal.
int waitForProgram(pid_t pid);

// Runs the program with the arguments and its standard streams on the files, waits for it,
// and returns its exit status (-1 when it could not start or died by a signal).
int spawnProgram(const std::string& program, std::vector<std::string> args,
                 const ProgramFiles& files);

}  // namespace ombrix::tools
