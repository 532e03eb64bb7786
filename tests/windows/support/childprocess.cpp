#include "support/childprocess.h"

#include <stdexcept>

namespace tarn::test {

namespace {

// One owning holder for the kernel handles of these helpers.
class Handle {
public:
    explicit Handle(HANDLE handle = nullptr) noexcept : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    HANDLE Get() const noexcept { return handle_; }

private:
    HANDLE handle_;
};

std::wstring CommandLine(const std::wstring& program, const std::wstring& arguments) {
    return L"\"" + ProgramDirectory() + program + L"\" " + arguments;
}

// A temporary file that the child writes its output into; deleted when closed.
HANDLE OutputFile() {
    wchar_t directory[MAX_PATH];
    wchar_t path[MAX_PATH];
    GetTempPathW(MAX_PATH, directory);
    GetTempFileNameW(directory, L"tco", 0, path);
    SECURITY_ATTRIBUTES security = {sizeof(security), nullptr, TRUE};
    const HANDLE file = CreateFileW(
        path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        &security, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot create the child's output file");
    }
    return file;
}

std::string ReadAll(HANDLE file) {
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got != 0) {
        text.append(buffer, got);
    }
    return text;
}

std::string ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
    const std::size_t units = info.nDebugStringLength;
    const std::size_t unitSize = info.fUnicode ? sizeof(wchar_t) : 1;
    std::string bytes(units * unitSize, '\0');
    SIZE_T read = 0;
    ReadProcessMemory(process, info.lpDebugStringData, bytes.data(), bytes.size(), &read);
    bytes.resize(read);
    if (!info.fUnicode) {
        return std::string(bytes.c_str());
    }
    std::string narrow;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const wchar_t c = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                               (static_cast<unsigned char>(bytes[i + 1]) << 8));
        if (c == L'\0') {
            break;
        }
        narrow += static_cast<char>(c < 0x80 ? c : '?');
    }
    return narrow;
}

} // namespace

std::wstring ProgramDirectory() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path, length);
    return directory.substr(0, directory.find_last_of(L"\\/") + 1);
}

ChildRun RunBeside(const std::wstring& program, const std::wstring& arguments) {
    return RunProgram(CommandLine(program, arguments));
}

HANDLE StartBeside(const std::wstring& program, const std::wstring& arguments, HANDLE output,
                   DWORD creationFlags) {
    std::wstring commandLine = CommandLine(program, arguments);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = output != nullptr ? STARTF_USESTDHANDLES : 0;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, output != nullptr,
                        creationFlags, nullptr, nullptr, &startup, &info)) {
        throw std::runtime_error("cannot start a program, error " + std::to_string(GetLastError()));
    }
    CloseHandle(info.hThread);
    return info.hProcess;
}

ChildRun RunProgram(std::wstring commandLine) {
    const Handle output(OutputFile());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output.Get();
    startup.hStdError = output.Get();
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &info)) {
        throw std::runtime_error("cannot start a program, error " + std::to_string(GetLastError()));
    }
    const Handle process(info.hProcess);
    const Handle thread(info.hThread);
    WaitForSingleObject(process.Get(), INFINITE);
    ChildRun run;
    GetExitCodeProcess(process.Get(), &run.exitCode);
    run.output = ReadAll(output.Get());
    return run;
}

DebuggedRun RunBesideUnderDebugger(const std::wstring& program, const std::wstring& arguments) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::wstring commandLine = CommandLine(program, arguments);
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                        DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr, &startup, &info)) {
        throw std::runtime_error("cannot start the debugged process");
    }
    const Handle process(info.hProcess);
    const Handle thread(info.hThread);
    DebuggedRun run;
    bool initialBreakpointSeen = false;
    for (;;) {
        DEBUG_EVENT event = {};
        if (!WaitForDebugEvent(&event, 60000)) {
            throw std::runtime_error("the debugged process does not answer");
        }
        DWORD continueStatus = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            CloseHandle(event.u.LoadDll.hFile);
            break;
        case OUTPUT_DEBUG_STRING_EVENT:
            run.debugStrings.push_back(ReadDebugString(process.Get(), event.u.DebugString));
            break;
        case EXCEPTION_DEBUG_EVENT:
            if (event.u.Exception.ExceptionRecord.ExceptionCode == EXCEPTION_BREAKPOINT) {
                run.breakpoints += initialBreakpointSeen ? 1 : 0;
                initialBreakpointSeen = true;
            } else {
                continueStatus = DBG_EXCEPTION_NOT_HANDLED;
            }
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            run.exitCode = event.u.ExitProcess.dwExitCode;
            ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
            return run;
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continueStatus);
    }
}

} // namespace tarn::test
