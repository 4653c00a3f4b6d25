#include "child_process.h"

#include <cstdio>
#include <vector>

namespace zanthel::bench {

std::wstring ProgramBeside(const wchar_t* fileName)
{
    wchar_t path[MAX_PATH];
    DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    folder.erase(folder.find_last_of(L"\\/") + 1);
    return folder + fileName;
}

namespace {

// Wine does not always mark the handles it made from Unix descriptors as
// inheritable; a duplicate made so is.
HANDLE Inheritable(DWORD which)
{
    HANDLE handle = ::GetStdHandle(which);
    HANDLE copy = nullptr;
    if (!handle || handle == INVALID_HANDLE_VALUE) return nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), handle, ::GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS);
    return copy;
}

}  // namespace

DWORD RunChild(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs)
{
    std::fflush(stdout);
    std::fflush(stderr);
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = Inheritable(STD_INPUT_HANDLE);
    startup.hStdOutput = Inheritable(STD_OUTPUT_HANDLE);
    startup.hStdError = Inheritable(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    const BOOL started = ::CreateProcessW(program.c_str(), buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                          &startup, &process);
    for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        if (h) ::CloseHandle(h);
    if (!started) {
        std::fprintf(stderr, "cannot start %ls: error %lu\n", program.c_str(), ::GetLastError());
        return ::GetLastError() | 0x80000000u;
    }
    DWORD code = kChildTimedOut;
    if (::WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        ::GetExitCodeProcess(process.hProcess, &code);
    } else {
        ::TerminateProcess(process.hProcess, kChildTimedOut);
        ::WaitForSingleObject(process.hProcess, INFINITE);
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return code;
}

}  // namespace zanthel::bench
