#include "notify/shell_record.h"

#include <utility>

namespace zanthel {
namespace {

constexpr UINT kShownFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
constexpr UINT kTipUnits = ARRAYSIZE(NOTIFYICONDATAW{}.szTip) - 1;

template <UINT Size>
void CopyCut(wchar_t (&field)[Size], const Text& text) noexcept
{
    const UINT length = text.CutLength(Size - 1);
    ::CopyMemory(field, text.Chars(), length * sizeof(wchar_t));
    field[length] = L'\0';
}

using GetRect = HRESULT WINAPI(const NOTIFYICONIDENTIFIER*, RECT*);

}  // namespace

HRESULT ShellRecord::SetTip(const Text& tip) noexcept
{
    const HRESULT hr = tip_.Assign(tip.Chars(), tip.CutLength(kTipUnits));
    if (FAILED(hr)) return hr;
    // A shell that refuses it now gets it again with "TaskbarCreated".
    if (shell_ != Shell::Absent) Tell(NIM_MODIFY, 0);
    return S_OK;
}

void ShellRecord::SetPicture(UniqueIcon picture, int size) noexcept
{
    // The shell may draw the old handle until NIM_MODIFY has replaced it.
    UniqueIcon previous(picture_.release());
    picture_ = std::move(picture);
    pictureSize_ = size;
    if (shell_ != Shell::Absent) Tell(NIM_MODIFY, NIF_ICON);
}

void ShellRecord::Want(bool shown) noexcept
{
    if (shown == Wanted()) return;
    if (shown) {
        exitRecord_.Remember(window_, kIconId);
        Sync();
        return;
    }
    // Whatever the add answered: the shell may have kept the icon.
    Tell(NIM_DELETE, 0);
    exitRecord_.Forget();
    balloonPicture_.reset();
    shell_ = Shell::Absent;
    if (window_) ::KillTimer(window_, kRetryTimer);
}

void ShellRecord::Sync() noexcept
{
    if (!Wanted() || !window_) return;
    // A shell whose reply timed out may have kept the icon all the same: a
    // change it accepts says it has it.
    if (shell_ == Shell::Absent && (Tell(NIM_ADD, kShownFlags) || Tell(NIM_MODIFY, kShownFlags))) shell_ = Shell::Added;
    // Until then the shell sends callbacks in a form the icon cannot read.
    if (shell_ == Shell::Added && Tell(NIM_SETVERSION, 0)) shell_ = Shell::Versioned;
    if (shell_ == Shell::Versioned) {
        ::KillTimer(window_, kRetryTimer);
    } else {
        ::SetTimer(window_, kRetryTimer, kRetryMilliseconds, nullptr);
    }
}

bool ShellRecord::ShowBalloon(const Text& title, const Text& text, DWORD flags, UniqueIcon picture) noexcept
{
    NOTIFYICONDATAW data{};
    Fill(data, NIF_INFO | NIF_TIP | NIF_SHOWTIP);
    CopyCut(data.szInfoTitle, title);
    CopyCut(data.szInfo, text);
    data.dwInfoFlags = flags;
    data.hBalloonIcon = picture.get();
    if (!::Shell_NotifyIconW(NIM_MODIFY, &data)) return false;
    balloonPicture_ = std::move(picture);
    return true;
}

void ShellRecord::GiveFocusBack() const noexcept
{
    if (shell_ != Shell::Absent) Tell(NIM_SETFOCUS, 0);
}

bool ShellRecord::Rect(RECT& rect) const noexcept
{
    // Windows 7's; looked up so that the module loads where it is missing.
    const HMODULE shell = ::GetModuleHandleW(L"shell32.dll");
    auto* getRect =
        shell ? reinterpret_cast<GetRect*>(reinterpret_cast<void*>(::GetProcAddress(shell, "Shell_NotifyIconGetRect")))
              : nullptr;
    if (!getRect || shell_ == Shell::Absent) return false;
    NOTIFYICONIDENTIFIER identifier{};
    identifier.cbSize = sizeof(identifier);
    identifier.hWnd = window_;
    identifier.uID = kIconId;
    return getRect(&identifier, &rect) == S_OK && rect.right > rect.left && rect.bottom > rect.top;
}

void ShellRecord::Withdraw() noexcept
{
    Want(false);
    window_ = nullptr;
    picture_.reset();
    balloonPicture_.reset();
}

void ShellRecord::Fill(NOTIFYICONDATAW& data, UINT flags) const noexcept
{
    data.cbSize = sizeof(data);
    data.hWnd = window_;
    data.uID = kIconId;
    data.uFlags = flags;
    data.uCallbackMessage = kCallbackMessage;
    data.hIcon = picture_.get();
    CopyCut(data.szTip, tip_);
    data.uVersion = NOTIFYICON_VERSION_4;
}

bool ShellRecord::Tell(DWORD message, UINT flags) const noexcept
{
    NOTIFYICONDATAW data{};
    // A version-4 icon keeps its standard tip only while every change says so.
    Fill(data, message == NIM_MODIFY ? flags | NIF_TIP | NIF_SHOWTIP : flags);
    return ::Shell_NotifyIconW(message, &data);
}

}  // namespace zanthel
