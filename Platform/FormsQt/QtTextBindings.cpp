// The widgets of the text and list inputs.
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QToolButton>

#include <algorithm>
#include <memory>

#include "Platform/FormsQt/QtFactory.h"
#include "Platform/FormsQt/QtText.h"
#include "Platform/FormsQt/QtWidgets.h"

namespace Forms::Gui {

namespace {

// A read-only one-line edit shows the info-tip colours: it displays a value
// the dialog found rather than one the user gives.
void SetInfoColours(QWidget* widget, bool info)
{
    QPalette palette = widget->parentWidget() ? widget->parentWidget()->palette() : QApplication::palette();
    if (info) {
        palette.setColor(QPalette::Base, palette.color(QPalette::ToolTipBase));
        palette.setColor(QPalette::Text, palette.color(QPalette::ToolTipText));
    }
    widget->setPalette(palette);
}

// The memo's text without carriage returns ("\r\n" ends a line).
QString MemoText(std::string_view text)
{
    std::string plain;
    plain.reserve(text.size());
    for (char c : text)
        if (c != '\r') plain += c;
    return ToQ(plain);
}

} // namespace

void TBindings::TFactory::Visit(TEdit& edit)
{
    Edit(edit, nullptr);
}

void TBindings::TFactory::Visit(TButtonEdit& edit)
{
    Edit(edit, &edit);
}

void TBindings::TFactory::Visit(TDateEdit& date)
{
    auto* widget = new TDateField(parent_);
    widget->setFixedWidth(widget->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + 34);
    widget->OnCommit = [b = b_, &date](const QString& text) {
        if (FromQ(text) == date.Text()) return;
        b->act_(&date, [&date, text] { date.UserSetText(FromQ(text)); });
    };
    widget->OnPick = [b = b_, &date](QDate day) {
        b->act_(&date, [&date, day] {
            // A choice in the calendar is the user's, with the same limits as typing.
            if (!date.CanFocus()) throw EUserRefused("'" + date.Name() + "' is disabled");
            if (date.ReadOnly()) throw EUserRefused("'" + date.Name() + "' is read-only");
            date.SetDate(EncodeDate(day.year(), day.month(), day.day()));
        });
    };
    Bind(date, widget, [&date, widget](const TChange&) {
        const QString text = ToQ(date.Text());
        if (widget->Edit()->text() != text) widget->Edit()->setText(text);
        widget->SetReadOnly(date.ReadOnly());
        SyncCommon(date, widget);
    });
}

void TBindings::TFactory::Visit(TSpinEdit& spin)
{
    auto* widget = new QDoubleSpinBox(parent_);
    widget->setKeyboardTracking(false);
    widget->setFixedWidth(widget->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 30);
    QObject::connect(widget, &QDoubleSpinBox::valueChanged, widget, [b = b_, &spin](double value) {
        b->act_(&spin, [&spin, value] { spin.UserSetText(FromQ(QString::number(value, 'g', 15))); });
    });
    Bind(spin, widget, [&spin, widget](const TChange&) {
        const QSignalBlocker quiet(widget);
        widget->setDecimals(spin.IntegersOnly() ? 0 : 2);
        if (spin.Max() > spin.Min())
            widget->setRange(spin.Min(), spin.Max());
        else
            widget->setRange(-1e9, 1e9);
        widget->setSingleStep(spin.Increment());
        widget->setValue(spin.Value());
        widget->setReadOnly(spin.ReadOnly());
        SyncCommon(spin, widget);
    });
}

void TBindings::TFactory::Visit(TMemo& memo)
{
    auto* widget = new QPlainTextEdit(parent_);
    widget->setLineWrapMode(QPlainTextEdit::NoWrap);
    widget->setHorizontalScrollBarPolicy(::Qt::ScrollBarAlwaysOn);
    widget->setVerticalScrollBarPolicy(::Qt::ScrollBarAlwaysOn);
    widget->setTabChangesFocus(true);
    widget->setUndoRedoEnabled(false);
    QObject::connect(widget, &QPlainTextEdit::textChanged, widget, [b = b_, &memo, widget] {
        const std::string text = FromQ(widget->toPlainText());
        b->act_(&memo, [&memo, text] { memo.UserSetText(text); });
    });
    auto topLine = std::make_shared<int>(-1);
    Bind(memo, widget, [&memo, widget, topLine](const TChange& change) {
        const QSignalBlocker quiet(widget);
        if (change.Kind == TChangeKind::Append) {
            const QString piece = MemoText(change.Text);
            if (!piece.isEmpty()) {
                QTextCursor end(widget->document());
                end.movePosition(QTextCursor::End);
                end.insertText(piece);
            }
            return;
        }
        if (change.Kind == TChangeKind::Reset || *topLine < 0) {
            // Typing into the widget comes back as a reset with the same text.
            const QString text = MemoText(memo.Text());
            if (widget->toPlainText() != text) widget->setPlainText(text);
        }
        widget->setReadOnly(memo.ReadOnly());
        if (memo.TopLine() != *topLine) {
            *topLine = memo.TopLine();
            widget->verticalScrollBar()->setValue(memo.TopLine());
        }
        SyncCommon(memo, widget);
    });
}

void TBindings::TFactory::Visit(TComboBox& combo)
{
    auto* widget = new QComboBox(parent_);
    QObject::connect(widget, &QComboBox::activated, widget,
                     [b = b_, &combo](int index) { b->act_(&combo, [&combo, index] { combo.UserSelect(index); }); });
    Bind(combo, widget, [&combo, widget](const TChange&) {
        const QSignalBlocker quiet(widget);
        QStringList items;
        for (const std::string& item : combo.Items())
            items << ToQ(item);
        QStringList shown;
        for (int i = 0; i < widget->count(); ++i)
            shown << widget->itemText(i);
        if (shown != items) {
            widget->clear();
            widget->addItems(items);
        }
        widget->setCurrentIndex(combo.ItemIndex());
        // A read-only list shows its choice but does not open.
        widget->setAttribute(::Qt::WA_TransparentForMouseEvents, combo.ReadOnly());
        widget->setFocusPolicy(combo.ReadOnly() ? ::Qt::NoFocus : ::Qt::StrongFocus);
        SyncCommon(combo, widget);
    });
}

// A one-line edit; a button edit adds its browse button.
void TBindings::TFactory::Edit(TEdit& edit, TButtonEdit* buttonEdit)
{
    QWidget* widget = nullptr;
    QLineEdit* line = nullptr;
    QToolButton* browse = nullptr;
    if (buttonEdit) {
        widget = new QWidget(parent_);
        auto* layout = new QHBoxLayout(widget);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(2);
        line = new QLineEdit(widget);
        browse = new QToolButton(widget);
        browse->setText(QStringLiteral("…"));
        browse->setFocusPolicy(::Qt::TabFocus);
        layout->addWidget(line, 1);
        layout->addWidget(browse);
        widget->setFocusProxy(line);
        QObject::connect(browse, &QToolButton::clicked, widget, [b = b_, buttonEdit] {
            b->act_(buttonEdit, [buttonEdit] { buttonEdit->Button().UserClick(); });
        });
    } else {
        line = new QLineEdit(parent_);
        widget = line;
    }
    QObject::connect(line, &QLineEdit::textEdited, widget, [b = b_, &edit](const QString& text) {
        b->act_(&edit, [&edit, text] { edit.UserSetText(FromQ(text)); });
    });
    Bind(edit, widget, [&edit, buttonEdit, widget, line, browse](const TChange&) {
        const QString text = ToQ(edit.Text());
        if (line->text() != text) {
            const int cursor = line->cursorPosition();
            line->setText(text);
            line->setCursorPosition(std::min<int>(cursor, int(text.size())));
        }
        line->setReadOnly(edit.ReadOnly());
        if (!buttonEdit) SetInfoColours(line, edit.ReadOnly());
        if (browse) {
            const TSubButton& sub = buttonEdit->Button();
            browse->setHidden(!sub.Visible());
            browse->setEnabled(sub.Enabled());
            browse->setToolTip(sub.Caption().empty() ? QStringLiteral("Browse") : CaptionText(sub.Caption()));
        }
        SyncCommon(edit, widget);
    });
}

} // namespace Forms::Gui
