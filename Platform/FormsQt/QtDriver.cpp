#include "Platform/FormsQt/FormsQt.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaMethod>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include <dlfcn.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <vector>

#include "Platform/Forms/Forms.h"
#include "Platform/FormsQt/QtWidgets.h"

namespace Forms {

namespace {

using namespace Forms::Gui;

// Qt keeps process-wide state and is not made to be unloaded and loaded
// again: once a plug-in has brought it in, it stays until the process ends,
// whatever the host does with the plug-in.
void KeepLoaded(const void* symbol) {
    Dl_info info{};
    if (dladdr(symbol, &info) && info.dli_fname)
        dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

const bool qtKeptLoaded = [] {
    KeepLoaded(reinterpret_cast<const void*>(&qVersion));
    KeepLoaded(reinterpret_cast<const void*>(&QGuiApplication::platformName));
    KeepLoaded(reinterpret_cast<const void*>(&QApplication::style));
    return true;
}();

QString ToQ(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}
std::string FromQ(const QString& text) {
    return text.toStdString();
}
QString CaptionText(const std::string& caption) {
    return ToQ(StripAccelerator(caption));
}

// The dialogs were laid out for Tahoma 8 pt (11 pixels); pixels keep the
// layout independent of the screen's resolution.
QFont DialogFont(const QFont& base) {
    QFont font = base;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(11);
    return font;
}

void SetBold(QWidget* widget, bool bold) {
    QFont font = widget->font();
    if (font.bold() == bold) return;
    font.setBold(bold);
    widget->setFont(font);
}

// Shown and usable as the control is (a group's children follow the group).
void SyncCommon(const TControl& control, QWidget* widget) {
    widget->setEnabled(control.Enabled());
    widget->setHidden(!control.Visible());
}

// A read-only one-line edit shows the info-tip colours: it displays a value
// the dialog found rather than one the user gives.
void SetInfoColours(QWidget* widget, bool info) {
    QPalette palette =
        widget->parentWidget() ? widget->parentWidget()->palette() : QApplication::palette();
    if (info) {
        palette.setColor(QPalette::Base, palette.color(QPalette::ToolTipBase));
        palette.setColor(QPalette::Text, palette.color(QPalette::ToolTipText));
    }
    widget->setPalette(palette);
}

// Locked items keep their state: they take no clicks and no focus and are
// drawn with the button face instead of the window colour.
void SetLocked(QAbstractButton* button, bool locked) {
    button->setAttribute(::Qt::WA_TransparentForMouseEvents, locked);
    button->setFocusPolicy(locked ? ::Qt::NoFocus : ::Qt::StrongFocus);
    QPalette palette =
        button->parentWidget() ? button->parentWidget()->palette() : QApplication::palette();
    if (locked) palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    button->setPalette(palette);
}

// An item button that is no longer wanted; it may be the one whose click
// is being handled, so it goes once control returns to the event loop.
void Discard(QAbstractButton* button) {
    if (QButtonGroup* group = button->group()) group->removeButton(button);
    button->hide();
    button->deleteLater();
}

// The memo's text without carriage returns ("\r\n" ends a line).
QString MemoText(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    for (char c : text)
        if (c != '\r') plain += c;
    return ToQ(plain);
}

class TDialogWindow : public QDialog {
public:
    TDialogWindow(QWidget* parent, std::function<void()> closeRequest)
        : QDialog(parent), closeRequest_(std::move(closeRequest)) {}
    void reject() override { closeRequest_(); }

protected:
    // The form decides whether it closes.
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        closeRequest_();
    }

private:
    std::function<void()> closeRequest_;
};

struct TBinding {
    TControl* Control = nullptr;
    QWidget* Widget = nullptr;
    std::function<void(const TChange&)> Sync;
    int Observer = 0;
};

// A radio or check group's items, laid out in columns.
struct TItemGrid {
    QWidget* Body = nullptr;
    std::vector<QAbstractButton*> Buttons;
    int Columns = 1;
};

// One shown form: its window, the widgets of its controls, the modal loop
// and, when the host asks for it, the script that plays the user.
class TQtSession {
public:
    TQtSession(TQtModalDriver& driver, TForm& form, QWidget* owner)
        : driver_(driver), form_(form), owner_(owner) {}
    ~TQtSession() {
        for (auto& binding : bindings_)
            binding->Control->RemoveObserver(binding->Observer);
        delete dialog_;
    }
    TQtSession(const TQtSession&) = delete;
    TQtSession& operator=(const TQtSession&) = delete;

