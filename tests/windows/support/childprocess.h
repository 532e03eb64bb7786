// Running programs: those of the system, and the helpers built beside the test executables.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tarn::test {

// The directory of the running executable, with a trailing backslash.
std::wstring ProgramDirectory();

struct ChildRun {
    DWORD exitCode = 0;
    std::string output; // standard output and standard error together
};

// Runs a command line (a program of the system, such as regsvr32) and waits for it.
ChildRun RunProgram(std::wstring commandLine);
// Runs `program` from ProgramDirectory() with `arguments` and waits for it.
ChildRun RunBeside(const std::wstring& program, const std::wstring& arguments);
// Starts `program` from ProgramDirectory() and returns its process handle (the caller closes
// it) without waiting; its standard output and error go to `output` when one is given.
HANDLE StartBeside(const std::wstring& program, const std::wstring& arguments,
                   HANDLE output = nullptr, DWORD creationFlags = 0);

struct DebuggedRun {
    DWORD exitCode = 0;
    std::vector<std::string> debugStrings; // OutputDebugString texts, in order
    int breakpoints = 0;                   // not counting the loader's initial one
};

// Runs `program` under this process as its debugger, answering every event.
DebuggedRun RunBesideUnderDebugger(const std::wstring& program, const std::wstring& arguments);

} // namespace tarn::test
