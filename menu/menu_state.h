// The menus' part of the apartment's state.
#pragma once

#include "common/apartment.h"
#include "common/ref_counted.h"
#include "common/text.h"
#include "menu/caption_table.h"

namespace zanthel {

class clsMenuBar;

struct MenuState final : ApartmentPart {
    static constexpr ApartmentLayer kLayer = ApartmentLayer::Menu;
    MenuState();
    ~MenuState() override;

    // The first tray caption; "Zanthel" until the host appends one.
    Text gTopCaption;
    CaptionTable gMenuCaptions;
    Ref<clsMenuBar> gMenuBar;
    HWND gMenuWindow = nullptr;
};

// This apartment's menu state, created on first use; null without memory.
inline MenuState* MenuApartment() noexcept { return ApartmentState<MenuState>(); }

}  // namespace zanthel
