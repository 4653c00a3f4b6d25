// The icon's menu: a tree of items and submenus whose identifiers come from
// one sequence, radio groups per submenu and one default item, kept in the
// native menus the popup shows.
#pragma once

#include "common/growable_array.h"
#include "common/handles.h"
#include "common/text.h"
#include "common/win.h"
#include "notify/command_index.h"

namespace zanthel {

class IconMenu {
public:
    // The parent that names the top menu.
    static constexpr LONG kTop = 0;
    // The deepest submenu level: a submenu of the top menu is level 1.
    // Deeper trees overflow the stack inside the system's menu calls.
    static constexpr UINT kMaxDepth = 64;
    // Items, submenus and separators of the whole tree together, and those
    // removed while a popup shows the menu until it closes: every submenu
    // takes a handle from a table the desktop shares with every process.
    static constexpr UINT kMaxEntries = 16384;

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
    LONG Default() const noexcept;
    void Clear() noexcept;

    // The top menu while it has items, for the popup; null otherwise. Its
    // items carry command identifiers of their own, which Choose takes.
    HMENU Popup() const noexcept;
    void BeginPopup() noexcept { showing_ = true; }
    void EndPopup() noexcept;
    bool Showing() const noexcept { return showing_; }
    // The user chose command in the popup: false if it names no live item;
    // else the item's identifier and caption, and a radio item becomes the
    // checked one of its group.
    bool Choose(UINT command, LONG& id, Text& caption) noexcept;
    // As Choose, for the default item if there is one and it is enabled.
    bool ChooseDefault(LONG& id, Text& caption) noexcept;

private:
    enum class Kind : BYTE { Free, Item, Submenu, Separator };

    // One entry of the tree, at the index of its command identifier; index 0
    // is the top menu.
    struct Node {
        LONG id = 0;  // the host's; 0 for a separator
        Kind kind = Kind::Free;
        HMENU submenu = nullptr;  // the one it opens, owned by its item
        UINT parent = 0;          // the node whose menu holds it
        UINT position = 0;        // within that menu
        LONG group = 0;
        // The entry before it in the same menu; of the free or kept list once gone.
        UINT previous = 0;
        UINT last = 0;  // the last entry of the menu it opens
    };

    // The command of a live id, or 0.
    UINT Find(LONG id) const noexcept;
    UINT FindItem(LONG id) const noexcept;
    HRESULT Unknown(LONG id, const wchar_t* what) const noexcept;
    // Appends an entry to parent's menu: an item or submenu with a caption,
    // or a separator without.
    HRESULT Insert(LONG parent, Kind kind, const wchar_t* caption, LONG& id) noexcept;
    // The node of the menu parent names, the top menu made on first use.
    HRESULT Owner(LONG parent, UINT& owner) noexcept;
    HMENU MenuOf(UINT node) const noexcept;
    // A command for a new entry within the bounds; Release gives it back.
    HRESULT Take(UINT& command) noexcept;
    // The position an entry appended to owner's menu takes.
    UINT EndOf(UINT owner) const noexcept;
    // Places a taken node at the end of owner's menu.
    void Link(UINT command, UINT owner) noexcept;
    // Takes a node out of its menu; the entries after it move up.
    void Unlink(UINT command) noexcept;
    // Forgets a node and everything below it; a popup that may still report
    // their commands keeps them, and their room, from new entries until EndPopup.
    void Release(UINT command) noexcept;
    static UINT64 GroupKey(const Node& node) noexcept;
    // Forgets that the node is its radio group's checked item.
    void Unmark(UINT command) noexcept;
    HRESULT Check(UINT command, bool checked) noexcept;
    bool ChooseNode(UINT command, LONG& id, Text& caption) noexcept;
    // Keeps a menu the open popup may still show until EndPopup.
    void Retire(HMENU menu) noexcept;

    UniqueMenu top_;
    // Menus taken out while a popup showed them, destroyed with it.
    UniqueMenu retired_;
    GrowableArray<Node> nodes_;
    // Live entries by host identifier.
    CommandIndex ids_;
    // The checked item of each radio group, by its menu and group, so that
    // a choice moves one mark instead of visiting the whole group.
    CommandIndex marks_;
    // Live and kept entries.
    UINT entries_ = 0;
    // Heads of the lists of free commands and of those kept from reuse.
    UINT free_ = 0, kept_ = 0;
    LONG nextId_ = 1;
    // The default item's command; the native menus show it in bold.
    UINT default_ = 0;
    bool showing_ = false;
};

}  // namespace zanthel
