// The icon's menu: a tree of items and submenus whose identifiers come from
// one sequence, radio groups per submenu and one default item, kept in the
// native menus the popup shows.
#pragma once

#include "common/growable_array.h"
#include "common/handles.h"
#include "common/text.h"
#include "common/win.h"

namespace zanthel {

class IconMenu {
public:
    // The parent that names the top menu.
    static constexpr LONG kTop = 0;

    IconMenu() = default;
    IconMenu(const IconMenu&) = delete;
    IconMenu& operator=(const IconMenu&) = delete;

    // Appends an item, or an item that opens a new empty submenu, to parent.
    HRESULT Add(LONG parent, const Text& caption, bool submenu, LONG& id) noexcept;
    HRESULT AddSeparator(LONG parent) noexcept;
    HRESULT SetCaption(LONG id, const Text& caption) noexcept;
    // A submenu goes with everything in it. While a popup shows the menu,
    // what leaves it is kept until EndPopup.
    HRESULT Remove(LONG id) noexcept;
    HRESULT SetChecked(LONG id, bool checked) noexcept;
    HRESULT SetEnabled(LONG id, bool enabled) noexcept;
    HRESULT SetRadio(LONG id, LONG group) noexcept;
    HRESULT SetDefault(LONG id) noexcept;
    LONG Default() const noexcept { return default_; }
    void Clear() noexcept;

    // The top menu while it has items, for the popup; null otherwise.
    HMENU Popup() const noexcept;
    void BeginPopup() noexcept { showing_ = true; }
    void EndPopup() noexcept;
    // The user chose id: a radio item becomes the checked one of its group.
    void Chosen(LONG id) noexcept;
    bool IsEnabledItem(LONG id) const noexcept;
    bool Showing() const noexcept { return showing_; }
    bool Choose(UINT command, LONG& id, Text& caption) noexcept;
    bool ChooseDefault(LONG& id, Text& caption) noexcept;

private:
    struct Entry {
        LONG id = 0;
        // The menu that holds the item, and the one it opens (submenus only).
        HMENU owner = nullptr;
        HMENU submenu = nullptr;
        LONG group = 0;
    };

    // The entry of a live id, or null; describes the failure when null.
    Entry* Find(LONG id) noexcept;
    const Entry* Find(LONG id) const noexcept;
    HRESULT Unknown(LONG id, const wchar_t* what) const noexcept;
    HRESULT Owner(LONG parent, HMENU& owner) noexcept;
    Entry* FindItem(LONG id) noexcept;
    UINT Position(const Entry& entry) const noexcept;
    void Check(Entry& entry, bool checked) noexcept;
    // Forgets every entry held, at any depth, by menu.
    void ForgetWithin(HMENU menu) noexcept;
    // Keeps a menu the open popup may still show until EndPopup.
    void Retire(HMENU menu) noexcept;

    UniqueMenu top_;
    // Menus taken out while a popup showed them, destroyed with it.
    UniqueMenu retired_;
    GrowableArray<Entry> entries_;
    LONG nextId_ = 1;
    LONG default_ = 0;
    bool showing_ = false;
};

}  // namespace zanthel