    TForm& Form() const { return form_; }
    QWidget* Window() const { return dialog_; }
    bool Scripted() const { return script_ != nullptr; }

    void Run();
    // A file dialog's answer from the script: the next line, nothing for
    // an empty line or the end.
    std::optional<std::string> ScriptAnswer();

private:
    void Build();
    void Place(TControl& control, QWidget* widget);
    QWidget* Create(TControl& control, QWidget* parent);
    TBinding& Bind(TControl& control, QWidget* widget, std::function<void(const TChange&)> sync);
    void FitItemGrids();
    void FillGrid(TItemGrid& grid, int columns);
    void PlayScript(const std::string& path);

    // Runs what a person did: refusals are shown, exceptions go to the
    // standard error message, and a close request takes effect once no
    // handler is running any more.
    void Act(TControl* source, const std::function<void()>& action);
    void Refused(TControl* source, const std::string& message);
    void RequestClose() {
        Act(nullptr, [this] { form_.Close(); });
    }
    void TryFinish();
    void Finish();
    QString InvokeHost(const char* method);

    TQtModalDriver& driver_;
    TForm& form_;
    QPointer<QWidget> owner_;
    TDialogWindow* dialog_ = nullptr;
    QVBoxLayout* panel_ = nullptr;
    QVBoxLayout* column_ = nullptr;
    QHBoxLayout* statusBar_ = nullptr;
    std::vector<std::unique_ptr<TBinding>> bindings_;
    // Qt's containers: the standard map would make the plug-ins export a
    // symbol of the standard library besides their two functions.
    QHash<const TControl*, QWidget*> widgets_;
    QHash<const TControl*, QGridLayout*> groupGrids_;
    QHash<const TControl*, QPoint> groupCursor_; // next row (y) and column (x)
    std::vector<std::unique_ptr<TItemGrid>> itemGrids_;
    std::vector<TControl*> memos_;
    int depth_ = 0;
    bool finished_ = false;
    QEventLoop loop_;
    std::unique_ptr<std::ifstream> script_;
    int line_ = 0;
};

} // namespace

constexpr std::chrono::milliseconds PumpInterval{16};

struct TQtModalDriver::TImpl {
    QPointer<QWidget> Owner;
    std::chrono::steady_clock::time_point LastPump{};
    std::optional<std::uint32_t> HostHandle;
    std::vector<TQtSession*> Sessions;
    int BusyDepth = 0;

