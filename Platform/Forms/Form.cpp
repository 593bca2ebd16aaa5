#include "Platform/Forms/Form.h"

#include "Platform/Forms/ConsoleDriver.h"
#include "Platform/SysUtils/AsciiCase.h"

namespace Forms {

namespace {

IModalDriver* defaultDriver = nullptr;

} // namespace

TForm::TForm() = default;

TForm::~TForm()
{
    // Controls normally die first (members of the derived form); any left
    // over must not reach back into a destroyed form.
    for (TControl* control : controls_)
        control->Orphan();
}

int TForm::Register(TControl& control)
{
    if (!control.Name().empty())
        for (const TControl* other : controls_)
            if (other->Name() == control.Name())
                throw EComponentError("A component named " + control.Name() + " already exists");
    controls_.push_back(&control);
    return nextTabOrder_++;
}

void TForm::Unregister(TControl& control)
{
    std::erase(controls_, &control);
    if (activeControl_ == &control) activeControl_ = nullptr;
}

TControl* TForm::FindControl(std::string_view name) const
{
    if (name.empty()) return nullptr;
    for (TControl* control : controls_)
        if (control->Name() == name) return control;
    for (TControl* control : controls_)
        if (SameTextAscii(control->Name(), name)) return control;
    return nullptr;
}

void TForm::DoCreate()
{
    if (created_) return;
    created_ = true;
    FormCreate();
}

void TForm::Close()
{
    if (modalResult_ == mrNone) modalResult_ = mrCancel;
}

TModalResult TForm::ShowModal()
{
    if (modal_) throw EInvalidOperation("Cannot make a visible window modal");
    DoCreate();
    modalResult_ = mrNone;
    modal_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{modal_};
    Driver().RunModal(*this);
    if (modalResult_ == mrNone) modalResult_ = mrCancel;
    return modalResult_;
}

void TForm::ProcessMessages()
{
    if (modal_) Driver().ProcessMessages(*this);
}

bool TForm::CloseModal()
{
    TCloseAction action = TCloseAction::caHide;
    FormClose(action);
    if (action == TCloseAction::caNone) {
        modalResult_ = mrNone;
        return false;
    }
    return true;
}

void TForm::HandleException(const std::exception& error)
{
    Driver().ShowException(*this, error);
}

IModalDriver& TForm::Driver() const
{
    return driver_ ? *driver_ : DefaultDriver();
}

IModalDriver& TForm::DefaultDriver()
{
    if (defaultDriver) return *defaultDriver;
    static TConsoleDriver console;
    return console;
}

void TForm::SetDefaultDriver(IModalDriver* driver)
{
    defaultDriver = driver;
}

TBusyCursor::TBusyCursor(TForm& form) : form_(form)
{
    if (form_.busyDepth_++ == 0 && form_.Modal()) form_.Driver().BusyChanged(form_, true);
}

TBusyCursor::~TBusyCursor()
{
    if (--form_.busyDepth_ == 0 && form_.Modal()) {
        try {
            form_.Driver().BusyChanged(form_, false);
        } catch (...) {
            // A destructor must not throw; the cursor state is cosmetic.
        }
    }
}

} // namespace Forms
