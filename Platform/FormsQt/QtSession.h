// One shown form: its window laid out from the controls, the modal loop and,
// when the host asks for it, the script that plays the user.
#pragma once

#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QHash>
#include <QPoint>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Platform/Forms/ActionReader.h"
#include "Platform/Forms/Form.h"
#include "Platform/FormsQt/QtBindings.h"

class QHBoxLayout;
class QVBoxLayout;

namespace Forms::Gui {

// The dialog's window: closing it asks the form.
class TDialogWindow : public QDialog {
public:
    TDialogWindow(QWidget* parent, std::function<void()> closeRequest)
        : QDialog(parent), closeRequest_(std::move(closeRequest))
    {
    }
    void reject() override { closeRequest_(); }

protected:
    // The form decides whether it closes.
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        closeRequest_();
    }

private:
    std::function<void()> closeRequest_;
};

class TQtSession {
public:
    TQtSession(IModalDriver& driver, TForm& form, QWidget* owner);
    ~TQtSession();
    TQtSession(const TQtSession&) = delete;
    TQtSession& operator=(const TQtSession&) = delete;

    TForm& Form() const { return form_; }
    QWidget* Window() const { return dialog_.get(); }
    bool Scripted() const { return script_ != nullptr; }

    void Run();
    // A file dialog's answer from the script: the next line, nothing for
    // an empty line or the end.
    std::optional<std::string> ScriptAnswer();

private:
    // The layout (QtLayout.cpp).
    void Build();
    void Place(TControl& control, QWidget* widget);
    void FitItemGrids();

    void PlayScript(const std::string& path);
    // Runs what a person did: refusals are shown, exceptions go to the
    // standard error message, and a close request takes effect once no
    // handler is running any more.
    void Act(TControl* source, const std::function<void()>& action);
    void Refused(TControl* source, const std::string& message);
    void RequestClose();
    void TryFinish();
    void Finish();
    QString InvokeHost(const char* method);

    IModalDriver& driver_;
    TForm& form_;
    QPointer<QWidget> owner_;
    // Deleted once the bindings have stopped observing the controls.
    std::unique_ptr<TDialogWindow> dialog_;
    QVBoxLayout* panel_ = nullptr;
    QVBoxLayout* column_ = nullptr;
    QHBoxLayout* statusBar_ = nullptr;
    TBindings bindings_;
    QHash<const TControl*, QPoint> groupCursor_; // next row (y) and column (x)
    std::vector<TControl*> memos_;
    int depth_ = 0;
    bool finished_ = false;
    QEventLoop loop_;
    std::unique_ptr<TActionReader> script_;
};

} // namespace Forms::Gui
