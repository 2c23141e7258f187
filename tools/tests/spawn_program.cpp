#include "tools/tests/spawn_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

namespace ombrix::tools {

pid_t startProgram(const std::string& program, std::vector<std::string> args,
                   const ProgramFiles& files) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, files.in.c_str(), O_RDONLY, 0);
    if (files.outFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, files.outFd, 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, files.out.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    posix_spawn_file_actions_addopen(&actions, 2, files.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::string path = program;
    std::vector<char*> argv{path.data()};
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int waitForProgram(pid_t pid) {
    int status = -1;
    if (pid > 0) {
        ::waitpid(pid, &status, 0);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int spawnProgram(const std::string& program, std::vector<std::string> args,
                 const ProgramFiles& files) {
    return waitForProgram(startProgram(program, std::move(args), files));
}

}  // namespace ombrix::tools
