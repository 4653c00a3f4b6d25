// Runs this program again as a child process, so that a crash ends only the
// child and the parent can count it and go on.
#pragma once

#include "common/win.h"

#include <string>

namespace zanthel::bench {

// The exit code of a child that did not end within its time.
constexpr DWORD kChildTimedOut = 0xFFFFFFFEu;

// The full path of a program next to this one.
std::wstring ProgramBeside(const wchar_t* fileName);

// Starts program with the arguments (one string, already quoted as needed),
// sharing this process's standard handles and inheritable handles, waits for
// it and returns its exit code; kChildTimedOut after it was ended for taking
// longer than timeoutMs.
DWORD RunChild(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs = INFINITE);

// Whether an exit code is an exception code (a crash), not a return from main.
inline bool IsCrash(DWORD exitCode) { return exitCode >= 0xC0000000u && exitCode != kChildTimedOut; }

}  // namespace zanthel::bench
