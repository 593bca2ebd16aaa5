#include "Platform/Forms/Lists.h"

#include <algorithm>

namespace Forms {

namespace {

void CheckIndex(int index, std::size_t count, const std::string& name)
{
    if (index < -1 || index >= int(count))
        throw EListError("List index out of bounds (" + std::to_string(index) + ") in '" + name + "'");
}

} // namespace

TComboBox::TComboBox(TForm& owner, std::string name) : TControl(owner, std::move(name)) {}

void TComboBox::SetItems(std::vector<std::string> items)
{
    items_ = std::move(items);
    itemIndex_ = -1;
    Changed();
}

void TComboBox::AddItem(std::string item)
{
    items_.push_back(std::move(item));
    Changed();
}

int TComboBox::IndexOf(std::string_view item) const
{
    const auto found = std::find(items_.begin(), items_.end(), item);
    return found == items_.end() ? -1 : int(found - items_.begin());
}

void TComboBox::SetItemIndex(int index)
{
    CheckIndex(index, items_.size(), Name());
    if (index == itemIndex_) return;
    itemIndex_ = index;
    Changed();
}

std::string TComboBox::Text() const
{
    return itemIndex_ < 0 ? std::string() : items_[itemIndex_];
}

void TComboBox::UserSelect(const TItemKey& item)
{
    CheckUserInput();
    const int index = ResolveItem(items_, item, Name());
    if (index == itemIndex_) return;
    SetItemIndex(index);
    if (OnChange) OnChange();
}

TRadioGroup::TRadioGroup(TForm& owner, std::string name, std::string caption)
    : TControl(owner, std::move(name), std::move(caption))
{
}

void TRadioGroup::SetItems(std::vector<std::string> items)
{
    items_ = std::move(items);
    itemEnabled_.assign(items_.size(), true);
    itemIndex_ = -1;
    Changed();
}

void TRadioGroup::SetItemIndex(int index)
{
    CheckIndex(index, items_.size(), Name());
    if (index == itemIndex_) return;
    itemIndex_ = index;
    Changed();
}

bool TRadioGroup::ItemEnabled(const TItemKey& item) const
{
    return itemEnabled_[ResolveItem(items_, item, Name())];
}

void TRadioGroup::SetItemEnabled(const TItemKey& item, bool enabled)
{
    const int index = ResolveItem(items_, item, Name());
    if (itemEnabled_[index] == enabled) return;
    itemEnabled_[index] = enabled;
    Changed();
}

void TRadioGroup::UserSelect(const TItemKey& item)
{
    CheckUserInput();
    const int index = ResolveItem(items_, item, Name());
    if (!itemEnabled_[index])
        throw EUserRefused("item '" + StripAccelerator(items_[index]) + "' of " + Quoted() + " is disabled");
    if (index == itemIndex_) return;
    bool allow = true;
    if (OnChanging) OnChanging(index, allow);
    if (!allow) return;
    SetItemIndex(index);
    if (OnClick) OnClick();
}

TCheckGroup::TCheckGroup(TForm& owner, std::string name, std::string caption)
    : TControl(owner, std::move(name), std::move(caption))
{
}

void TCheckGroup::SetItems(const std::vector<std::string>& captions)
{
    items_.clear();
    for (const std::string& caption : captions)
        items_.push_back(TCheckGroupItem{caption});
    Changed();
}

void TCheckGroup::AddItem(std::string caption)
{
    items_.push_back(TCheckGroupItem{std::move(caption)});
    Changed();
}

std::vector<std::string> TCheckGroup::Captions() const
{
    std::vector<std::string> captions;
    captions.reserve(items_.size());
    for (const TCheckGroupItem& item : items_)
        captions.push_back(item.Caption);
    return captions;
}

int TCheckGroup::IndexOf(std::string_view caption) const
{
    return FindCaption(Captions(), caption);
}

int TCheckGroup::Resolve(const TItemKey& item) const
{
    return ResolveItem(Captions(), item, Name());
}

void TCheckGroup::SetFlag(const TItemKey& item, bool TCheckGroupItem::*flag, bool value)
{
    TCheckGroupItem& target = items_[Resolve(item)];
    if (target.*flag == value) return;
    target.*flag = value;
    Changed();
}

void TCheckGroup::SetItemChecked(const TItemKey& item, bool checked)
{
    SetFlag(item, &TCheckGroupItem::Checked, checked);
}
void TCheckGroup::SetItemLocked(const TItemKey& item, bool locked)
{
    SetFlag(item, &TCheckGroupItem::Locked, locked);
}
void TCheckGroup::SetItemBold(const TItemKey& item, bool bold)
{
    SetFlag(item, &TCheckGroupItem::Bold, bold);
}
void TCheckGroup::SetItemEnabled(const TItemKey& item, bool enabled)
{
    SetFlag(item, &TCheckGroupItem::Enabled, enabled);
}

void TCheckGroup::UserSetChecked(const TItemKey& item, bool checked)
{
    CheckUserInput();
    const int index = Resolve(item);
    const TCheckGroupItem& target = items_[index];
    const std::string what = "item '" + StripAccelerator(target.Caption) + "' of " + Quoted();
    if (!target.Enabled) throw EUserRefused(what + " is disabled");
    if (target.Locked) throw EUserRefused(what + " is locked");
    if (target.Checked == checked) return;
    bool allow = true;
    if (OnChanging) OnChanging(index, checked, allow);
    if (!allow) return;
    SetItemChecked(index, checked);
    if (OnChange) OnChange(index);
}

} // namespace Forms