    TQtSession* Find(const TForm& form) const {
        for (auto it = Sessions.rbegin(); it != Sessions.rend(); ++it)
            if (&(*it)->Form() == &form) return *it;
        return nullptr;
    }
};

// --- building the window -----------------------------------------------------

TBinding& TQtSession::Bind(TControl& control, QWidget* widget,
                           std::function<void(const TChange&)> sync) {
    auto binding = std::make_unique<TBinding>();
    binding->Control = &control;
    binding->Widget = widget;
    binding->Sync = std::move(sync);
    TBinding* raw = binding.get();
    binding->Observer =
        control.AddObserver([raw](TControl&, const TChange& change) { raw->Sync(change); });
    widget->setObjectName(ToQ(control.Name()));
    widgets_.insert(&control, widget);
    bindings_.push_back(std::move(binding));
    return *raw;
}

void TQtSession::Refused(TControl* source, const std::string& message) {
    QWidget* widget = source ? widgets_.value(source, dialog_) : dialog_;
    if (Scripted()) {
        std::cerr << "line " << line_ << ": " << message << std::endl;
        return;
    }
    QToolTip::showText(widget->mapToGlobal(QPoint(0, widget->height())), ToQ(message), widget);
}

void TQtSession::Act(TControl* source, const std::function<void()>& action) {
    ++depth_;
    try {
        action();
    } catch (const EUserRefused& refused) {
        Refused(source, refused.Message());
    } catch (const std::exception& error) {
        driver_.ShowException(form_, error);
    }
    --depth_;
    // The widget may show what the model refused: put the model's state back.
    if (source)
        for (auto& binding : bindings_)
            if (binding->Control == source) binding->Sync(TChange{});
    TryFinish();
}

void TQtSession::TryFinish() {
    if (depth_ > 0 || finished_ || form_.ModalResult() == mrNone) return;
    bool closes = true;
    ++depth_;
    try {
        closes = form_.CloseModal();
    } catch (const std::exception& error) {
        // The close goes ahead: nothing is left for the user to do about it.
        driver_.ShowException(form_, error);
    }
    --depth_;
    if (closes) Finish();
}

void TQtSession::Finish() {
    finished_ = true;
    InvokeHost("dialogClosing");
    if (loop_.isRunning()) loop_.quit();
}

QString TQtSession::InvokeHost(const char* method) {
    QString answer;
    if (!owner_ || !dialog_) return answer;
    const QMetaObject* meta = owner_->metaObject();
    const QByteArray signature = QByteArray(method) + "(QWidget*)";
    const int index = meta->indexOfMethod(signature.constData());
    if (index < 0) return answer;
    const QMetaMethod invoked = meta->method(index);
    QWidget* dialog = dialog_;
    if (invoked.returnType() == QMetaType::QString)
        invoked.invoke(owner_, ::Qt::DirectConnection, Q_RETURN_ARG(QString, answer),
                       Q_ARG(QWidget*, dialog));
    else
        invoked.invoke(owner_, ::Qt::DirectConnection, Q_ARG(QWidget*, dialog));
    return answer;
}

QWidget* TQtSession::Create(TControl& control, QWidget* parent) {
    if (auto* label = dynamic_cast<TLabel*>(&control)) {
        auto* widget = new QLabel(parent);
        Bind(control, widget, [label, widget](const TChange&) {
            widget->setText(CaptionText(label->Caption()));
            SetBold(widget, label->Bold());
            SyncCommon(*label, widget);
        });
        return widget;
    }
    if (auto* edit = dynamic_cast<TEdit*>(&control)) {
        auto* buttonEdit = dynamic_cast<TButtonEdit*>(&control);
        QWidget* widget = nullptr;
        QLineEdit* line = nullptr;
        QToolButton* browse = nullptr;
        if (buttonEdit) {
            widget = new QWidget(parent);
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
            QObject::connect(browse, &QToolButton::clicked, widget, [this, buttonEdit] {
                Act(buttonEdit, [buttonEdit] { buttonEdit->Button().UserClick(); });
            });
        } else {
            line = new QLineEdit(parent);
            widget = line;
        }
        QObject::connect(line, &QLineEdit::textEdited, widget, [this, edit](const QString& text) {
            Act(edit, [edit, text] { edit->UserSetText(FromQ(text)); });
        });
        Bind(control, widget, [edit, buttonEdit, widget, line, browse](const TChange&) {
            const QString text = ToQ(edit->Text());
            if (line->text() != text) {
                const int cursor = line->cursorPosition();
                line->setText(text);
                line->setCursorPosition(std::min<int>(cursor, int(text.size())));
            }
            line->setReadOnly(edit->ReadOnly());
            if (!buttonEdit) SetInfoColours(line, edit->ReadOnly());
            if (browse) {
                const TSubButton& sub = buttonEdit->Button();
                browse->setHidden(!sub.Visible());
                browse->setEnabled(sub.Enabled());
                browse->setToolTip(sub.Caption().empty() ? QStringLiteral("Browse")
                                                         : CaptionText(sub.Caption()));
            }
            SyncCommon(*edit, widget);
        });
        return widget;
    }
    if (auto* date = dynamic_cast<TDateEdit*>(&control)) {
        auto* widget = new TDateField(parent);
        widget->setFixedWidth(
            widget->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + 34);
        widget->OnCommit = [this, date](const QString& text) {
            if (FromQ(text) == date->Text()) return;
            Act(date, [date, text] { date->UserSetText(FromQ(text)); });
        };
        widget->OnPick = [this, date](QDate day) {
            Act(date, [date, day] {
                // A choice in the calendar is the user's, with the same limits as typing.
                if (!date->CanFocus()) throw EUserRefused("'" + date->Name() + "' is disabled");
                if (date->ReadOnly()) throw EUserRefused("'" + date->Name() + "' is read-only");
                date->SetDate(EncodeDate(day.year(), day.month(), day.day()));
            });
        };
        Bind(control, widget, [date, widget](const TChange&) {
            const QString text = ToQ(date->Text());
            if (widget->Edit()->text() != text) widget->Edit()->setText(text);
            widget->SetReadOnly(date->ReadOnly());
            SyncCommon(*date, widget);
        });
        return widget;
    }
    if (auto* spin = dynamic_cast<TSpinEdit*>(&control)) {
        auto* widget = new QDoubleSpinBox(parent);
        widget->setKeyboardTracking(false);
        widget->setFixedWidth(widget->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 30);
        QObject::connect(widget, &QDoubleSpinBox::valueChanged, widget, [this, spin](double value) {
            Act(spin, [spin, value] { spin->UserSetText(FromQ(QString::number(value, 'g', 15))); });
        });
        Bind(control, widget, [spin, widget](const TChange&) {
            const QSignalBlocker quiet(widget);
            widget->setDecimals(spin->IntegersOnly() ? 0 : 2);
            if (spin->Max() > spin->Min())
                widget->setRange(spin->Min(), spin->Max());
            else
                widget->setRange(-1e9, 1e9);
            widget->setSingleStep(spin->Increment());
            widget->setValue(spin->Value());
            widget->setReadOnly(spin->ReadOnly());
            SyncCommon(*spin, widget);
        });
        return widget;
    }
    if (auto* combo = dynamic_cast<TComboBox*>(&control)) {
        auto* widget = new QComboBox(parent);
        QObject::connect(widget, &QComboBox::activated, widget, [this, combo](int index) {
            Act(combo, [combo, index] { combo->UserSelect(index); });
        });
        Bind(control, widget, [combo, widget](const TChange&) {
            const QSignalBlocker quiet(widget);
            QStringList items;
            for (const std::string& item : combo->Items())
                items << ToQ(item);
            QStringList shown;
            for (int i = 0; i < widget->count(); ++i)
                shown << widget->itemText(i);
            if (shown != items) {
                widget->clear();
                widget->addItems(items);
            }
            widget->setCurrentIndex(combo->ItemIndex());
            // A read-only list shows its choice but does not open.
            widget->setAttribute(::Qt::WA_TransparentForMouseEvents, combo->ReadOnly());
            widget->setFocusPolicy(combo->ReadOnly() ? ::Qt::NoFocus : ::Qt::StrongFocus);
            SyncCommon(*combo, widget);
        });
        return widget;
    }
    if (auto* radio = dynamic_cast<TRadioGroup*>(&control)) {
        auto* widget = new TCaptionGroup(parent);
        auto* buttons = new QButtonGroup(widget);
        TItemGrid& grid = *itemGrids_.emplace_back(std::make_unique<TItemGrid>());
        grid.Body = widget->Body();
        grid.Columns = std::max(1, radio->Columns());
        Bind(control, widget, [this, radio, widget, buttons, &grid](const TChange&) {
            widget->SetCaption(CaptionText(radio->Caption()));
            if (grid.Buttons.size() != radio->Items().size()) {
                for (QAbstractButton* button : grid.Buttons)
                    Discard(button);
                grid.Buttons.clear();
                for (std::size_t i = 0; i < radio->Items().size(); ++i) {
                    auto* button = new QRadioButton(grid.Body);
                    buttons->addButton(button, int(i));
                    QObject::connect(button, &QRadioButton::clicked, button, [this, radio, i] {
                        Act(radio, [radio, i] { radio->UserSelect(int(i)); });
                    });
                    grid.Buttons.push_back(button);
                }
                FillGrid(grid, grid.Columns);
            }
            buttons->setExclusive(false);
            for (std::size_t i = 0; i < grid.Buttons.size(); ++i) {
                QAbstractButton* button = grid.Buttons[i];
                button->setText(CaptionText(radio->Items()[i]));
                button->setChecked(int(i) == radio->ItemIndex());
                button->setEnabled(radio->ItemEnabled(int(i)));
                SetLocked(button, radio->ReadOnly());
            }
            buttons->setExclusive(true);
            SyncCommon(*radio, widget);
        });
        return widget;
    }
    if (auto* group = dynamic_cast<TCheckGroup*>(&control)) {
        auto* widget = new TCaptionGroup(parent);
        TItemGrid& grid = *itemGrids_.emplace_back(std::make_unique<TItemGrid>());
        grid.Body = widget->Body();
        grid.Columns = std::max(1, group->Columns());
        Bind(control, widget, [this, group, widget, &grid](const TChange&) {
            widget->SetCaption(CaptionText(group->Caption()));
            if (grid.Buttons.size() != group->Items().size()) {
                for (QAbstractButton* button : grid.Buttons)
                    Discard(button);
                grid.Buttons.clear();
                for (int i = 0; i < group->Count(); ++i) {
                    auto* button = new QCheckBox(grid.Body);
                    QObject::connect(
                        button, &QCheckBox::clicked, button, [this, group, i](bool checked) {
                            Act(group, [group, i, checked] { group->UserSetChecked(i, checked); });
                        });
                    grid.Buttons.push_back(button);
                }
                FillGrid(grid, grid.Columns);
            }
            for (int i = 0; i < group->Count(); ++i) {
                const TCheckGroupItem& item = group->Items()[std::size_t(i)];
                QAbstractButton* button = grid.Buttons[std::size_t(i)];
                button->setText(CaptionText(item.Caption));
                button->setChecked(item.Checked);
                button->setEnabled(item.Enabled);
                SetBold(button, item.Bold);
                SetLocked(button, item.Locked || group->ReadOnly());
            }
            SyncCommon(*group, widget);
        });
        return widget;
    }
    if (auto* box = dynamic_cast<TCheckBox*>(&control)) {
        auto* widget = new QCheckBox(parent);
        QObject::connect(widget, &QCheckBox::clicked, widget, [this, box](bool checked) {
            Act(box, [box, checked] { box->UserSetChecked(checked); });
        });
        Bind(control, widget, [box, widget](const TChange&) {
            widget->setText(CaptionText(box->Caption()));
            widget->setChecked(box->Checked());
            SetLocked(widget, box->ReadOnly());
            SyncCommon(*box, widget);
        });
        return widget;
    }
    if (auto* button = dynamic_cast<TButton*>(&control)) {
        auto* widget = new QPushButton(parent);
        widget->setAutoDefault(false);
        QObject::connect(widget, &QPushButton::clicked, widget,
                         [this, button] { Act(button, [button] { button->UserClick(); }); });
        Bind(control, widget, [button, widget](const TChange&) {
            widget->setText(ToQ(button->Caption()));
            SyncCommon(*button, widget);
        });
        return widget;
    }
    if (auto* pair = dynamic_cast<TButtonPair*>(&control)) {
        auto* widget = new QWidget(parent);
        auto* layout = new QHBoxLayout(widget);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(1);
        auto* find = new QToolButton(widget);
        auto* alt = new QToolButton(widget);
        find->setIcon(FindGlyph());
        alt->setIcon(CalendarGlyph());
        for (QToolButton* b : {find, alt}) {
            b->setAutoRaise(false);
            b->setFixedSize(22, 22);
            layout->addWidget(b);
        }
        widget->setFocusProxy(find);
        QObject::connect(find, &QToolButton::clicked, widget,
                         [this, pair] { Act(pair, [pair] { pair->Button().UserClick(); }); });
        QObject::connect(alt, &QToolButton::clicked, widget,
                         [this, pair] { Act(pair, [pair] { pair->AltBtn().UserClick(); }); });
        Bind(control, widget, [pair, widget, find, alt](const TChange&) {
            for (auto [button, sub] :
                 {std::pair{find, &pair->Button()}, std::pair{alt, &pair->AltBtn()}}) {
                button->setHidden(!sub->Visible());
                button->setEnabled(sub->Enabled());
                button->setToolTip(CaptionText(sub->Caption()));
            }
            SyncCommon(*pair, widget);
        });
        return widget;
    }
    if (auto* buttons = dynamic_cast<TDialogButtons*>(&control)) {
        auto* widget = new QWidget(parent);
        auto* layout = new QVBoxLayout(widget);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(6);
        auto* ok = new QPushButton(widget);
        auto* cancel = new QPushButton(widget);
        ok->setObjectName(ToQ(control.Name() + ".ok"));
        cancel->setObjectName(ToQ(control.Name() + ".cancel"));
        for (QPushButton* b : {ok, cancel}) {
            // Neither is the default button: Enter does not run the dialog.
            b->setAutoDefault(false);
            b->setDefault(false);
            b->setFixedWidth(72);
            layout->addWidget(b);
        }
        widget->setFocusProxy(ok);
        QObject::connect(ok, &QPushButton::clicked, widget, [this, buttons] {
            Act(buttons, [buttons] { buttons->Ok().UserClick(); });
        });
        QObject::connect(cancel, &QPushButton::clicked, widget, [this, buttons] {
            Act(buttons, [buttons] { buttons->Cancel().UserClick(); });
        });
        Bind(control, widget, [buttons, widget, ok, cancel](const TChange&) {
            for (auto [button, sub] :
                 {std::pair{ok, &buttons->Ok()}, std::pair{cancel, &buttons->Cancel()}}) {
                button->setText(ToQ(sub->Caption()));
                button->setHidden(!sub->Visible());
                button->setEnabled(sub->Enabled());
            }
            SyncCommon(*buttons, widget);
        });
        return widget;
    }
    if (auto* memo = dynamic_cast<TMemo*>(&control)) {
        auto* widget = new QPlainTextEdit(parent);
        widget->setLineWrapMode(QPlainTextEdit::NoWrap);
        widget->setHorizontalScrollBarPolicy(::Qt::ScrollBarAlwaysOn);
        widget->setVerticalScrollBarPolicy(::Qt::ScrollBarAlwaysOn);
        widget->setTabChangesFocus(true);
        widget->setUndoRedoEnabled(false);
        QObject::connect(widget, &QPlainTextEdit::textChanged, widget, [this, memo, widget] {
            const std::string text = FromQ(widget->toPlainText());
            Act(memo, [memo, text] { memo->UserSetText(text); });
        });
        auto topLine = std::make_shared<int>(-1);
        Bind(control, widget, [memo, widget, topLine](const TChange& change) {
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
                const QString text = MemoText(memo->Text());
                if (widget->toPlainText() != text) widget->setPlainText(text);
            }
            widget->setReadOnly(memo->ReadOnly());
            if (memo->TopLine() != *topLine) {
                *topLine = memo->TopLine();
                widget->verticalScrollBar()->setValue(memo->TopLine());
            }
            SyncCommon(*memo, widget);
        });
        return widget;
    }
    if (auto* pane = dynamic_cast<TStatusPane*>(&control)) {
        auto* widget = new TStatusText(parent);
        Bind(control, widget, [pane, widget](const TChange&) {
            widget->setText(ToQ(pane->Text()));
            SyncCommon(*pane, widget);
        });
        return widget;
    }
    if (auto* progress = dynamic_cast<TProgressPane*>(&control)) {
        auto* widget = new TSegmentBar(parent);
        widget->setFixedWidth(150);
        Bind(control, widget, [progress, widget](const TChange&) {
            widget->SetSegments(progress->Segments());
            widget->setValue(progress->Percent());
            SyncCommon(*progress, widget);
        });
        return widget;
    }
    if (auto* groupBox = dynamic_cast<TGroupBox*>(&control)) {
        auto* widget = new TCaptionGroup(parent);
        auto* grid = new QGridLayout(widget->Body());
        grid->setContentsMargins(4, 2, 0, 2);
        grid->setHorizontalSpacing(6);
        grid->setVerticalSpacing(4);
        groupGrids_.insert(&control, grid);
        Bind(control, widget, [groupBox, widget](const TChange&) {
            widget->SetCaption(CaptionText(groupBox->Caption()));
            SyncCommon(*groupBox, widget);
        });
        return widget;
    }
    // A kind this renderer does not know: its name, so the dialog still opens.
    auto* widget = new QLabel(parent);
    Bind(control, widget, [&control, widget](const TChange&) {
        widget->setText(ToQ(control.Name() + " (" + control.Kind() + ")"));
        SyncCommon(control, widget);
    });
    return widget;
}

