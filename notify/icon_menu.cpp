#include "notify/icon_menu.h"

#include "common/errors.h"

#include <utility>

namespace zanthel {
namespace {

// Menu messages carry 16-bit commands, and those from 0xF000 are the
// system's; the host's identifiers outgrow both within weeks. Commands are
// the indexes of live or kept entries, so the bound on those keeps them below.
static_assert(IconMenu::kMaxEntries <= 0xEFFF, "native commands must stay below the system's");

HRESULT Described(LONG number, const wchar_t* before, const wchar_t* after) noexcept
{
    Text description;
    description.Assign(before);
    description.AppendNumber(number);
    description.Append(after);
    return Describe(E_INVALIDARG, description.Chars());
}

// Neither empty nor holding a NUL, at which the menu would show it cut and
// the event report it so.
HRESULT CheckCaption(const Text& caption) noexcept
{
    if (caption.Empty())
        return Describe(E_INVALIDARG, L"A menu item needs a caption; AddSeparator adds a separator line");
    if (caption.HasNul()) return Describe(E_INVALIDARG, L"A menu item's caption cannot hold a NUL character");
    return S_OK;
}

}  // namespace

UINT IconMenu::Find(LONG id) const noexcept { return id > 0 ? ids_.Find(static_cast<UINT64>(id)) : 0; }

UINT IconMenu::FindItem(LONG id) const noexcept
{
    const UINT command = Find(id);
    return command && nodes_[command].kind == Kind::Item ? command : 0;
}

HRESULT IconMenu::Unknown(LONG id, const wchar_t* what) const noexcept
{
    return Find(id) ? Described(id, L"The menu item ", what) : Described(id, L"No menu item has the identifier ", L"");
}

HMENU IconMenu::MenuOf(UINT node) const noexcept { return node == 0 ? top_.get() : nodes_[node].submenu; }

HRESULT IconMenu::Owner(LONG parent, UINT& owner) noexcept
{
    if (parent == kTop) {
        if (nodes_.Count() == 0) {
            Node top;
            top.kind = Kind::Submenu;
            RETURN_IF_FAILED(nodes_.Append(top));
        }
        if (!top_) top_.reset(::CreatePopupMenu());
        owner = 0;
        return top_ ? S_OK : LastError();
    }
    owner = Find(parent);
    if (!owner || nodes_[owner].kind != Kind::Submenu) return Unknown(parent, L" is not a submenu.");
    return S_OK;
}

HRESULT IconMenu::Take(UINT& command) noexcept
{
    if (entries_ >= kMaxEntries)
        return Described(kMaxEntries, L"A menu holds at most ", L" entries, separators included.");
    if (free_) {
        command = free_;
        free_ = std::exchange(nodes_[command].previous, 0);
    } else {
        command = nodes_.Count();
        RETURN_IF_FAILED(nodes_.Append(Node()));
    }
    ++entries_;
    return S_OK;
}

UINT IconMenu::EndOf(UINT owner) const noexcept
{
    const UINT last = nodes_[owner].last;
    return last ? nodes_[last].position + 1 : 0;
}

void IconMenu::Link(UINT command, UINT owner) noexcept
{
    Node& node = nodes_[command];
    node.parent = owner;
    node.position = EndOf(owner);
    node.previous = nodes_[owner].last;
    nodes_[owner].last = command;
}

void IconMenu::Unlink(UINT command) noexcept
{
    // The entries before it in the list stand after it in the menu.
    UINT* link = &nodes_[nodes_[command].parent].last;
    for (; *link != command; link = &nodes_[*link].previous) --nodes_[*link].position;
    *link = nodes_[command].previous;
    nodes_[command].previous = 0;
}

void IconMenu::Release(UINT command) noexcept
{
    Node& node = nodes_[command];
    for (UINT child = node.last; child;) {
        const UINT before = nodes_[child].previous;
        Release(child);
        child = before;
    }
    if (node.id) ids_.Erase(static_cast<UINT64>(node.id));
    Unmark(command);
    if (default_ == command) default_ = 0;
    node = Node();
    if (showing_) {
        node.previous = kept_;
        kept_ = command;
    } else {
        node.previous = free_;
        free_ = command;
        --entries_;
    }
}

UINT64 IconMenu::GroupKey(const Node& node) noexcept
{
    return (static_cast<UINT64>(node.parent) << 32) | static_cast<UINT>(node.group);
}

void IconMenu::Unmark(UINT command) noexcept
{
    const Node& node = nodes_[command];
    if (node.group > 0 && marks_.Find(GroupKey(node)) == command) marks_.Erase(GroupKey(node));
}

HRESULT IconMenu::Add(LONG parent, const Text& caption, bool submenu, LONG& id) noexcept
{
    RETURN_IF_FAILED(CheckCaption(caption));
    return Insert(parent, submenu ? Kind::Submenu : Kind::Item, caption.Chars(), id);
}

HRESULT IconMenu::AddSeparator(LONG parent) noexcept
{
    LONG none = 0;
    return Insert(parent, Kind::Separator, nullptr, none);
}

HRESULT IconMenu::Insert(LONG parent, Kind kind, const wchar_t* caption, LONG& id) noexcept
{
    UINT owner = 0;
    RETURN_IF_FAILED(Owner(parent, owner));
    if (kind == Kind::Submenu) {
        UINT level = 1;
        for (UINT above = owner; above; above = nodes_[above].parent) ++level;
        if (level > kMaxDepth) return Described(kMaxDepth, L"Submenus nest at most ", L" levels deep.");
    }
    const LONG given = caption ? nextId_ : 0;
    if (given == MAXLONG) return Described(MAXLONG, L"A menu gives at most ", L" identifiers.");
    UniqueMenu opened(kind == Kind::Submenu ? ::CreatePopupMenu() : nullptr);
    if (kind == Kind::Submenu && !opened) return LastError();
    UINT command = 0;
    RETURN_IF_FAILED(Take(command));
    nodes_[command].id = given;
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = caption ? MIIM_ID | MIIM_STRING | MIIM_SUBMENU : MIIM_FTYPE;
    info.fType = MFT_SEPARATOR;  // read only without a caption
    info.wID = command;
    info.hSubMenu = opened.get();
    info.dwTypeData = const_cast<wchar_t*>(caption);
    HRESULT hr = given ? ids_.Set(static_cast<UINT64>(given), command) : S_OK;
    if (SUCCEEDED(hr) && !::InsertMenuItemW(MenuOf(owner), EndOf(owner), TRUE, &info)) hr = LastError();
    if (FAILED(hr)) {
        Release(command);
        return hr;
    }
    nodes_[command].kind = kind;
    nodes_[command].submenu = opened.release();  // its item owns it now
    Link(command, owner);
    if (given) id = nextId_++;
    return S_OK;
}

HRESULT IconMenu::SetCaption(LONG id, const Text& caption) noexcept
{
    RETURN_IF_FAILED(CheckCaption(caption));
    const UINT command = Find(id);
    if (!command) return Unknown(id, L"");
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = const_cast<wchar_t*>(caption.Chars());
    const Node& node = nodes_[command];
    return ::SetMenuItemInfoW(MenuOf(node.parent), node.position, TRUE, &info) ? S_OK : LastError();
}

void IconMenu::Retire(HMENU menu) noexcept
{
    if (!retired_) retired_.reset(::CreatePopupMenu());
    // Without a place to keep it, it goes now: a shown menu that is gone
    // closes the popup at worst.
    if (!retired_ || !::AppendMenuW(retired_.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(menu), L""))
        ::DestroyMenu(menu);
}

HRESULT IconMenu::Remove(LONG id) noexcept
{
    const UINT command = Find(id);
    if (!command) return Unknown(id, L"");
    const Node& node = nodes_[command];
    const HMENU owner = MenuOf(node.parent);
    if (showing_ && node.submenu) {
        ::RemoveMenu(owner, node.position, MF_BYPOSITION);
        Retire(node.submenu);
    } else {
        ::DeleteMenu(owner, node.position, MF_BYPOSITION);
    }
    Unlink(command);
    Release(command);
    return S_OK;
}

HRESULT IconMenu::Check(UINT command, bool checked) noexcept
{
    const Node& node = nodes_[command];
    const HMENU owner = MenuOf(node.parent);
    if (!checked) {
        Unmark(command);
    } else if (node.group > 0) {
        const UINT marked = marks_.Find(GroupKey(node));
        RETURN_IF_FAILED(marks_.Set(GroupKey(node), command));
        if (marked && marked != command) ::CheckMenuItem(owner, nodes_[marked].position, MF_BYPOSITION | MF_UNCHECKED);
    }
    ::CheckMenuItem(owner, node.position, MF_BYPOSITION | (checked ? MF_CHECKED : MF_UNCHECKED));
    return S_OK;
}

HRESULT IconMenu::SetChecked(LONG id, bool checked) noexcept
{
    const UINT command = FindItem(id);
    if (!command) return Unknown(id, L" opens a submenu and has no check mark.");
    return Check(command, checked);
}

HRESULT IconMenu::SetEnabled(LONG id, bool enabled) noexcept
{
    const UINT command = Find(id);
    if (!command) return Unknown(id, L"");
    const Node& node = nodes_[command];
    ::EnableMenuItem(MenuOf(node.parent), node.position, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
    return S_OK;
}

HRESULT IconMenu::SetRadio(LONG id, LONG group) noexcept
{
    const UINT command = FindItem(id);
    if (!command) return Unknown(id, L" opens a submenu and has no check mark.");
    if (group < 0) return Described(group, L"A radio group is a number above 0, or 0 for none, not ", L".");
    Node& node = nodes_[command];
    const HMENU owner = MenuOf(node.parent);
    // An item's type is its caption's and the round mark, nothing else.
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE;
    info.fType = group > 0 ? MFT_RADIOCHECK : MFT_STRING;
    if (!::SetMenuItemInfoW(owner, node.position, TRUE, &info)) return LastError();
    Unmark(command);
    node.group = group;
    // A checked item that joins a group is its checked one.
    const bool checked = ::GetMenuState(owner, node.position, MF_BYPOSITION) & MF_CHECKED;
    return group > 0 && checked ? Check(command, true) : S_OK;
}

HRESULT IconMenu::SetDefault(LONG id) noexcept
{
    const UINT command = id == 0 ? 0 : FindItem(id);
    if (id != 0 && !command) return Unknown(id, L" opens a submenu and cannot be the default item.");
    if (default_) ::SetMenuDefaultItem(MenuOf(nodes_[default_].parent), static_cast<UINT>(-1), TRUE);
    default_ = 0;
    if (!command) return S_OK;
    const Node& node = nodes_[command];
    if (!::SetMenuDefaultItem(MenuOf(node.parent), node.position, TRUE)) return LastError();
    default_ = command;
    return S_OK;
}

LONG IconMenu::Default() const noexcept { return default_ ? nodes_[default_].id : 0; }

void IconMenu::Clear() noexcept
{
    if (nodes_.Count() > 0) {
        for (UINT child = nodes_[0].last; child;) {
            const UINT before = nodes_[child].previous;
            Release(child);
            child = before;
        }
        nodes_[0].last = 0;
    }
    if (showing_ && top_) {
        Retire(top_.release());
    } else {
        top_.reset();
    }
}

HMENU IconMenu::Popup() const noexcept { return nodes_.Count() > 0 && nodes_[0].last ? top_.get() : nullptr; }

void IconMenu::EndPopup() noexcept
{
    showing_ = false;
    retired_.reset();
    // No popup reports the kept commands any more: they join the free ones.
    while (kept_) {
        const UINT command = kept_;
        kept_ = nodes_[command].previous;
        nodes_[command].previous = free_;
        free_ = command;
        --entries_;
    }
}

bool IconMenu::ChooseNode(UINT command, LONG& id, Text& caption) noexcept
{
    const Node& node = nodes_[command];
    const HMENU owner = MenuOf(node.parent);
    // Read where the item stands: a search by command would walk the tree.
    const int length = ::GetMenuStringW(owner, node.position, nullptr, 0, MF_BYPOSITION);
    if (length > 0) {
        Text read = Text::Adopt(::SysAllocStringLen(nullptr, static_cast<UINT>(length)));
        if (!read.Empty()) {
            ::GetMenuStringW(owner, node.position, read.Get(), length + 1, MF_BYPOSITION);
            caption = std::move(read);
        }
    }
    id = node.id;
    if (node.group > 0) Check(command, true);
    return true;
}

bool IconMenu::Choose(UINT command, LONG& id, Text& caption) noexcept
{
    id = 0;
    if (command == 0 || command >= nodes_.Count() || nodes_[command].kind != Kind::Item) return false;
    return ChooseNode(command, id, caption);
}

bool IconMenu::ChooseDefault(LONG& id, Text& caption) noexcept
{
    id = 0;
    if (!default_) return false;
    const Node& node = nodes_[default_];
    if (::GetMenuState(MenuOf(node.parent), node.position, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED)) return false;
    return ChooseNode(default_, id, caption);
}

}  // namespace zanthel
