// One dispatch over the closed set of control kinds. Each kind has a pure
// Visit of its own, so a driver or renderer that does not say what it does
// with a kind fails to compile; a control reaches its Visit through
// TControl::Accept.
//
// Adding a kind: declare it below, give it a pure Visit in
// TBasicControlVisitor and an Accept pair; then every visitor that forgets
// it stops compiling. Kinds are final, except TEdit (TButtonEdit extends it
// and overrides Accept).
#pragma once

#include <type_traits>

namespace Forms {

class TLabel;
class TGroupBox;
class TStatusPane;
class TProgressPane;
class TEdit;
class TButtonEdit;
class TDateEdit;
class TSpinEdit;
class TMemo;
class TButton;
class TButtonPair;
class TDialogButtons;
class TCheckBox;
class TComboBox;
class TRadioGroup;
class TCheckGroup;

template <bool Const> class TBasicControlVisitor {
protected:
    template <class T> using Ref = std::conditional_t<Const, const T&, T&>;

public:
    virtual ~TBasicControlVisitor() = default;

    // Display
    virtual void Visit(Ref<TLabel> control) = 0;
    virtual void Visit(Ref<TGroupBox> control) = 0;
    virtual void Visit(Ref<TStatusPane> control) = 0;
    virtual void Visit(Ref<TProgressPane> control) = 0;
    // Text inputs
    virtual void Visit(Ref<TEdit> control) = 0;
    virtual void Visit(Ref<TButtonEdit> control) = 0;
    virtual void Visit(Ref<TDateEdit> control) = 0;
    virtual void Visit(Ref<TSpinEdit> control) = 0;
    virtual void Visit(Ref<TMemo> control) = 0;
    // Buttons
    virtual void Visit(Ref<TButton> control) = 0;
    virtual void Visit(Ref<TButtonPair> control) = 0;
    virtual void Visit(Ref<TDialogButtons> control) = 0;
    virtual void Visit(Ref<TCheckBox> control) = 0;
    // Choices
    virtual void Visit(Ref<TComboBox> control) = 0;
    virtual void Visit(Ref<TRadioGroup> control) = 0;
    virtual void Visit(Ref<TCheckGroup> control) = 0;
};

// Visits a control that may change.
using TControlVisitor = TBasicControlVisitor<false>;
// Visits a control for reading only.
using TConstControlVisitor = TBasicControlVisitor<true>;

} // namespace Forms