void TQtSession::FillGrid(TItemGrid& grid, int columns) {
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

void TQtSession::FitItemGrids() {
    // Fewer columns where the asked ones would not fit the panel.
    const int width = dialog_->minimumWidth() > 0 ? dialog_->minimumWidth() : 0;
    if (width <= 0) return;
    const QLayout* content = dialog_->layout()->itemAt(0)->layout();
    const QMargins margins = content->contentsMargins();
    const int available = width - margins.left() - margins.right() - content->spacing() -
                          (column_->count() ? column_->sizeHint().width() : 0);
    for (auto& entry : itemGrids_) {
        TItemGrid& grid = *entry;
        int columns = grid.Columns;
        FillGrid(grid, columns);
        while (columns > 1 && grid.Body->sizeHint().width() > available)
            FillGrid(grid, --columns);
    }
}

void TQtSession::Place(TControl& control, QWidget* widget) {
    TControl* parent = control.Parent();
    if (QGridLayout* grid = parent ? groupGrids_.value(parent) : nullptr) {
        // A check box heads a new row of its group; the rest follow it.
        QPoint& cursor = groupCursor_[parent];
        if (dynamic_cast<TCheckBox*>(&control) && cursor.x() > 0)
            cursor = QPoint(0, cursor.y() + 1);
        grid->addWidget(widget, cursor.y(), cursor.x(), ::Qt::AlignLeft | ::Qt::AlignVCenter);
        cursor.rx() += 1;
        grid->setColumnStretch(cursor.x(), 1);
        return;
    }
    if (dynamic_cast<TDialogButtons*>(&control))
        column_->addWidget(widget);
    else if (dynamic_cast<TStatusPane*>(&control))
        statusBar_->addWidget(widget, 1);
    else if (dynamic_cast<TProgressPane*>(&control))
        statusBar_->addWidget(widget);
    else
        panel_->addWidget(widget);
}

void TQtSession::Build() {
    dialog_ = new TDialogWindow(owner_, [this] { RequestClose(); });
    dialog_->setObjectName(QStringLiteral("form"));
    dialog_->setFont(DialogFont(dialog_->font()));
    dialog_->setWindowTitle(ToQ(form_.Caption()));
    dialog_->setWindowModality(::Qt::ApplicationModal);
    // The host window may be disabled while a dialog is up; its dialog is not.
    dialog_->setEnabled(true);

    auto* root = new QVBoxLayout(dialog_);
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
    auto* status = new QWidget(dialog_);
    status->setFixedHeight(20);
    statusBar_ = new QHBoxLayout(status);
    statusBar_->setContentsMargins(2, 2, 2, 2);
    statusBar_->setSpacing(2);
    root->addWidget(status);

    const std::vector<TControl*> controls = form_.Controls();
    // Groups first, so that their children find them whatever the order;
    // each takes its place in the order of the controls.
    for (TControl* control : controls)
        if (dynamic_cast<TGroupBox*>(control) && !control->Parent()) Create(*control, dialog_);
    for (TControl* control : controls) {
        if (dynamic_cast<TGroupBox*>(control) && !control->Parent()) {
            Place(*control, widgets_.value(control));
            continue;
        }
        // The memo fills what is left at the foot of the panel.
        if (dynamic_cast<TMemo*>(control) && !control->Parent()) {
            memos_.push_back(control);
            continue;
        }
        QWidget* parent = dialog_;
        if (control->Parent() && groupGrids_.contains(control->Parent()))
            parent = static_cast<TCaptionGroup*>(widgets_.value(control->Parent()))->Body();
        Place(*control, Create(*control, parent));
    }
    for (TControl* memo : memos_)
        panel_->addWidget(Create(*memo, dialog_), 1);
    if (memos_.empty()) panel_->addStretch(1);
    if (column_->count()) {
        column_->addStretch(1);
        auto* logo = new QLabel(dialog_);
        logo->setObjectName(QStringLiteral("imgLogo"));
        logo->setPixmap(LogoPicture(72));
        logo->setAlignment(::Qt::AlignHCenter | ::Qt::AlignBottom);
        column_->addWidget(logo);
    }
    if (statusBar_->count() == 0) status->hide();

    for (auto& binding : bindings_)
        binding->Sync(TChange{});
    if (form_.ClientWidth() > 0 && form_.ClientHeight() > 0)
        dialog_->setFixedSize(form_.ClientWidth(), form_.ClientHeight());
    FitItemGrids();
    if (form_.ClientWidth() <= 0 || form_.ClientHeight() <= 0) dialog_->adjustSize();
}

// --- the modal loop ------------------------------------------------------------

void TQtSession::Run() {
    Build();
    dialog_->show();
    dialog_->activateWindow();
    QCoreApplication::processEvents();
    Act(nullptr, [this] { form_.FormActivate(); });
    if (finished_) return;
    if (QWidget* active = widgets_.value(form_.ActiveControl()))
        active->setFocus(::Qt::OtherFocusReason);
    QCoreApplication::processEvents();
    const QString script = InvokeHost("dialogShown");
    if (finished_) return;
    if (!script.isEmpty()) return PlayScript(FromQ(script));
    loop_.exec(QEventLoop::DialogExec);
}

void TQtSession::PlayScript(const std::string& path) {
    script_ = std::make_unique<std::ifstream>(path);
    if (!*script_) {
        std::cerr << "Error: cannot read actions file '" << path << "'" << std::endl;
        script_.reset();
        form_.SetModalResult(mrCancel);
        TryFinish();
        return;
    }
    std::string line;
    while (!finished_) {
        if (!std::getline(*script_, line)) {
            // The end of the actions closes the dialog, as the console does.
            RequestClose();
            if (!finished_) {
                std::cerr << "line " << line_
                          << ": end of input: the dialog refused to close and was closed anyway"
                          << std::endl;
                Finish();
            }
            break;
        }
        ++line_;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        Act(nullptr, [this, &line] {
            PerformAction(
                form_, line,
                [this](std::string_view message) { Refused(nullptr, std::string(message)); },
                [this](const std::exception& error) { driver_.ShowException(form_, error); });
        });
        QCoreApplication::processEvents();
    }
}

std::optional<std::string> TQtSession::ScriptAnswer() {
    std::string line;
    if (!script_ || !std::getline(*script_, line)) return std::nullopt;
    ++line_;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    std::size_t start = 0;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t'))
        ++start;
    if (start == line.size()) return std::nullopt;
    return line.substr(start);
}

// --- the driver ------------------------------------------------------------------

TQtModalDriver::TQtModalDriver(QWidget* owner) : impl_(std::make_unique<TImpl>()) {
    impl_->Owner = owner;
}

TQtModalDriver::TQtModalDriver(std::uint32_t hostHandle) : impl_(std::make_unique<TImpl>()) {
    impl_->HostHandle = hostHandle;
}

TQtModalDriver::~TQtModalDriver() {
    while (impl_->BusyDepth > 0) {
        QApplication::restoreOverrideCursor();
        --impl_->BusyDepth;
    }
}

bool TQtModalDriver::Available() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

QWidget* TQtModalDriver::FindHostWindow(std::uint32_t handle) {
    if (!Available() || handle == 0) return nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        const QVariant value = window->property(HostHandleProperty);
        if (value.isValid() && value.toULongLong() == handle) return window;
    }
    return nullptr;
}

