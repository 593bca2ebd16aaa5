// The widgets of one form's controls. Each control gets the natural widget
// of its kind (a visitor over every kind makes it), the control's observer
// keeps the widget current, and what a person does with the widget goes to
// the session as an action on the control.
#pragma once

#include <QHash>

#include <functional>
#include <memory>
#include <vector>

#include "Platform/Forms/Control.h"

class QAbstractButton;
class QGridLayout;
class QWidget;

namespace Forms::Gui {

// Runs what a person did to source (the session's Act).
using TAct = std::function<void(TControl* source, const std::function<void()>& action)>;

class TBindings {
public:
    explicit TBindings(TAct act);
    // Stops observing the controls; the widgets belong to the dialog.
    ~TBindings();
    TBindings(const TBindings&) = delete;
    TBindings& operator=(const TBindings&) = delete;

    // Makes and binds the widget of control, named after it.
    QWidget* Create(TControl& control, QWidget* parent);
    // The widget of control; null when it has none.
    QWidget* Widget(const TControl* control) const { return widgets_.value(control); }
    // The grid a group box lays its controls in; null for other controls.
    QGridLayout* GroupGrid(const TControl* control) const { return groupGrids_.value(control); }
    // Where a group box's controls go.
    QWidget* GroupBody(const TControl* control) const;

    // Shows the models' state: every control, or the one given.
    void SyncAll();
    void Sync(const TControl* control);
    // Radio and check groups in fewer columns where the asked ones would be
    // wider than available.
    void FitItemGrids(int available);

private:
    class TFactory;

    struct TBinding {
        TControl* Control = nullptr;
        std::function<void(const TChange&)> Sync;
        int Observer = 0;
    };
    // A radio or check group's items, laid out in columns.
    struct TItemGrid {
        QWidget* Body = nullptr;
        std::vector<QAbstractButton*> Buttons;
        int Columns = 1;
    };

    void Bind(TControl& control, QWidget* widget, std::function<void(const TChange&)> sync);
    static void FillGrid(TItemGrid& grid, int columns);

    TAct act_;
    std::vector<std::unique_ptr<TBinding>> bindings_;
    // Qt's containers: the standard map would make the plug-ins export a
    // symbol of the standard library besides their two functions.
    QHash<const TControl*, QWidget*> widgets_;
    QHash<const TControl*, QGridLayout*> groupGrids_;
    std::vector<std::unique_ptr<TItemGrid>> itemGrids_;
};

} // namespace Forms::Gui
