#include "Platform/Forms/ConsoleDriver.h"

#include <unistd.h>

#include <charconv>
#include <functional>
#include <iostream>
#include <vector>

#include "Platform/Forms/ConsoleTarget.h"
#include "Platform/Forms/FileDialogs.h"
#include "Platform/Forms/Panes.h"
#include "Platform/SysUtils/AsciiCase.h"

namespace Forms {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

std::string_view Trim(std::string_view text)
{
    text = TrimLeft(text);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The first word of text; text keeps what follows it, leading blanks removed.
std::string_view TakeWord(std::string_view& text)
{
    text = TrimLeft(text);
    std::size_t end = 0;
    while (end < text.size() && !IsBlank(text[end]))
        ++end;
    const std::string_view word = text.substr(0, end);
    text = TrimLeft(text.substr(end));
    return word;
}

// An item by caption, else by index; -1 when neither.
int FindItem(const std::vector<std::string>& captions, std::string_view text)
{
    const int byCaption = FindCaption(captions, text);
    if (byCaption >= 0) return byCaption;
    int index = -1;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), index);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) return -1;
    return (index >= 0 && index < int(captions.size())) ? index : -1;
}

} // namespace

TConsoleDriver::TConsoleDriver() : TConsoleDriver(std::cin, std::cout, std::cerr)
{
    interactive_ = isatty(STDIN_FILENO) == 1;
    progressBar_ = isatty(STDERR_FILENO) == 1;
}

TConsoleDriver::TConsoleDriver(std::istream& in, std::ostream& out, std::ostream& err)
    : reader_(in), out_(out), err_(err)
{
}

TConsoleDriver::TConsoleDriver(const std::string& actionsFile, std::ostream& out, std::ostream& err)
    : reader_(actionsFile), out_(out), err_(err)
{
}

TConsoleDriver::~TConsoleDriver() = default;

void TConsoleDriver::RunModal(TForm& form)
{
    // Watch the memos and progress panes while the form is up.
    std::vector<std::pair<TControl*, int>> watched;
    for (TControl* control : form.Controls()) {
        const TConsoleOutput output = ConsoleTarget(*control).Output;
        if (output == TConsoleOutput::Memo)
            watched.emplace_back(
                control, control->AddObserver([this](TControl&, const TChange& change) { MemoChanged(change); }));
        else if (output == TConsoleOutput::Progress)
            watched.emplace_back(control, control->AddObserver([this](TControl& pane, const TChange&) {
                DrawProgress(static_cast<const TProgressPane&>(pane));
            }));
    }
    struct Unwatch {
        TConsoleDriver& driver;
        std::vector<std::pair<TControl*, int>>& watched;
        ~Unwatch()
        {
            for (auto& [control, id] : watched)
                control->RemoveObserver(id);
            driver.HideProgress();
            driver.barPercent_ = -1;
            if (!driver.outAtLineStart_) {
                driver.out_ << '\n';
                driver.outAtLineStart_ = true;
            }
            driver.out_.flush();
        }
    } unwatch{*this, watched};

    try {
        form.FormActivate();
    } catch (const std::exception& error) {
        ShowException(form, error);
    }
    for (;;) {
        if (form.ModalResult() != mrNone) {
            if (TryClose(form)) return;
            continue;
        }
        if (interactive_) {
            HideProgress();
            DescribeForm(form, err_);
            err_ << "> " << std::flush;
        }
        std::string line;
        if (!reader_.ReadLine(line)) {
            form.Close();
            if (!TryClose(form)) {
                Report("end of input: the dialog refused to close and was closed anyway");
                form.SetModalResult(mrCancel);
            }
            return;
        }
        Perform(form, line);
    }
}

bool TConsoleDriver::TryClose(TForm& form)
{
    try {
        return form.CloseModal();
    } catch (const std::exception& error) {
        // The close goes ahead: nothing left for a user to do about it.
        ShowException(form, error);
        return true;
    }
}

