// The base of every control model: a name within its form, a caption, the
// enabled / visible / read-only state and change observers for whatever
// shows the control (console driver, graphical renderer). Models hold no
// toolkit types.
//
// Two kinds of operations:
//  - code setters (SetText, SetItemIndex, SetItemChecked ...) change state the
//    way the dialog's own code does. Only text setters of edits fire OnChange;
//    list, check and radio setters are silent, so a dialog calls its own
//    handler when it wants it to run.
//  - User... operations act as a person would: they refuse what the control
//    does not allow (disabled, hidden, read-only, locked) with EUserRefused
//    and fire the control's events.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Platform/Forms/ControlVisitor.h"
#include "Platform/SysUtils/SysUtils.h"

namespace Forms {

class TForm;
class TControl;

// A user action the control does not allow. Raised before any handler runs.
class EUserRefused : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EUserRefused"; }
};

using TNotifyEvent = std::function<void()>;

// What changed, for observers: State (anything but text streaming), Append
// (Text is the appended piece) or Reset (Text is the whole new text).
enum class TChangeKind { State, Append, Reset };
struct TChange {
    TChangeKind Kind = TChangeKind::State;
    std::string_view Text;
};
using TObserver = std::function<void(TControl& sender, const TChange& change)>;

// An item of a list control, by index or by caption.
class TItemKey {
public:
    TItemKey(int index) : isIndex_(true), index_(index) {}
    TItemKey(std::string_view caption) : caption_(caption) {}
    TItemKey(const char* caption) : caption_(caption) {}
    TItemKey(const std::string& caption) : caption_(caption) {}
    bool IsIndex() const { return isIndex_; }
    int Index() const { return index_; }
    std::string_view Caption() const { return caption_; }

private:
    bool isIndex_ = false;
    int index_ = -1;
    std::string_view caption_;
};

class TControl {
public:
    TControl(TForm& owner, std::string name, std::string caption = {});
    virtual ~TControl();
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    // Kind of control in words ("edit", "check group" ...), for messages.
    virtual const char* Kind() const = 0;
    // Calls the visitor's Visit for this control's kind.
    virtual void Accept(TControlVisitor& visitor) = 0;
    virtual void Accept(TConstControlVisitor& visitor) const = 0;

    TForm* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    // Creation order within the form; also the tab order.
    int TabOrder() const { return tabOrder_; }

    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    // Input controls: the user may look but not change.
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);

    // Container (group box) this control sits in; none by default.
    TControl* Parent() const { return parent_; }
    void SetParent(TControl* parent);
    // Enabled and visible, and so is every container around it.
    bool CanFocus() const;

    // Layout hints for a graphical renderer (pixels in the client area).
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetBounds(int left, int top, int width, int height);

    // Observers are told of every change of state; the id removes one.
    int AddObserver(TObserver observer);
    void RemoveObserver(int id);

    // Detaches the control from a form being destroyed first.
    void Orphan() { owner_ = nullptr; }

protected:
    friend class TSubButton;
    void Changed(TChangeKind kind = TChangeKind::State, std::string_view text = {});
    // Raises EUserRefused unless a user can act on the control: it can take
    // the focus and, when writing, is not read-only.
    void CheckUserInput(bool writing = true) const;
    // "'edSource'" or "the edit" for unnamed controls.
    std::string Quoted() const;

private:
    TForm* owner_;
    std::string name_;
    std::string caption_;
    int tabOrder_ = 0;
    bool enabled_ = true;
    bool visible_ = true;
    bool readOnly_ = false;
    TControl* parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    int nextObserver_ = 1;
    std::vector<std::pair<int, TObserver>> observers_;
};

// Caption with '&' accelerator marks removed ("&&" stays one '&').
std::string StripAccelerator(std::string_view caption);
// Finds a caption: exact first (accelerators ignored), then ASCII
// case-insensitive; -1 when none.
int FindCaption(const std::vector<std::string>& captions, std::string_view wanted);
// Index of a key among captions; EListError when the index is out of range
// or not found.
int ResolveItem(const std::vector<std::string>& captions, const TItemKey& key, const std::string& controlName);

} // namespace Forms
