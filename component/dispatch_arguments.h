// Argument handling that IDispatch::Invoke adds in front of the type
// information's own, where Wine's is looser than automation clients expect.
#pragma once

#include "common/handles.h"
#include "common/win.h"

namespace zanthel {

// The argument count of every member, read once from the type information,
// so a call is checked without walking the function descriptions.
class MemberTable {
public:
    HRESULT Load(ITypeInfo* info) noexcept;

    // Whether a member of that DISPID answers one of the kinds in flags.
    bool Answers(DISPID id, WORD flags) const noexcept;
    // Whether the call passes more arguments than the member of that DISPID
    // and kind takes.
    bool TooManyArguments(DISPID id, WORD flags, UINT arguments) const noexcept;

    // More than any member with [in, out] parameters takes; the inherited
    // IDispatch methods, which take more, are not for calling through Invoke.
    static constexpr UINT kMaxArguments = 4;

private:
    struct Member {
        DISPID id;
        INVOKEKIND kind;
        UINT arguments;
    };
    // A dual interface lists the members it inherits too: INotifyIcon2 has 31.
    static constexpr UINT kMaxMembers = 48;
    Member members_[kMaxMembers] = {};
    UINT count_ = 0;
};

// The arguments handed to ITypeInfo::Invoke for members whose parameters are
// all [in, out] BSTR*. Oleaut32 writes a value back into a by-value argument
// of an [in, out] parameter, freeing what was there; so the caller's arguments
// go through untouched only when all are plain references, and otherwise as
// copies the component owns and frees, each value already made a string.
class InvokeArguments {
public:
    InvokeArguments() = default;
    InvokeArguments(const InvokeArguments&) = delete;
    InvokeArguments& operator=(const InvokeArguments&) = delete;

    // Fails with the index of the argument in argumentError when one cannot
    // be copied or made a string; nothing is called then. At most
    // MemberTable::kMaxArguments arguments.
    HRESULT Prepare(const DISPPARAMS& caller, UINT* argumentError) noexcept;
    DISPPARAMS* Get() noexcept { return &params_; }

private:
    DISPPARAMS params_{};
    UniqueVariants<MemberTable::kMaxArguments> owned_;
};

// The caller's arguments as they came, for members whose parameters are all
// [in]: oleaut32 writes nothing back into them.
class CallerArguments {
public:
    HRESULT Prepare(const DISPPARAMS& caller, UINT*) noexcept
    {
        params_ = caller;
        return S_OK;
    }
    DISPPARAMS* Get() noexcept { return &params_; }

private:
    DISPPARAMS params_{};
};

}  // namespace zanthel
