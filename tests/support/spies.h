// Spies in import slots: a test program's own, for the layers it links, or
// the loaded Zanthel.dll's. Each puts its stand-in in place for its lifetime.
#pragma once

#include "support/imports.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <type_traits>
#include <vector>

namespace zanthel::test {

inline HMODULE ThisProgram() { return ::GetModuleHandleW(nullptr); }

// A system function as its DLL exports it, which is what import slots hold
// (the program's own &::Function may be a stub of its own).
template <typename Function>
Function* SystemFunction(const wchar_t* dll, const char* name)
{
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(::GetProcAddress(::LoadLibraryW(dll), name)));
}

template <typename T>
struct NotDeduced {
    using type = T;
};

// Points module's import slot of real at replacement while it lives, then back.
template <typename Function>
class ImportSpy {
public:
    using Replacement = typename NotDeduced<Function>::type*;
    ImportSpy(HMODULE module, Function* real, Replacement replacement)
        : module_(module),
          real_(real),
          replacement_(replacement),
          replaced_(ReplaceImportIn(module, At(real), At(replacement)))
    {
    }
    ImportSpy(HMODULE module, const wchar_t* dll, const char* name, Replacement replacement)
        : ImportSpy(module, SystemFunction<Function>(dll, name), replacement)
    {
    }
    ~ImportSpy()
    {
        if (replaced_) ReplaceImportIn(module_, At(replacement_), At(real_));
    }
    ImportSpy(const ImportSpy&) = delete;
    ImportSpy& operator=(const ImportSpy&) = delete;
    Function* real() const { return real_; }

private:
    static const void* At(Function* function) { return reinterpret_cast<const void*>(function); }
    const HMODULE module_;
    Function* const real_;
    Function* const replacement_;
    const bool replaced_;
};

// Every Shell_NotifyIcon call of module while it lives, in the W form or the
// A form classTray uses: the message and the record as far as its cbSize
// goes, the rest zero. One recorder of each form at a time.
template <typename Record>
class ShellRecorder {
    using Notify = std::conditional_t<std::is_same_v<Record, NOTIFYICONDATAW>, decltype(::Shell_NotifyIconW),
                                      decltype(::Shell_NotifyIconA)>;

public:
    struct Call {
        DWORD message;
        Record record;
    };
    std::vector<Call> calls;
    // What the shell answers; the real shell's answer when empty.
    std::function<BOOL(DWORD, Record*)> answer;

    explicit ShellRecorder(HMODULE module) : spy_(module, Shell(), &Note)
    {
        EXPECT_EQ(nullptr, current) << "one shell recorder of a form at a time";
        current = this;
    }
    ~ShellRecorder() { current = nullptr; }
    std::vector<DWORD> Messages() const
    {
        std::vector<DWORD> messages;
        for (const Call& call : calls) messages.push_back(call.message);
        return messages;
    }
    // The shell itself, whatever a recorder stands in front of.
    static BOOL RealShell(DWORD message, Record* record) { return Shell()(message, record); }

private:
    // Looked up once, before any call can come under the loader lock.
    static Notify* Shell()
    {
        static Notify* const shell = SystemFunction<Notify>(
            L"shell32.dll", std::is_same_v<Record, NOTIFYICONDATAW> ? "Shell_NotifyIconW" : "Shell_NotifyIconA");
        return shell;
    }
    static BOOL WINAPI Note(DWORD message, Record* record)
    {
        if (!current) return RealShell(message, record);
        Call call{message, {}};
        if (record) std::memcpy(&call.record, record, std::min<size_t>(record->cbSize, sizeof call.record));
        current->calls.push_back(call);
        return current->answer ? current->answer(message, record) : RealShell(message, record);
    }
    static inline ShellRecorder* current = nullptr;
    ImportSpy<Notify> spy_;
};

using ShellRecorderW = ShellRecorder<NOTIFYICONDATAW>;
using ShellRecorderA = ShellRecorder<NOTIFYICONDATAA>;

}  // namespace zanthel::test
