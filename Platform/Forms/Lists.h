// Choice controls: drop-down list, radio group and check group. Items are
// addressed by index or by caption (TItemKey). Code setters are silent;
// User... operations fire the events.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Platform/Forms/Control.h"

namespace Forms {

// A drop-down list without free text.
class TComboBox final : public TControl {
public:
    TComboBox(TForm& owner, std::string name);
    const char* Kind() const override { return "combo box"; }
    void Accept(TControlVisitor& visitor) override { visitor.Visit(*this); }
    void Accept(TConstControlVisitor& visitor) const override { visitor.Visit(*this); }

    const std::vector<std::string>& Items() const { return items_; }
    // Replacing or clearing the items selects nothing.
    void SetItems(std::vector<std::string> items);
    void AddItem(std::string item);
    void ClearItems() { SetItems({}); }
    // Exact match; -1 when absent.
    int IndexOf(std::string_view item) const;

    // -1 for none; EListError when out of range.
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int index);
    // The selected item's text, empty when none.
    std::string Text() const;
    // Selects the item with exactly this text, or none.
    void SetText(std::string_view text) { SetItemIndex(IndexOf(text)); }

    // After a user chose another item.
    TNotifyEvent OnChange;
    void UserSelect(const TItemKey& item);

private:
    std::vector<std::string> items_;
    int itemIndex_ = -1;
};

class TRadioGroup final : public TControl {
public:
    TRadioGroup(TForm& owner, std::string name, std::string caption = {});
    const char* Kind() const override { return "radio group"; }
    void Accept(TControlVisitor& visitor) override { visitor.Visit(*this); }
    void Accept(TConstControlVisitor& visitor) const override { visitor.Visit(*this); }

    const std::vector<std::string>& Items() const { return items_; }
    void SetItems(std::vector<std::string> items);
    int Columns() const { return columns_; }
    void SetColumns(int columns) { columns_ = columns; }
    int IndexOf(std::string_view caption) const { return FindCaption(items_, caption); }

    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int index);
    bool ItemEnabled(const TItemKey& item) const;
    void SetItemEnabled(const TItemKey& item, bool enabled);

    // Before a user's change: clearing AllowChange keeps the old item.
    std::function<void(int NewIndex, bool& AllowChange)> OnChanging;
    // After a user's change.
    TNotifyEvent OnClick;
    void UserSelect(const TItemKey& item);

private:
    std::vector<std::string> items_;
    std::vector<bool> itemEnabled_;
    int itemIndex_ = -1;
    int columns_ = 1;
};

struct TCheckGroupItem {
    std::string Caption;
    bool Checked = false;
    // Shown but not changeable by the user.
    bool Locked = false;
    bool Bold = false;
    bool Enabled = true;
};

class TCheckGroup final : public TControl {
public:
    TCheckGroup(TForm& owner, std::string name, std::string caption = {});
    const char* Kind() const override { return "check group"; }
    void Accept(TControlVisitor& visitor) override { visitor.Visit(*this); }
    void Accept(TConstControlVisitor& visitor) const override { visitor.Visit(*this); }

    const std::vector<TCheckGroupItem>& Items() const { return items_; }
    // Replaces the items (all unchecked, unlocked, normal, enabled).
    void SetItems(const std::vector<std::string>& captions);
    void AddItem(std::string caption);
    int Count() const { return int(items_.size()); }
    int Columns() const { return columns_; }
    void SetColumns(int columns) { columns_ = columns; }
    // Accelerators ignored, then case-insensitive; -1 when absent.
    int IndexOf(std::string_view caption) const;
    // EListError for an unknown caption or an index out of range.
    int Resolve(const TItemKey& item) const;
    const TCheckGroupItem& Item(const TItemKey& item) const { return items_[Resolve(item)]; }

    bool ItemChecked(const TItemKey& item) const { return Item(item).Checked; }
    void SetItemChecked(const TItemKey& item, bool checked);
    bool ItemLocked(const TItemKey& item) const { return Item(item).Locked; }
    void SetItemLocked(const TItemKey& item, bool locked);
    bool ItemBold(const TItemKey& item) const { return Item(item).Bold; }
    void SetItemBold(const TItemKey& item, bool bold);
    bool ItemEnabled(const TItemKey& item) const { return Item(item).Enabled; }
    void SetItemEnabled(const TItemKey& item, bool enabled);

    // Before a user's change of item Index to NewChecked: clearing
    // AllowChange vetoes it.
    std::function<void(int Index, bool NewChecked, bool& AllowChange)> OnChanging;
    // After a user's change of item Index.
    std::function<void(int Index)> OnChange;
    // Refused when the group cannot be used or is read-only, or the item is
    // disabled or locked. Nothing happens when the item is already so.
    void UserSetChecked(const TItemKey& item, bool checked);

private:
    void SetFlag(const TItemKey& item, bool TCheckGroupItem::*flag, bool value);
    std::vector<std::string> Captions() const;

    std::vector<TCheckGroupItem> items_;
    int columns_ = 1;
};

} // namespace Forms
