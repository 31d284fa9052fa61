#include "platform/Platform.h"

#if !defined(__unix__) && !defined(__APPLE__)
#error "tesora: implement platform/Platform.cpp for this operating system"
#endif

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

extern char** environ;

namespace tesora::platform {

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

void SetEnvironment(const char* name, const char* value, bool overwrite) { setenv(name, value, overwrite ? 1 : 0); }

std::string ExecutableDirectory() {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string path(self, n > 0 ? static_cast<std::size_t>(n) : 0);
    return path.substr(0, path.rfind('/'));
}

int RunDiscardingOutput(const std::string& program, const std::vector<std::string>& arguments, double* cpuSeconds) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return -1;
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    *cpuSeconds += static_cast<double>(usage.ru_utime.tv_sec) + static_cast<double>(usage.ru_utime.tv_usec) * 1e-6 +
                   static_cast<double>(usage.ru_stime.tv_sec) + static_cast<double>(usage.ru_stime.tv_usec) * 1e-6;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tesora::platform
