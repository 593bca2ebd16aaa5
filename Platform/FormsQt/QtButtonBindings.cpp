// The widgets of the buttons, groups, labels and status panes.
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

#include "Platform/FormsQt/QtFactory.h"
#include "Platform/FormsQt/QtText.h"
#include "Platform/FormsQt/QtWidgets.h"

namespace Forms::Gui {

namespace {

// An item button that is no longer wanted; it may be the one whose click
// is being handled, so it goes once control returns to the event loop.
void Discard(QAbstractButton* button)
{
    if (QButtonGroup* group = button->group()) group->removeButton(button);
    button->hide();
    button->deleteLater();
}

} // namespace

void TBindings::TFactory::Visit(TLabel& label)
{
    auto* widget = new QLabel(parent_);
    Bind(label, widget, [&label, widget](const TChange&) {
        widget->setText(CaptionText(label.Caption()));
        SetBold(widget, label.Bold());
        SyncCommon(label, widget);
    });
}

void TBindings::TFactory::Visit(TGroupBox& groupBox)
{
    auto* widget = new TCaptionGroup(parent_);
    auto* grid = new QGridLayout(widget->Body());
    grid->setContentsMargins(4, 2, 0, 2);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    b_->groupGrids_.insert(&groupBox, grid);
    Bind(groupBox, widget, [&groupBox, widget](const TChange&) {
        widget->SetCaption(CaptionText(groupBox.Caption()));
        SyncCommon(groupBox, widget);
    });
}

void TBindings::TFactory::Visit(TStatusPane& pane)
{
    auto* widget = new TStatusText(parent_);
    Bind(pane, widget, [&pane, widget](const TChange&) {
        widget->setText(ToQ(pane.Text()));
        SyncCommon(pane, widget);
    });
}

void TBindings::TFactory::Visit(TProgressPane& progress)
{
    auto* widget = new TSegmentBar(parent_);
    widget->setFixedWidth(150);
    Bind(progress, widget, [&progress, widget](const TChange&) {
        widget->SetSegments(progress.Segments());
        widget->setValue(progress.Percent());
        SyncCommon(progress, widget);
    });
}

void TBindings::TFactory::Visit(TButton& button)
{
    auto* widget = new QPushButton(parent_);
    widget->setAutoDefault(false);
    QObject::connect(widget, &QPushButton::clicked, widget,
                     [b = b_, &button] { b->act_(&button, [&button] { button.UserClick(); }); });
    Bind(button, widget, [&button, widget](const TChange&) {
        widget->setText(ToQ(button.Caption()));
        SyncCommon(button, widget);
    });
}

void TBindings::TFactory::Visit(TButtonPair& pair)
{
    auto* widget = new QWidget(parent_);
    auto* layout = new QHBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    auto* find = new QToolButton(widget);
    auto* alt = new QToolButton(widget);
    find->setIcon(FindGlyph());
    alt->setIcon(CalendarGlyph());
    for (QToolButton* button : {find, alt}) {
        button->setAutoRaise(false);
        button->setFixedSize(22, 22);
        layout->addWidget(button);
    }
    widget->setFocusProxy(find);
    QObject::connect(find, &QToolButton::clicked, widget,
                     [b = b_, &pair] { b->act_(&pair, [&pair] { pair.Button().UserClick(); }); });
    QObject::connect(alt, &QToolButton::clicked, widget,
                     [b = b_, &pair] { b->act_(&pair, [&pair] { pair.AltBtn().UserClick(); }); });
    Bind(pair, widget, [&pair, widget, find, alt](const TChange&) {
        for (auto [button, sub] : {std::pair{find, &pair.Button()}, std::pair{alt, &pair.AltBtn()}}) {
            button->setHidden(!sub->Visible());
            button->setEnabled(sub->Enabled());
            button->setToolTip(CaptionText(sub->Caption()));
        }
        SyncCommon(pair, widget);
    });
}

void TBindings::TFactory::Visit(TDialogButtons& buttons)
{
    auto* widget = new QWidget(parent_);
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* ok = new QPushButton(widget);
    auto* cancel = new QPushButton(widget);
    ok->setObjectName(ToQ(buttons.Name() + ".ok"));
    cancel->setObjectName(ToQ(buttons.Name() + ".cancel"));
    for (QPushButton* button : {ok, cancel}) {
        // Neither is the default button: Enter does not run the dialog.
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setFixedWidth(72);
        layout->addWidget(button);
    }
    widget->setFocusProxy(ok);
    QObject::connect(ok, &QPushButton::clicked, widget,
                     [b = b_, &buttons] { b->act_(&buttons, [&buttons] { buttons.Ok().UserClick(); }); });
    QObject::connect(cancel, &QPushButton::clicked, widget,
                     [b = b_, &buttons] { b->act_(&buttons, [&buttons] { buttons.Cancel().UserClick(); }); });
    Bind(buttons, widget, [&buttons, widget, ok, cancel](const TChange&) {
        for (auto [button, sub] : {std::pair{ok, &buttons.Ok()}, std::pair{cancel, &buttons.Cancel()}}) {
            button->setText(ToQ(sub->Caption()));
            button->setHidden(!sub->Visible());
            button->setEnabled(sub->Enabled());
        }
        SyncCommon(buttons, widget);
    });
}

void TBindings::TFactory::Visit(TCheckBox& box)
{
    auto* widget = new QCheckBox(parent_);
    QObject::connect(widget, &QCheckBox::clicked, widget,
                     [b = b_, &box](bool checked) { b->act_(&box, [&box, checked] { box.UserSetChecked(checked); }); });
    Bind(box, widget, [&box, widget](const TChange&) {
        widget->setText(CaptionText(box.Caption()));
        widget->setChecked(box.Checked());
        SetLocked(widget, box.ReadOnly());
        SyncCommon(box, widget);
    });
}

void TBindings::TFactory::Visit(TRadioGroup& radio)
{
    auto* widget = new TCaptionGroup(parent_);
    auto* buttons = new QButtonGroup(widget);
    TItemGrid& grid = *b_->itemGrids_.emplace_back(std::make_unique<TItemGrid>());
    grid.Body = widget->Body();
    grid.Columns = std::max(1, radio.Columns());
    Bind(radio, widget, [b = b_, &radio, widget, buttons, &grid](const TChange&) {
        widget->SetCaption(CaptionText(radio.Caption()));
        if (grid.Buttons.size() != radio.Items().size()) {
            for (QAbstractButton* button : grid.Buttons)
                Discard(button);
            grid.Buttons.clear();
            for (std::size_t i = 0; i < radio.Items().size(); ++i) {
                auto* button = new QRadioButton(grid.Body);
                buttons->addButton(button, int(i));
                QObject::connect(button, &QRadioButton::clicked, button,
                                 [b, &radio, i] { b->act_(&radio, [&radio, i] { radio.UserSelect(int(i)); }); });
                grid.Buttons.push_back(button);
            }
            FillGrid(grid, grid.Columns);
        }
        buttons->setExclusive(false);
        for (std::size_t i = 0; i < grid.Buttons.size(); ++i) {
            QAbstractButton* button = grid.Buttons[i];
            button->setText(CaptionText(radio.Items()[i]));
            button->setChecked(int(i) == radio.ItemIndex());
            button->setEnabled(radio.ItemEnabled(int(i)));
            SetLocked(button, radio.ReadOnly());
        }
        buttons->setExclusive(true);
        SyncCommon(radio, widget);
    });
}

void TBindings::TFactory::Visit(TCheckGroup& group)
{
    auto* widget = new TCaptionGroup(parent_);
    TItemGrid& grid = *b_->itemGrids_.emplace_back(std::make_unique<TItemGrid>());
    grid.Body = widget->Body();
    grid.Columns = std::max(1, group.Columns());
    Bind(group, widget, [b = b_, &group, widget, &grid](const TChange&) {
        widget->SetCaption(CaptionText(group.Caption()));
        if (grid.Buttons.size() != group.Items().size()) {
            for (QAbstractButton* button : grid.Buttons)
                Discard(button);
            grid.Buttons.clear();
            for (int i = 0; i < group.Count(); ++i) {
                auto* button = new QCheckBox(grid.Body);
                QObject::connect(button, &QCheckBox::clicked, button, [b, &group, i](bool checked) {
                    b->act_(&group, [&group, i, checked] { group.UserSetChecked(i, checked); });
                });
                grid.Buttons.push_back(button);
            }
            FillGrid(grid, grid.Columns);
        }
        for (int i = 0; i < group.Count(); ++i) {
            const TCheckGroupItem& item = group.Items()[std::size_t(i)];
            QAbstractButton* button = grid.Buttons[std::size_t(i)];
            button->setText(CaptionText(item.Caption));
            button->setChecked(item.Checked);
            button->setEnabled(item.Enabled);
            SetBold(button, item.Bold);
            SetLocked(button, item.Locked || group.ReadOnly());
        }
        SyncCommon(group, widget);
    });
}

} // namespace Forms::Gui