namespace {

void Set(TForm& form, std::string_view name, std::string_view text, const TActionReport& report)
{
    TControl* control = form.FindControl(name);
    if (!control) return report("no control named '" + std::string(name) + "'");
    const TConsoleTarget target = ConsoleTarget(*control);
    if (!target.Set)
        return report("'" + control->Name() + "' is a " + control->Kind() +
                      ": 'set' takes an edit, date edit, spin edit or memo");
    target.Set(text);
}

void Select(TForm& form, std::string_view name, std::string_view item, const TActionReport& report)
{
    TControl* control = form.FindControl(name);
    if (!control) return report("no control named '" + std::string(name) + "'");
    const TConsoleTarget target = ConsoleTarget(*control);
    if (!target.Select)
        return report("'" + control->Name() + "' is a " + control->Kind() +
                      ": 'select' takes a combo box or radio group");
    const int index = FindItem(*target.Choices, item);
    if (index < 0) return report("no item '" + std::string(item) + "' in '" + control->Name() + "'");
    target.Select(index);
}

void Check(TForm& form, std::string_view name, std::string_view item, bool checked, const TActionReport& report)
{
    TControl* control = form.FindControl(name);
    if (!control) return report("no control named '" + std::string(name) + "'");
    const TConsoleTarget target = ConsoleTarget(*control);
    if (target.CheckAlone) {
        if (!item.empty()) return report("'" + control->Name() + "' is a check box: name it alone");
        return target.CheckAlone(checked);
    }
    if (!target.CheckItem)
        return report("'" + control->Name() + "' is a " + control->Kind() +
                      ": 'check' takes a check group item or a check box");
    if (item.empty()) return report("name an item of '" + control->Name() + "'");
    const int index = FindItem(target.CheckItems, item);
    if (index < 0) return report("no item '" + std::string(item) + "' in '" + control->Name() + "'");
    target.CheckItem(index, checked);
}

void Click(TForm& form, std::string_view target, const TActionReport& report)
{
    if (target.empty()) return report("'click' needs a button caption or name");
    // NAME.PART: a button that belongs to a control.
    if (const std::size_t dot = target.rfind('.'); dot != std::string_view::npos) {
        if (TControl* control = form.FindControl(target.substr(0, dot))) {
            const std::string part = AsciiLower(target.substr(dot + 1));
            for (const TConsoleButton& button : ConsoleTarget(*control).Buttons)
                for (std::string_view name : button.Parts)
                    if (name == part) return button.Click();
            return report("'" + control->Name() + "' has no button '" + std::string(target.substr(dot + 1)) + "'");
        }
    }
    // A control by name.
    if (TControl* control = form.FindControl(target))
        if (const TConsoleTarget named = ConsoleTarget(*control); named.Click) return named.Click(report);
    // A button by caption; the first usable one when several match.
    std::vector<TConsoleButton> buttons;
    for (TControl* control : form.Controls())
        for (TConsoleButton& button : ConsoleTarget(*control).Buttons)
            buttons.push_back(std::move(button));
    const TConsoleButton* chosen = nullptr;
    for (int pass = 0; pass < 2 && !chosen; ++pass)
        for (const TConsoleButton& button : buttons) {
            const std::string caption = StripAccelerator(button.Caption);
            const bool match = pass == 0 ? caption == target : SameTextAscii(caption, target);
            if (!match || button.Caption.empty()) continue;
            if (!chosen || (!chosen->Usable && button.Usable)) chosen = &button;
        }
    if (!chosen) return report("no button or control '" + std::string(target) + "'");
    chosen->Click();
}

} // namespace

void PerformAction(TForm& form, std::string_view line, const TActionReport& report, const TActionError& showException)
{
    std::string_view rest = TrimLeft(line);
    if (rest.empty() || rest.front() == '#') return;
    const std::string verb = AsciiLower(TakeWord(rest));
    try {
        if (verb == "close") {
            form.Close();
        } else if (verb == "click") {
            Click(form, Trim(rest), report);
        } else if (verb == "set" || verb == "select" || verb == "check" || verb == "uncheck") {
            const std::string_view name = TakeWord(rest);
            if (name.empty()) return report("'" + verb + "' needs the name of a control");
            if (verb == "set")
                Set(form, name, rest, report);
            else if (verb == "select")
                Select(form, name, Trim(rest), report);
            else
                Check(form, name, Trim(rest), verb == "check", report);
        } else {
            report("unknown action '" + verb + "' (set, select, check, uncheck, click or close)");
        }
    } catch (const EUserRefused& refused) {
        report(refused.Message());
    } catch (const std::exception& error) {
        showException(error);
    }
}

