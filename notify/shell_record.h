// The icon's record in the notification area: what the host wants shown (the
// tip, the picture, whether it is shown at all) and what the shell has, which
// differ while the shell is starting or busy, brought together by Sync().
#pragma once

#include "common/exit_cleanup.h"
#include "common/handles.h"
#include "common/text.h"
#include "common/win.h"

namespace zanthel {

class ShellRecord {
public:
    // The shell's callback message, sent to the record's window.
    static constexpr UINT kCallbackMessage = WM_APP + 1;
    // Each icon has a window of its own, so one identifier serves every icon.
    static constexpr UINT kIconId = 1;
    // While the shell has not taken a wanted icon, the window offers it again
    // on this timer.
    static constexpr UINT_PTR kRetryTimer = 1;
    static constexpr UINT kRetryMilliseconds = 3000;

    ShellRecord() = default;
    ShellRecord(const ShellRecord&) = delete;
    ShellRecord& operator=(const ShellRecord&) = delete;

    // The window the shell sends callbacks to.
    void Attach(HWND window) noexcept { window_ = window; }

    // Up to 127 UTF-16 units; a longer tip is cut without splitting a
    // surrogate pair. A shown icon changes in place.
    HRESULT SetTip(const Text& tip) noexcept;
    const Text& Tip() const noexcept { return tip_; }
    // picture, of width size, in place of the current one.
    void SetPicture(UniqueIcon picture, int size) noexcept;
    int PictureSize() const noexcept { return pictureSize_; }

    // Whether the host wants the icon shown: it is, whenever the shell can.
    bool Wanted() const noexcept { return exitRecord_.Listed(); }
    void Want(bool shown) noexcept;
    // Brings the shell to what is wanted; what it refused is offered again
    // on the retry timer.
    void Sync() noexcept;
    // The shell started again with an empty notification area.
    void Forget() noexcept { shell_ = Shell::Absent; }

    // flags are the balloon's NIIF_ flags; picture is drawn by the shell
    // until BalloonGone.
    bool ShowBalloon(const Text& title, const Text& text, DWORD flags, UniqueIcon picture) noexcept;
    void BalloonGone() noexcept { balloonPicture_.reset(); }
    // Gives the keyboard focus back to the notification area.
    void GiveFocusBack() const noexcept;
    // Where the icon is on the screen; false when the shell cannot say.
    bool Rect(RECT& rect) const noexcept;
    // Leaves the notification area for good and lets go of the pictures.
    void Withdraw() noexcept;

private:
    // What the shell has of the icon.
    enum class Shell : UCHAR { Absent, Added, Versioned };

    void Fill(NOTIFYICONDATAW& data, UINT flags) const noexcept;
    bool Tell(DWORD message, UINT flags) const noexcept;

    HWND window_ = nullptr;
    Text tip_;
    UniqueIcon picture_;
    // The width picture_ was loaded at, to reload when the scale changes.
    int pictureSize_ = 0;
    // A balloon's own picture, kept while the shell may draw it.
    UniqueIcon balloonPicture_;
    Shell shell_ = Shell::Absent;
    // Listed while the icon is wanted, so that the process's exit takes it away.
    ShownIconRecord exitRecord_;
};

}  // namespace zanthel
