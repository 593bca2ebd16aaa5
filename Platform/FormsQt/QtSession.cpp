#include "Platform/FormsQt/QtSession.h"

#include <QCoreApplication>
#include <QMetaMethod>
#include <QMetaObject>
#include <QToolTip>

#include <iostream>

#include "Platform/Forms/ConsoleDriver.h"
#include "Platform/FormsQt/QtText.h"

namespace Forms::Gui {

TQtSession::TQtSession(IModalDriver& driver, TForm& form, QWidget* owner)
    : driver_(driver), form_(form), owner_(owner),
      bindings_([this](TControl* source, const std::function<void()>& action) { Act(source, action); })
{
}

TQtSession::~TQtSession() = default;

// --- what a person does ---------------------------------------------------------

void TQtSession::Refused(TControl* source, const std::string& message)
{
    QWidget* widget = source ? bindings_.Widget(source) : nullptr;
    if (!widget) widget = dialog_.get();
    if (Scripted()) {
        std::cerr << "line " << script_->LineNumber() << ": " << message << std::endl;
        return;
    }
    QToolTip::showText(widget->mapToGlobal(QPoint(0, widget->height())), ToQ(message), widget);
}

void TQtSession::Act(TControl* source, const std::function<void()>& action)
{
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
    if (source) bindings_.Sync(source);
    TryFinish();
}

void TQtSession::RequestClose()
{
    Act(nullptr, [this] { form_.Close(); });
}

void TQtSession::TryFinish()
{
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

void TQtSession::Finish()
{
    finished_ = true;
    InvokeHost("dialogClosing");
    if (loop_.isRunning()) loop_.quit();
}

QString TQtSession::InvokeHost(const char* method)
{
    QString answer;
    if (!owner_ || !dialog_) return answer;
    const QMetaObject* meta = owner_->metaObject();
    const QByteArray signature = QByteArray(method) + "(QWidget*)";
    const int index = meta->indexOfMethod(signature.constData());
    if (index < 0) return answer;
    const QMetaMethod invoked = meta->method(index);
    QWidget* dialog = dialog_.get();
    if (invoked.returnType() == QMetaType::QString)
        invoked.invoke(owner_, ::Qt::DirectConnection, Q_RETURN_ARG(QString, answer), Q_ARG(QWidget*, dialog));
    else
        invoked.invoke(owner_, ::Qt::DirectConnection, Q_ARG(QWidget*, dialog));
    return answer;
}

// --- the modal loop ------------------------------------------------------------

void TQtSession::Run()
{
    Build();
    dialog_->show();
    dialog_->activateWindow();
    QCoreApplication::processEvents();
    Act(nullptr, [this] { form_.FormActivate(); });
    if (finished_) return;
    if (QWidget* active = bindings_.Widget(form_.ActiveControl())) active->setFocus(::Qt::OtherFocusReason);
    QCoreApplication::processEvents();
    const QString script = InvokeHost("dialogShown");
    if (finished_) return;
    if (!script.isEmpty()) return PlayScript(FromQ(script));
    loop_.exec(QEventLoop::DialogExec);
}

void TQtSession::PlayScript(const std::string& path)
{
    try {
        script_ = std::make_unique<TActionReader>(path);
    } catch (const EFOpenError&) {
        std::cerr << "Error: cannot read actions file '" << path << "'" << std::endl;
        form_.SetModalResult(mrCancel);
        TryFinish();
        return;
    }
    std::string line;
    while (!finished_) {
        if (!script_->ReadLine(line)) {
            // The end of the actions closes the dialog, as the console does.
            RequestClose();
            if (!finished_) {
                std::cerr << "line " << script_->LineNumber()
                          << ": end of input: the dialog refused to close and was closed anyway" << std::endl;
                Finish();
            }
            break;
        }
        Act(nullptr, [this, &line] {
            PerformAction(
                form_, line, [this](std::string_view message) { Refused(nullptr, std::string(message)); },
                [this](const std::exception& error) { driver_.ShowException(form_, error); });
        });
        QCoreApplication::processEvents();
    }
}

std::optional<std::string> TQtSession::ScriptAnswer()
{
    return script_ ? script_->ReadAnswer() : std::nullopt;
}

} // namespace Forms::Gui