void TQtModalDriver::RunModal(TForm& form) {
    if (!Available())
        throw EInvalidOperation("No graphical application to show '" + form.Caption() + "'");
    QWidget* owner = impl_->Owner;
    if (!owner && impl_->HostHandle) owner = FindHostWindow(*impl_->HostHandle);
    const int busyBefore = impl_->BusyDepth;
    TQtSession session(*this, form, owner);
    impl_->Sessions.push_back(&session);
    struct TPop {
        TImpl& impl;
        int busyBefore;
        ~TPop() {
            impl.Sessions.pop_back();
            // A busy cursor left on by the dialog does not outlive it.
            while (impl.BusyDepth > busyBefore) {
                QApplication::restoreOverrideCursor();
                --impl.BusyDepth;
            }
        }
    } pop{*impl_, busyBefore};
    session.Run();
}

void TQtModalDriver::ProcessMessages(TForm&) {
    // A run calls this for every record; drawing the window each time would
    // cost more than the record. The window catches up at most every frame,
    // and at once when the run has been quiet for a frame.
    const auto now = std::chrono::steady_clock::now();
    if (now - impl_->LastPump < PumpInterval) return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    impl_->LastPump = std::chrono::steady_clock::now();
}

std::optional<std::string> TQtModalDriver::ExecuteFileDialog(TForm& owner,
                                                             const TFileDialog& dialog) {
    TQtSession* session = impl_->Find(owner);
    if (session && session->Scripted()) return session->ScriptAnswer();
    QWidget* parent = session ? session->Window() : impl_->Owner.data();
    QFileDialog chooser(parent, ToQ(dialog.Title));
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setAcceptMode(dialog.IsSaveDialog() ? QFileDialog::AcceptSave
                                                : QFileDialog::AcceptOpen);
    chooser.setFileMode(dialog.IsSaveDialog() ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QStringList filters;
    for (const auto& [description, pattern] : dialog.FilterPairs()) {
        QString patterns = ToQ(pattern);
        patterns.replace(u';', u' ');
        filters << ToQ(description) + QStringLiteral(" (") + patterns + u')';
    }
    if (!filters.isEmpty()) {
        chooser.setNameFilters(filters);
        const int index = std::clamp(dialog.FilterIndex, 1, int(filters.size())) - 1;
        chooser.selectNameFilter(filters[index]);
    }
    if (!dialog.InitialDir.empty()) chooser.setDirectory(ToQ(dialog.InitialDir));
    if (!dialog.FileName.empty()) chooser.selectFile(ToQ(dialog.FileName));
    QString suffix = ToQ(dialog.DefaultExt);
    if (suffix.startsWith(u'.')) suffix.remove(0, 1);
    chooser.setDefaultSuffix(suffix);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return std::nullopt;
    return FromQ(chooser.selectedFiles().front());
}

void TQtModalDriver::ShowException(TForm& form, const std::exception& error) {
    // A silent exception ends an action without a message.
    if (dynamic_cast<const EAbort*>(&error)) return;
    TQtSession* session = impl_->Find(form);
    if (!session || session->Scripted() || !Available()) {
        std::cerr << "Error: " << error.what() << std::endl;
        return;
    }
    QString text = QString::fromUtf8(error.what());
    if (!text.isEmpty() && !text.endsWith(u'.')) text += u'.';
    QString title = QApplication::applicationDisplayName();
    if (title.isEmpty()) title = ToQ(form.Caption());
    QMessageBox::critical(session->Window(), title, text);
}

void TQtModalDriver::BusyChanged(TForm&, bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(::Qt::WaitCursor);
        ++impl_->BusyDepth;
    } else if (impl_->BusyDepth > 0) {
        QApplication::restoreOverrideCursor();
        --impl_->BusyDepth;
    }
}

} // namespace Forms
