#pragma once
// The operating-system calls that programs, tests and benchmarks need, behind one seam:
// a port to another system changes Platform.cpp only. (Compiler flags have their seam
// in cmake/Platform.cmake.)
#include <cstdio>
#include <string>
#include <vector>

namespace tesora::platform {

// Whether the stream is an interactive terminal.
bool IsTerminal(std::FILE* stream);

// Sets an environment variable; an existing value is kept unless overwrite is set.
void SetEnvironment(const char* name, const char* value, bool overwrite);

// The directory of the running executable, without a trailing separator.
std::string ExecutableDirectory();

// Runs program with the arguments, its standard output and error discarded, and waits
// for it. Returns its exit status, or -1 when it could not start (some systems report
// that as status 127 instead) or did not exit normally; adds the processor time it used (user and system) to *cpuSeconds.
int RunDiscardingOutput(const std::string& program, const std::vector<std::string>& arguments, double* cpuSeconds);

}  // namespace tesora::platform
