// The console modal driver: reads the user's actions one per line, streams
// the memos to the output and reports refusals and errors on the error
// stream, so a dialog can be used from a terminal, a pipe or a script.
//
//   set NAME TEXT                 text of an edit, button edit, date edit
//                                 (empty = no date), spin edit or memo
//   select NAME ITEM|INDEX        combo box or radio group
//   check NAME ITEM|INDEX         check-group item; a check box by name alone
//   uncheck NAME ITEM|INDEX
//   click CAPTION|NAME|NAME.PART  a button by caption or name; PART is
//                                 button, altbtn, ok or cancel
//   close                         closes the dialog (so does end of input)
//   # comment                     blank lines are ignored as well
//
// A file dialog opened by an action takes the next line as the chosen path
// (an empty line cancels it).
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

#include "Platform/Forms/ActionReader.h"
#include "Platform/Forms/Form.h"

namespace Forms {

class TProgressPane;

class TConsoleDriver : public IModalDriver {
public:
    // Standard input, output and error; interactive when standard input is
    // a terminal, progress bar when standard error is one.
    TConsoleDriver();
    TConsoleDriver(std::istream& in, std::ostream& out, std::ostream& err);
    // Actions from a file (EFOpenError when it cannot be read).
    TConsoleDriver(const std::string& actionsFile, std::ostream& out, std::ostream& err);
    ~TConsoleDriver() override;

    // Interactive: the form's state and a prompt before each action.
    bool Interactive() const { return interactive_; }
    void SetInteractive(bool interactive) { interactive_ = interactive; }
    // The progress pane drawn as a bar on the error stream.
    bool ProgressBar() const { return progressBar_; }
    void SetProgressBar(bool progressBar) { progressBar_ = progressBar; }
    // Lines read so far.
    int LineNumber() const { return reader_.LineNumber(); }
    // Action lines refused (named nothing, not understood, refused by their
    // control) and error messages shown, since the driver was made.
    int RefusedActions() const { return refusedActions_; }
    int ErrorsShown() const { return errorsShown_; }

    void RunModal(TForm& form) override;
    void ProcessMessages(TForm& form) override;
    std::optional<std::string> ExecuteFileDialog(TForm& owner, const TFileDialog& dialog) override;
    void ShowException(TForm& form, const std::exception& error) override;
    void BusyChanged(TForm& form, bool busy) override;

private:
    void Perform(TForm& form, std::string_view line);
    bool TryClose(TForm& form);
    void Report(std::string_view message);
    void WriteError(std::string_view text);
    void MemoChanged(const TChange& change);
    void WriteMemo(std::string_view piece);
    void DrawProgress(const TProgressPane& pane);
    void PaintBar();
    void HideProgress();

    TActionReader reader_;
    std::ostream& out_;
    std::ostream& err_;
    bool interactive_ = false;
    bool progressBar_ = false;
    int refusedActions_ = 0;
    int errorsShown_ = 0;
    bool outAtLineStart_ = true;
    bool pendingCR_ = false;
    bool barShown_ = false;
    int barPercent_ = -1;
    int barSegments_ = 20;
};

// One line of the action language above, performed on form as a user would
// ("close" only asks the form to close: the driver's loop ends it). Blank
// lines and comments do nothing. A line that names nothing, is not
// understood or is refused by its control goes to report; an exception a
// handler lets escape goes to showException. A file dialog opened by the
// action asks the form's driver as usual.
using TActionReport = std::function<void(std::string_view message)>;
using TActionError = std::function<void(const std::exception& error)>;
void PerformAction(TForm& form, std::string_view line, const TActionReport& report, const TActionError& showException);

// The form's controls and their state as text, one control a line.
void DescribeForm(const TForm& form, std::ostream& out);

} // namespace Forms
