// The dialog's layout: a panel of controls in their order, the button column
// at the right and the status bar at the foot.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "Platform/Forms/Forms.h"
#include "Platform/FormsQt/QtSession.h"
#include "Platform/FormsQt/QtText.h"
#include "Platform/FormsQt/QtWidgets.h"

namespace Forms::Gui {

namespace {

// Where a kind sits in the dialog.
enum class TSlot {
    Panel,      // the panel, in the order of the controls
    Container,  // the panel; made before the others so its controls find it
    Foot,       // fills what is left at the foot of the panel
    RowHead,    // the panel; in a group box it starts a new row
    Column,     // the button column
    StatusText, // the status bar, taking the room left
    StatusBar,  // the status bar, at its own width
};

class TSlotOf final : public TConstControlVisitor {
public:
    TSlot Slot = TSlot::Panel;

    void Visit(const TLabel&) override { Slot = TSlot::Panel; }
    void Visit(const TGroupBox&) override { Slot = TSlot::Container; }
    void Visit(const TStatusPane&) override { Slot = TSlot::StatusText; }
    void Visit(const TProgressPane&) override { Slot = TSlot::StatusBar; }
    void Visit(const TEdit&) override { Slot = TSlot::Panel; }
    void Visit(const TButtonEdit&) override { Slot = TSlot::Panel; }
    void Visit(const TDateEdit&) override { Slot = TSlot::Panel; }
    void Visit(const TSpinEdit&) override { Slot = TSlot::Panel; }
    void Visit(const TMemo&) override { Slot = TSlot::Foot; }
    void Visit(const TButton&) override { Slot = TSlot::Panel; }
    void Visit(const TButtonPair&) override { Slot = TSlot::Panel; }
    void Visit(const TDialogButtons&) override { Slot = TSlot::Column; }
    void Visit(const TCheckBox&) override { Slot = TSlot::RowHead; }
    void Visit(const TComboBox&) override { Slot = TSlot::Panel; }
    void Visit(const TRadioGroup&) override { Slot = TSlot::Panel; }
    void Visit(const TCheckGroup&) override { Slot = TSlot::Panel; }
};

TSlot SlotOf(const TControl& control)
{
    TSlotOf slot;
    control.Accept(slot);
    return slot.Slot;
}

// The dialogs were laid out for Tahoma 8 pt (11 pixels); pixels keep the
// layout independent of the screen's resolution.
QFont DialogFont(const QFont& base)
{
    QFont font = base;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(11);
    return font;
}

} // namespace

void TQtSession::FitItemGrids()
{
    // Fewer columns where the asked ones would not fit the panel.
    const int width = dialog_->minimumWidth() > 0 ? dialog_->minimumWidth() : 0;
    if (width <= 0) return;
    const QLayout* content = dialog_->layout()->itemAt(0)->layout();
    const QMargins margins = content->contentsMargins();
    const int available = width - margins.left() - margins.right() - content->spacing() -
                          (column_->count() ? column_->sizeHint().width() : 0);
    bindings_.FitItemGrids(available);
}

void TQtSession::Place(TControl& control, QWidget* widget)
{
    const TSlot slot = SlotOf(control);
    TControl* parent = control.Parent();
    if (QGridLayout* grid = parent ? bindings_.GroupGrid(parent) : nullptr) {
        // A check box heads a new row of its group; the rest follow it.
        QPoint& cursor = groupCursor_[parent];
        if (slot == TSlot::RowHead && cursor.x() > 0) cursor = QPoint(0, cursor.y() + 1);
        grid->addWidget(widget, cursor.y(), cursor.x(), ::Qt::AlignLeft | ::Qt::AlignVCenter);
        cursor.rx() += 1;
        grid->setColumnStretch(cursor.x(), 1);
        return;
    }
    switch (slot) {
    case TSlot::Column:
        column_->addWidget(widget);
        break;
    case TSlot::StatusText:
        statusBar_->addWidget(widget, 1);
        break;
    case TSlot::StatusBar:
        statusBar_->addWidget(widget);
        break;
    case TSlot::Panel:
    case TSlot::Container:
    case TSlot::Foot:
    case TSlot::RowHead:
        panel_->addWidget(widget);
        break;
    }
}

void TQtSession::Build()
{
    dialog_ = std::make_unique<TDialogWindow>(owner_, [this] { RequestClose(); });
    QWidget* dialog = dialog_.get();
    dialog->setObjectName(QStringLiteral("form"));
    dialog->setFont(DialogFont(dialog->font()));
    dialog->setWindowTitle(ToQ(form_.Caption()));
    dialog->setWindowModality(::Qt::ApplicationModal);
    // The host window may be disabled while a dialog is up; its dialog is not.
    dialog->setEnabled(true);

    auto* root = new QVBoxLayout(dialog);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    auto* content = new QHBoxLayout;
    content->setContentsMargins(6, 6, 6, 4);
    content->setSpacing(6);
    panel_ = new QVBoxLayout;
    panel_->setSpacing(3);
    column_ = new QVBoxLayout;
    column_->setSpacing(6);
    content->addLayout(panel_, 1);
    content->addLayout(column_);
    root->addLayout(content, 1);
    auto* status = new QWidget(dialog);
    status->setFixedHeight(20);
    statusBar_ = new QHBoxLayout(status);
    statusBar_->setContentsMargins(2, 2, 2, 2);
    statusBar_->setSpacing(2);
    root->addWidget(status);

    const std::vector<TControl*> controls = form_.Controls();
    // Group boxes first, so that their controls find them whatever the
    // order; each takes its place in the order of the controls.
    for (TControl* control : controls)
        if (SlotOf(*control) == TSlot::Container && !control->Parent()) bindings_.Create(*control, dialog);
    for (TControl* control : controls) {
        const TSlot slot = SlotOf(*control);
        if (slot == TSlot::Container && !control->Parent()) {
            Place(*control, bindings_.Widget(control));
            continue;
        }
        // The memo fills what is left at the foot of the panel.
        if (slot == TSlot::Foot && !control->Parent()) {
            memos_.push_back(control);
            continue;
        }
        QWidget* parent = dialog;
        if (QWidget* body = control->Parent() ? bindings_.GroupBody(control->Parent()) : nullptr) parent = body;
        Place(*control, bindings_.Create(*control, parent));
    }
    for (TControl* memo : memos_)
        panel_->addWidget(bindings_.Create(*memo, dialog), 1);
    if (memos_.empty()) panel_->addStretch(1);
    if (column_->count()) {
        column_->addStretch(1);
        auto* logo = new QLabel(dialog);
        logo->setObjectName(QStringLiteral("imgLogo"));
        logo->setPixmap(LogoPicture(72));
        logo->setAlignment(::Qt::AlignHCenter | ::Qt::AlignBottom);
        column_->addWidget(logo);
    }
    if (statusBar_->count() == 0) status->hide();

    bindings_.SyncAll();
    if (form_.ClientWidth() > 0 && form_.ClientHeight() > 0)
        dialog->setFixedSize(form_.ClientWidth(), form_.ClientHeight());
    FitItemGrids();
    if (form_.ClientWidth() <= 0 || form_.ClientHeight() <= 0) dialog->adjustSize();
}

} // namespace Forms::Gui