void TConsoleDriver::Perform(TForm& form, std::string_view line)
{
    PerformAction(
        form, line, [this](std::string_view message) { Report(message); },
        [this, &form](const std::exception& error) { ShowException(form, error); });
}

void TConsoleDriver::ProcessMessages(TForm&)
{
    out_.flush();
    err_.flush();
}

std::optional<std::string> TConsoleDriver::ExecuteFileDialog(TForm&, const TFileDialog& dialog)
{
    if (interactive_) {
        HideProgress();
        err_ << (dialog.IsSaveDialog() ? "Save file" : "Open file");
        if (!dialog.Title.empty()) err_ << ": " << dialog.Title;
        err_ << '\n';
        if (!dialog.InitialDir.empty()) err_ << "  folder: " << dialog.InitialDir << '\n';
        if (!dialog.FileName.empty()) err_ << "  proposed name: " << dialog.FileName << '\n';
        for (const auto& [description, pattern] : dialog.FilterPairs())
            err_ << "  filter: " << description << " (" << pattern << ")\n";
        err_ << "path (empty line cancels)> " << std::flush;
    }
    return reader_.ReadAnswer();
}

void TConsoleDriver::ShowException(TForm&, const std::exception& error)
{
    // A silent exception ends an action without a message.
    if (dynamic_cast<const EAbort*>(&error)) return;
    ++errorsShown_;
    WriteError(std::string("Error: ") + error.what() + "\n");
}

void TConsoleDriver::BusyChanged(TForm&, bool) {}

void TConsoleDriver::Report(std::string_view message)
{
    ++refusedActions_;
    WriteError("line " + std::to_string(reader_.LineNumber()) + ": " + std::string(message) + "\n");
}

void TConsoleDriver::WriteError(std::string_view text)
{
    HideProgress();
    out_.flush();
    err_ << text << std::flush;
}

void TConsoleDriver::MemoChanged(const TChange& change)
{
    if (change.Kind == TChangeKind::Append) return WriteMemo(change.Text);
    if (change.Kind != TChangeKind::Reset) return;
    // New text: start it on a fresh line.
    if (pendingCR_) WriteMemo("");
    if (!outAtLineStart_) {
        HideProgress();
        out_ << '\n';
        outAtLineStart_ = true;
    }
    WriteMemo(change.Text);
}

void TConsoleDriver::WriteMemo(std::string_view piece)
{
    // CR LF becomes LF; a CR at the end of a piece waits for the next one.
    std::string text;
    if (pendingCR_ && (piece.empty() || piece.front() != '\n')) text += '\r';
    pendingCR_ = false;
    for (std::size_t i = 0; i < piece.size(); ++i) {
        if (piece[i] == '\r') {
            if (i + 1 == piece.size()) {
                pendingCR_ = true;
                continue;
            }
            if (piece[i + 1] == '\n') continue;
        }
        text += piece[i];
    }
    if (text.empty()) return;
    HideProgress();
    out_ << text << std::flush;
    outAtLineStart_ = text.back() == '\n';
    PaintBar();
}

void TConsoleDriver::DrawProgress(const TProgressPane& pane)
{
    if (!progressBar_) return;
    if (barShown_ && pane.Percent() == barPercent_ && pane.Segments() == barSegments_) return;
    barPercent_ = pane.Percent();
    barSegments_ = pane.Segments();
    PaintBar();
}

void TConsoleDriver::PaintBar()
{
    // Only below complete output lines; an open memo line waits for its end.
    if (!progressBar_ || barPercent_ < 0 || !outAtLineStart_) return;
    const int filled = barPercent_ * barSegments_ / 100;
    err_ << "\r[" << std::string(filled, '#') << std::string(barSegments_ - filled, '-') << "] " << barPercent_
         << "%\033[K" << std::flush;
    barShown_ = true;
}

void TConsoleDriver::HideProgress()
{
    if (!barShown_) return;
    err_ << "\r\033[K" << std::flush;
    barShown_ = false;
}

} // namespace Forms
