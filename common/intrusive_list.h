// A doubly linked list threaded through its items, for lists whose items
// cannot fail to join: the apartment's icons, the process's shown icons.
#pragma once

namespace zanthel {

template <typename Item>
class IntrusiveList;

// What an item of one list carries.
template <typename Item>
class ListLink {
public:
    bool Listed() const noexcept { return listed_; }

private:
    friend class IntrusiveList<Item>;
    Item *previous_ = nullptr, *next_ = nullptr;
    bool listed_ = false;
};

template <typename Item>
class IntrusiveList {
public:
    void PushFront(Item& item) noexcept
    {
        ListLink<Item>& link = item;
        if (link.listed_) return;
        link.listed_ = true;
        link.previous_ = nullptr;
        link.next_ = first_;
        if (first_) static_cast<ListLink<Item>&>(*first_).previous_ = &item;
        first_ = &item;
    }
    void Remove(Item& item) noexcept
    {
        ListLink<Item>& link = item;
        if (!link.listed_) return;
        (link.previous_ ? static_cast<ListLink<Item>&>(*link.previous_).next_ : first_) = link.next_;
        if (link.next_) static_cast<ListLink<Item>&>(*link.next_).previous_ = link.previous_;
        link.previous_ = link.next_ = nullptr;
        link.listed_ = false;
    }
    Item* First() const noexcept { return first_; }
    static Item* Next(const Item& item) noexcept { return static_cast<const ListLink<Item>&>(item).next_; }

private:
    Item* first_ = nullptr;
};

}  // namespace zanthel
