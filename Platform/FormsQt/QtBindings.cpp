#include "Platform/FormsQt/QtBindings.h"

#include <QApplication>
#include <QGridLayout>

#include <algorithm>
#include <utility>

#include "Platform/FormsQt/QtFactory.h"
#include "Platform/FormsQt/QtText.h"
#include "Platform/FormsQt/QtWidgets.h"

namespace Forms::Gui {

void SyncCommon(const TControl& control, QWidget* widget)
{
    widget->setEnabled(control.Enabled());
    widget->setHidden(!control.Visible());
}

void SetBold(QWidget* widget, bool bold)
{
    QFont font = widget->font();
    if (font.bold() == bold) return;
    font.setBold(bold);
    widget->setFont(font);
}

void SetLocked(QAbstractButton* button, bool locked)
{
    button->setAttribute(::Qt::WA_TransparentForMouseEvents, locked);
    button->setFocusPolicy(locked ? ::Qt::NoFocus : ::Qt::StrongFocus);
    QPalette palette = button->parentWidget() ? button->parentWidget()->palette() : QApplication::palette();
    if (locked) palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    button->setPalette(palette);
}

TBindings::TBindings(TAct act) : act_(std::move(act)) {}

TBindings::~TBindings()
{
    for (auto& binding : bindings_)
        binding->Control->RemoveObserver(binding->Observer);
}

void TBindings::Bind(TControl& control, QWidget* widget, std::function<void(const TChange&)> sync)
{
    auto binding = std::make_unique<TBinding>();
    binding->Control = &control;
    binding->Sync = std::move(sync);
    TBinding* raw = binding.get();
    binding->Observer = control.AddObserver([raw](TControl&, const TChange& change) { raw->Sync(change); });
    widget->setObjectName(ToQ(control.Name()));
    widgets_.insert(&control, widget);
    bindings_.push_back(std::move(binding));
}

QWidget* TBindings::GroupBody(const TControl* control) const
{
    if (!groupGrids_.contains(control)) return nullptr;
    return static_cast<TCaptionGroup*>(widgets_.value(control))->Body();
}

void TBindings::SyncAll()
{
    for (auto& binding : bindings_)
        binding->Sync(TChange{});
}

void TBindings::Sync(const TControl* control)
{
    for (auto& binding : bindings_)
        if (binding->Control == control) binding->Sync(TChange{});
}

void TBindings::FillGrid(TItemGrid& grid, int columns)
{
    // Column by column, as many rows as the columns need.
    delete grid.Body->layout();
    auto* layout = new QGridLayout(grid.Body);
    layout->setContentsMargins(2, 0, 0, 0);
    layout->setHorizontalSpacing(3);
    layout->setVerticalSpacing(1);
    const int count = int(grid.Buttons.size());
    columns = std::max(1, std::min(columns, std::max(1, count)));
    const int rows = std::max(1, (count + columns - 1) / columns);
    for (int i = 0; i < count; ++i)
        layout->addWidget(grid.Buttons[std::size_t(i)], i % rows, i / rows);
    for (int c = 0; c < (count + rows - 1) / rows; ++c)
        layout->setColumnStretch(c, 1);
}

void TBindings::FitItemGrids(int available)
{
    for (auto& entry : itemGrids_) {
        TItemGrid& grid = *entry;
        int columns = grid.Columns;
        FillGrid(grid, columns);
        while (columns > 1 && grid.Body->sizeHint().width() > available)
            FillGrid(grid, --columns);
    }
}

void TBindings::TFactory::Bind(TControl& control, QWidget* widget, std::function<void(const TChange&)> sync)
{
    b_->Bind(control, widget, std::move(sync));
    Widget = widget;
}

QWidget* TBindings::Create(TControl& control, QWidget* parent)
{
    TFactory factory(*this, parent);
    control.Accept(factory);
    return factory.Widget;
}

} // namespace Forms::Gui
