// The widget of each kind of control: a visitor over every kind, so a kind
// without a widget does not compile. Its Visits are spread over
// QtTextBindings.cpp (text and list inputs) and QtButtonBindings.cpp (the
// rest).
#pragma once

#include <functional>

#include "Platform/Forms/Forms.h"
#include "Platform/FormsQt/QtBindings.h"

class QAbstractButton;
class QWidget;

namespace Forms::Gui {

class TBindings::TFactory final : public TControlVisitor {
public:
    TFactory(TBindings& bindings, QWidget* parent) : b_(&bindings), parent_(parent) {}
    // The widget made by the last Visit.
    QWidget* Widget = nullptr;

    void Visit(TLabel& label) override;
    void Visit(TGroupBox& groupBox) override;
    void Visit(TStatusPane& pane) override;
    void Visit(TProgressPane& progress) override;
    void Visit(TEdit& edit) override;
    void Visit(TButtonEdit& edit) override;
    void Visit(TDateEdit& date) override;
    void Visit(TSpinEdit& spin) override;
    void Visit(TMemo& memo) override;
    void Visit(TButton& button) override;
    void Visit(TButtonPair& pair) override;
    void Visit(TDialogButtons& buttons) override;
    void Visit(TCheckBox& box) override;
    void Visit(TComboBox& combo) override;
    void Visit(TRadioGroup& radio) override;
    void Visit(TCheckGroup& group) override;

private:
    void Bind(TControl& control, QWidget* widget, std::function<void(const TChange&)> sync);
    // A one-line edit; a button edit adds its browse button.
    void Edit(TEdit& edit, TButtonEdit* buttonEdit);

    TBindings* b_;
    QWidget* parent_;
};

// Shown and usable as the control is (a group's children follow the group).
void SyncCommon(const TControl& control, QWidget* widget);
void SetBold(QWidget* widget, bool bold);
// Locked items keep their state: they take no clicks and no focus and are
// drawn with the button face instead of the window colour.
void SetLocked(QAbstractButton* button, bool locked);

} // namespace Forms::Gui
