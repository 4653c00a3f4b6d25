#include "notify/icon_menu.h"

#include "common/errors.h"

#include <utility>

namespace zanthel {
namespace {

HRESULT Described(LONG id, const wchar_t* before, const wchar_t* after) noexcept
{
    Text description;
    description.Assign(before);
    description.AppendNumber(id);
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

const IconMenu::Entry* IconMenu::Find(LONG id) const noexcept
{
    for (UINT index = 0; index < entries_.Count(); ++index)
        if (entries_[index].id == id) return &entries_[index];
    return nullptr;
}

IconMenu::Entry* IconMenu::Find(LONG id) noexcept
{
    return const_cast<Entry*>(static_cast<const IconMenu*>(this)->Find(id));
}

HRESULT IconMenu::Unknown(LONG id, const wchar_t* what) const noexcept
{
    return Find(id) ? Described(id, L"The menu item ", what) : Described(id, L"No menu item has the identifier ", L"");
}

IconMenu::Entry* IconMenu::FindItem(LONG id) noexcept
{
    Entry* entry = Find(id);
    return entry && !entry->submenu ? entry : nullptr;
}

HRESULT IconMenu::Owner(LONG parent, HMENU& owner) noexcept
{
    if (parent == kTop) {
        if (!top_) top_.reset(::CreatePopupMenu());
        owner = top_.get();
        return owner ? S_OK : LastError();
    }
    const Entry* entry = Find(parent);
    if (!entry || !entry->submenu) return Unknown(parent, L" is not a submenu.");
    owner = entry->submenu;
    return S_OK;
}

UINT IconMenu::Position(const Entry& entry) const noexcept
{
    const int count = ::GetMenuItemCount(entry.owner);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID;
        if (::GetMenuItemInfoW(entry.owner, static_cast<UINT>(position), TRUE, &info) &&
            info.wID == static_cast<UINT>(entry.id))
            return static_cast<UINT>(position);
    }
    return static_cast<UINT>(-1);
}

HRESULT IconMenu::Add(LONG parent, const Text& caption, bool submenu, LONG& id) noexcept
{
    RETURN_IF_FAILED(CheckCaption(caption));
    HMENU owner = nullptr;
    RETURN_IF_FAILED(Owner(parent, owner));
    UniqueMenu opened(submenu ? ::CreatePopupMenu() : nullptr);
    if (submenu && !opened) return LastError();
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_STRING | (submenu ? MIIM_SUBMENU : 0);
    info.wID = static_cast<UINT>(nextId_);
    info.hSubMenu = opened.get();
    info.dwTypeData = const_cast<wchar_t*>(caption.Chars());
    const UINT position = static_cast<UINT>(::GetMenuItemCount(owner));
    if (!::InsertMenuItemW(owner, position, TRUE, &info)) return LastError();
    Entry entry;
    entry.id = nextId_;
    entry.owner = owner;
    entry.submenu = opened.get();
    if (FAILED(entries_.Append(entry))) {
        ::RemoveMenu(owner, position, MF_BYPOSITION);
        return E_OUTOFMEMORY;
    }
    opened.release();  // its item owns it now
    id = nextId_++;
    return S_OK;
}

HRESULT IconMenu::AddSeparator(LONG parent) noexcept
{
    HMENU owner = nullptr;
    RETURN_IF_FAILED(Owner(parent, owner));
    return ::AppendMenuW(owner, MF_SEPARATOR, 0, nullptr) ? S_OK : LastError();
}

HRESULT IconMenu::SetCaption(LONG id, const Text& caption) noexcept
{
    RETURN_IF_FAILED(CheckCaption(caption));
    const Entry* entry = Find(id);
    if (!entry) return Unknown(id, L"");
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = const_cast<wchar_t*>(caption.Chars());
    return ::SetMenuItemInfoW(entry->owner, Position(*entry), TRUE, &info) ? S_OK : LastError();
}

void IconMenu::ForgetWithin(HMENU menu) noexcept
{
    for (UINT index = 0; index < entries_.Count();) {
        if (entries_[index].owner != menu) {
            ++index;
            continue;
        }
        Entry gone;
        entries_.RemoveAt(index, gone);
        if (gone.submenu) {
            ForgetWithin(gone.submenu);
            index = 0;  // the array has moved under the index
        }
    }
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
    for (UINT index = 0; index < entries_.Count(); ++index) {
        if (entries_[index].id != id) continue;
        const Entry removed = entries_[index];
        Entry gone;
        entries_.RemoveAt(index, gone);
        const UINT position = Position(removed);
        if (removed.submenu) ForgetWithin(removed.submenu);
        if (showing_ && removed.submenu) {
            ::RemoveMenu(removed.owner, position, MF_BYPOSITION);
            Retire(removed.submenu);
        } else {
            ::DeleteMenu(removed.owner, position, MF_BYPOSITION);
        }
        if (!Find(default_)) default_ = 0;
        return S_OK;
    }
    return Unknown(id, L"");
}

void IconMenu::Check(Entry& entry, bool checked) noexcept
{
    if (checked && entry.group > 0) {
        for (UINT index = 0; index < entries_.Count(); ++index) {
            const Entry& other = entries_[index];
            if (other.owner == entry.owner && other.group == entry.group && other.id != entry.id)
                ::CheckMenuItem(other.owner, Position(other), MF_BYPOSITION | MF_UNCHECKED);
        }
    }
    ::CheckMenuItem(entry.owner, Position(entry), MF_BYPOSITION | (checked ? MF_CHECKED : MF_UNCHECKED));
}

HRESULT IconMenu::SetChecked(LONG id, bool checked) noexcept
{
    Entry* entry = FindItem(id);
    if (!entry) return Unknown(id, L" opens a submenu and has no check mark.");
    Check(*entry, checked);
    return S_OK;
}

HRESULT IconMenu::SetEnabled(LONG id, bool enabled) noexcept
{
    const Entry* entry = Find(id);
    if (!entry) return Unknown(id, L"");
    ::EnableMenuItem(entry->owner, Position(*entry), MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
    return S_OK;
}

HRESULT IconMenu::SetRadio(LONG id, LONG group) noexcept
{
    Entry* entry = FindItem(id);
    if (!entry) return Unknown(id, L" opens a submenu and has no check mark.");
    if (group < 0) return Described(group, L"A radio group is a number above 0, or 0 for none, not ", L".");
    const UINT position = Position(*entry);
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE;
    if (!::GetMenuItemInfoW(entry->owner, position, TRUE, &info)) return LastError();
    info.fType = group > 0 ? info.fType | MFT_RADIOCHECK : info.fType & ~MFT_RADIOCHECK;
    info.fMask = MIIM_FTYPE;
    if (!::SetMenuItemInfoW(entry->owner, position, TRUE, &info)) return LastError();
    entry->group = group;
    // A checked item that joins a group is its checked one.
    if (info.fState & MFS_CHECKED) Check(*entry, true);
    return S_OK;
}

HRESULT IconMenu::SetDefault(LONG id) noexcept
{
    Entry* entry = id == 0 ? nullptr : FindItem(id);
    if (id != 0 && !entry) return Unknown(id, L" opens a submenu and cannot be the default item.");
    if (const Entry* previous = Find(default_)) ::SetMenuDefaultItem(previous->owner, static_cast<UINT>(-1), TRUE);
    default_ = 0;
    if (!entry) return S_OK;
    if (!::SetMenuDefaultItem(entry->owner, Position(*entry), TRUE)) return LastError();
    default_ = id;
    return S_OK;
}

void IconMenu::Clear() noexcept
{
    if (showing_ && top_) {
        Retire(top_.release());
    } else {
        top_.reset();
    }
    entries_.Resize(0);
    default_ = 0;
}

HMENU IconMenu::Popup() const noexcept { return top_ && ::GetMenuItemCount(top_.get()) > 0 ? top_.get() : nullptr; }

void IconMenu::EndPopup() noexcept
{
    showing_ = false;
    retired_.reset();
}

void IconMenu::Chosen(LONG id) noexcept
{
    if (Entry* entry = FindItem(id))
        if (entry->group > 0) Check(*entry, true);
}

bool IconMenu::IsEnabledItem(LONG id) const noexcept
{
    const Entry* entry = Find(id);
    if (!entry || entry->submenu) return false;
    const UINT position = Position(*entry);
    return (::GetMenuState(entry->owner, position, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED)) == 0;
}

bool IconMenu::Choose(UINT command, LONG& id, Text& caption) noexcept
{
    const Entry* entry = Find(static_cast<LONG>(command));
    if (!entry || entry->submenu) return false;
    const int length = ::GetMenuStringW(entry->owner, command, nullptr, 0, MF_BYCOMMAND);
    Text read = Text::Adopt(::SysAllocStringLen(nullptr, static_cast<UINT>(length > 0 ? length : 0)));
    if (length > 0) ::GetMenuStringW(entry->owner, command, read.Get(), length + 1, MF_BYCOMMAND);
    caption = std::move(read);
    id = static_cast<LONG>(command);
    Chosen(id);
    return true;
}

bool IconMenu::ChooseDefault(LONG& id, Text& caption) noexcept
{
    if (default_ == 0 || !IsEnabledItem(default_)) return false;
    return Choose(static_cast<UINT>(default_), id, caption);
}

}  // namespace zanthel
