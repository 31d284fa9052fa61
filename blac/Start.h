#pragma once
// The start of the program, shared by the window, the command-line tool, the tests and
// the benchmarks, so that all of them begin from the same state.
namespace tesora {

// What a freshly started program holds: the state's initial values, the power and
// level tables, the filters for Delta 0 and a zero working matrix. Calling it again
// forgets everything a previous picture left behind.
void StartProgram();

}  // namespace tesora
