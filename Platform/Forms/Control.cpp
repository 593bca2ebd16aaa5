#include "Platform/Forms/Control.h"

#include <algorithm>

#include "Platform/Forms/Form.h"
#include "Platform/SysUtils/AsciiCase.h"

namespace Forms {

TControl::TControl(TForm& owner, std::string name, std::string caption)
    : owner_(&owner), name_(std::move(name)), caption_(std::move(caption))
{
    tabOrder_ = owner.Register(*this);
}

TControl::~TControl()
{
    if (owner_) owner_->Unregister(*this);
}

void TControl::SetCaption(std::string caption)
{
    if (caption == caption_) return;
    caption_ = std::move(caption);
    Changed();
}

void TControl::SetEnabled(bool enabled)
{
    if (enabled == enabled_) return;
    enabled_ = enabled;
    Changed();
}

void TControl::SetVisible(bool visible)
{
    if (visible == visible_) return;
    visible_ = visible;
    Changed();
}

void TControl::SetReadOnly(bool readOnly)
{
    if (readOnly == readOnly_) return;
    readOnly_ = readOnly;
    Changed();
}

void TControl::SetParent(TControl* parent)
{
    for (TControl* p = parent; p; p = p->parent_)
        if (p == this) throw EInvalidOperation("A control cannot be its own parent");
    parent_ = parent;
    Changed();
}

bool TControl::CanFocus() const
{
    for (const TControl* c = this; c; c = c->parent_)
        if (!c->enabled_ || !c->visible_) return false;
    return true;
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    Changed();
}

int TControl::AddObserver(TObserver observer)
{
    observers_.emplace_back(nextObserver_, std::move(observer));
    return nextObserver_++;
}

void TControl::RemoveObserver(int id)
{
    std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

void TControl::Changed(TChangeKind kind, std::string_view text)
{
    if (observers_.empty()) return;
    // A copy: an observer may remove itself or others.
    auto observers = observers_;
    const TChange change{kind, text};
    for (auto& [id, observer] : observers)
        observer(*this, change);
}

void TControl::CheckUserInput(bool writing) const
{
    for (const TControl* c = this; c; c = c->parent_)
        if (!c->visible_) throw EUserRefused(Quoted() + " is not shown");
    for (const TControl* c = this; c; c = c->parent_)
        if (!c->enabled_) throw EUserRefused(Quoted() + " is disabled");
    if (writing && readOnly_) throw EUserRefused(Quoted() + " is read-only");
}

std::string TControl::Quoted() const
{
    if (name_.empty()) return std::string("the ") + Kind();
    return "'" + name_ + "'";
}

std::string StripAccelerator(std::string_view caption)
{
    std::string out;
    out.reserve(caption.size());
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&') out += '&', ++i;
            continue;
        }
        out += caption[i];
    }
    return out;
}

int FindCaption(const std::vector<std::string>& captions, std::string_view wanted)
{
    for (std::size_t i = 0; i < captions.size(); ++i)
        if (captions[i] == wanted || StripAccelerator(captions[i]) == wanted) return int(i);
    for (std::size_t i = 0; i < captions.size(); ++i)
        if (SameTextAscii(StripAccelerator(captions[i]), wanted)) return int(i);
    return -1;
}

int ResolveItem(const std::vector<std::string>& captions, const TItemKey& key, const std::string& controlName)
{
    if (key.IsIndex()) {
        if (key.Index() < 0 || key.Index() >= int(captions.size()))
            throw EListError("List index out of bounds (" + std::to_string(key.Index()) + ") in '" + controlName + "'");
        return key.Index();
    }
    const int found = FindCaption(captions, key.Caption());
    if (found < 0) throw EListError("no item '" + std::string(key.Caption()) + "' in '" + controlName + "'");
    return found;
}

} // namespace Forms
