#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "Platform/Forms/Forms.h"
#include "tests/Platform/Forms/TestForm.h"

using namespace Forms;
using FormsTesting::TTestForm;

namespace {

struct TRun {
    std::ostringstream out, err;
    TModalResult result = mrNone;
};

TRun Drive(TTestForm& form, const std::string& script)
{
    TRun run;
    std::istringstream in(script);
    TConsoleDriver driver(in, run.out, run.err);
    form.SetDriver(&driver);
    run.result = form.ShowModal();
    form.SetDriver(nullptr);
    return run;
}

TEST(ConsoleDriver, ScriptedActionsChangeControlsAndFireHandlers)
{
    TTestForm form;
    const TRun run = Drive(form, "# a comment, then a blank line\n"
                                 "\n"
                                 "set edSource http://example.org/db.zip\n"
                                 "select cbMode only new\n"
                                 "select rgLocation 1\n"
                                 "check cgFields QSL via\n"
                                 "check cgFields 1\n"
                                 "uncheck cgFields name\n"
                                 "check cbZip\n"
                                 "set dtMin 2024-02-29\n"
                                 "click bteMin.altbtn\n"
                                 "set seDelta 5\n"
                                 "click Run\n"
                                 "close\n"
                                 "set edSource never read\n");
    EXPECT_EQ(run.err.str(), "");
    EXPECT_EQ(run.result, mrCancel);
    EXPECT_EQ(form.edSource.Text(), "http://example.org/db.zip");
    EXPECT_EQ(form.cbMode.ItemIndex(), 1);
    EXPECT_EQ(form.rgLocation.ItemIndex(), 1);
    EXPECT_TRUE(form.cgFields.ItemChecked("QSL via"));
    EXPECT_FALSE(form.cgFields.ItemChecked(1));
    EXPECT_TRUE(form.cbZip.Checked());
    EXPECT_EQ(form.dtMin.Text(), "2023-02-28");
    EXPECT_EQ(form.seDelta.Value(), 5);
    EXPECT_FALSE(form.Busy());
    const std::vector<std::string> expected{"create",
                                            "activate",
                                            "edSource=http://example.org/db.zip",
                                            "cbMode=only new",
                                            "rgLocation->1",
                                            "cgFields[2]=1",
                                            "cgFields[1]=1",
                                            "cgFields[1]=0",
                                            "cbZip=1",
                                            "dtMin=2024-02-29",
                                            "dtMin=2023-02-28",
                                            "seDelta=5",
                                            "run",
                                            "close"};
    EXPECT_EQ(form.log, expected);
}

TEST(ConsoleDriver, FileDialogTakesTheNextLineAndAnEmptyLineCancels)
{
    TTestForm form;
    const TRun run = Drive(form,
                           "click edSource.button\n"
                           "update\n" // relative: taken from InitialDir, extension added
                           "click edSource.button\n"
                           "\n" // cancelled
                           "click edSource.button\n"
                           "/tmp/other.mdb\n"
                           "set nothing here\n");
    EXPECT_EQ(form.log[2], "edSource=/data/update.zip");
    EXPECT_EQ(form.edSource.Text(), "/tmp/other.mdb");
    // Line numbers count the answers too.
    EXPECT_EQ(run.err.str(), "line 7: no control named 'nothing'\n");
}

TEST(ConsoleDriver, RefusalsAndUnknownNamesAreReportedAndTheRunGoesOn)
{
    TTestForm form;
    form.dbtRun.Ok().SetEnabled(false);
    form.cgFields.SetItemEnabled("Grid", false);
    form.rgLocation.SetItemEnabled(1, false);
    const TRun run = Drive(form, "set edFoo x\n"
                                 "set edRefDB /elsewhere\n"
                                 "uncheck cgFields Callsign\n"
                                 "check cgFields Grid\n"
                                 "check cgFields Locator\n"
                                 "select cbMode 7\n"
                                 "select rgLocation Local data file\n"
                                 "click Run\n"
                                 "set dtMin 31.02.2024\n"
                                 "set seDelta 12\n"
                                 "frobnicate cbMode\n"
                                 "select cgFields 1\n"
                                 "click Nowhere\n"
                                 "set edSource still usable\n");
    EXPECT_EQ(run.err.str(), "line 1: no control named 'edFoo'\n"
                             "line 2: 'edRefDB' is read-only\n"
                             "line 3: item 'Callsign' of 'cgFields' is locked\n"
                             "line 4: item 'Grid' of 'cgFields' is disabled\n"
                             "line 5: no item 'Locator' in 'cgFields'\n"
                             "line 6: no item '7' in 'cbMode'\n"
                             "line 7: item 'Local data file' of 'rgLocation' is disabled\n"
                             "line 8: button 'Run' is disabled\n"
                             "line 9: '31.02.2024' is not a valid date\n"
                             "line 10: 12 is out of range 0..9 of 'seDelta'\n"
                             "line 11: unknown action 'frobnicate' (set, select, check, uncheck, click or close)\n"
                             "line 12: 'cgFields' is a check group: 'select' takes a combo box or radio group\n"
                             "line 13: no button or control 'Nowhere'\n");
    EXPECT_EQ(form.edRefDB.Text(), "/ref/DB.mdb");
    EXPECT_TRUE(form.cgFields.ItemChecked(0));
    EXPECT_TRUE(form.dtMin.Empty());
    EXPECT_EQ(form.seDelta.Value(), 2);
    EXPECT_EQ(form.edSource.Text(), "still usable");
}

TEST(ConsoleDriver, ThrowingHandlerShowsErrorAndTheDialogStaysUsable)
{
    TTestForm form;
    const TRun run = Drive(form, "click fail\nclick Run\n");
    EXPECT_EQ(run.err.str(), "Error: disk full\n");
    EXPECT_EQ(form.log.back(), "close");
    EXPECT_EQ(form.log[form.log.size() - 2], "run");
}

TEST(ConsoleDriver, MemoStreamsEachPieceAsItIsAppended)
{
    TTestForm form;
    std::string seenAfterFirstPiece;
    std::ostringstream* out = nullptr;
    form.dbtRun.Ok().OnClick = [&] {
        form.mProgress.Append("   abc");
        seenAfterFirstPiece = out->str();
        form.mProgress.Append(" def\r\n* next");
        form.mProgress.Clear();
        form.mProgress.Append("fresh\r");
        form.mProgress.Append("\nend");
    };
    std::istringstream in("click Run\n");
    std::ostringstream err, output;
    out = &output;
    TConsoleDriver driver(in, output, err);
    form.SetDriver(&driver);
    form.ShowModal();
    EXPECT_EQ(seenAfterFirstPiece, "   abc");
    // CR LF becomes LF; cleared text starts a fresh line; an open last line
    // is ended when the dialog closes.
    EXPECT_EQ(output.str(), "   abc def\n* next\nfresh\nend\n");
    EXPECT_EQ(form.mProgress.Text(), "fresh\r\nend");
    EXPECT_EQ(err.str(), "");
}

TEST(ConsoleDriver, FormCloseMayRefuseAndModalResultEndsTheLoop)
{
    TTestForm form;
    form.refuseClose = true;
    form.btnFail.OnClick = [&] { form.SetModalResult(mrOk); };
    const TRun run = Drive(form, "close\nset edSource after refusal\nclick Fail\nset edSource never\n");
    EXPECT_EQ(run.result, mrOk);
    EXPECT_EQ(form.edSource.Text(), "after refusal");
    EXPECT_EQ(std::count(form.log.begin(), form.log.end(), "close"), 2);

    // At the end of input a refusal cannot keep the dialog open.
    TTestForm stubborn;
    stubborn.refuseClose = true;
    const TRun end = Drive(stubborn, "");
    EXPECT_EQ(end.result, mrCancel);
    EXPECT_EQ(end.err.str(), "line 0: end of input: the dialog refused to close and was closed anyway\n");
}

TEST(ConsoleDriver, InteractiveModeShowsTheFormBeforeEachPrompt)
{
    TTestForm form;
    std::istringstream in("check cgFields Grid\n");
    std::ostringstream out, err;
    TConsoleDriver driver(in, out, err);
    driver.SetInteractive(true);
    form.SetDriver(&driver);
    form.ShowModal();
    const std::string shown = err.str();
    EXPECT_NE(shown.find("== Test dialog =="), std::string::npos);
    EXPECT_NE(shown.find("  edRefDB: \"/ref/DB.mdb\" (read-only)"), std::string::npos);
    EXPECT_NE(shown.find("[x] 0 Callsign (locked)"), std::string::npos);
    EXPECT_NE(shown.find("[x] 3 Grid"), std::string::npos); // the second prompt shows the change
    EXPECT_NE(shown.find("  dbtRun: [Run] [Close]"), std::string::npos);
}

TEST(Controls, CodeSettersAreSilentExceptEditText)
{
    TTestForm form;
    form.log.clear();
    form.cgFields.SetItemChecked("grid", true);
    form.cbMode.SetItemIndex(0);
    form.rgLocation.SetItemIndex(1);
    form.cbZip.SetChecked(true);
    EXPECT_TRUE(form.log.empty());
    form.edSource.SetText("x");
    form.dtMin.SetText("2024-01-05");
    form.dtMin.SetText(" ");
    EXPECT_EQ(form.log, (std::vector<std::string>{"edSource=x", "dtMin=2024-01-05", "dtMin="}));
    EXPECT_THROW(form.dtMin.SetText("soon"), EConvertError);
    EXPECT_THROW(form.cgFields.SetItemChecked(9, true), EListError);
    EXPECT_THROW(form.cbMode.SetItemIndex(3), EListError);
    EXPECT_THROW(TEdit(form, "edSource"), EComponentError);
}

TEST(Controls, UserChangesCanBeVetoedAndDateTextFollowsTheFormatter)
{
    TTestForm form;
    form.cgFields.OnChanging = [](int index, bool, bool& allow) { allow = index != 3; };
    form.cgFields.UserSetChecked("Grid", true);
    EXPECT_FALSE(form.cgFields.ItemChecked(3));
    form.rgLocation.OnChanging = [](int, bool& allow) { allow = false; };
    form.rgLocation.UserSelect(1);
    EXPECT_EQ(form.rgLocation.ItemIndex(), 0);

    form.dtMin.SetDate(EncodeDate(2024, 3, 7) + 0.75);
    form.dtMin.SetDateFormat(
        [](TDateTime date) {
            const TDateParts p = DecodeDateTime(date);
            return std::to_string(p.Day) + "." + std::to_string(p.Month) + "." + std::to_string(p.Year);
        },
        [](std::string_view text) -> std::optional<TDateTime> {
            int d = 0, m = 0, y = 0;
            if (std::sscanf(std::string(text).c_str(), "%d.%d.%d", &d, &m, &y) != 3 || !IsValidDate(y, m, d))
                return std::nullopt;
            return EncodeDate(y, m, d);
        });
    EXPECT_EQ(form.dtMin.Text(), "7.3.2024");
    EXPECT_EQ(*form.dtMin.Date(), EncodeDate(2024, 3, 7));
    form.dtMin.UserSetText("1.12.2023");
    EXPECT_EQ(*form.dtMin.Date(), EncodeDate(2023, 12, 1));
}

TEST(Controls, MemoCountsLinesAndClampsScrolling)
{
    TTestForm form;
    TMemo& memo = form.mProgress;
    EXPECT_EQ(memo.LineCount(), 0);
    memo.Append("one\r\ntwo");
    EXPECT_EQ(memo.LineCount(), 2);
    memo.AddLine("three");
    EXPECT_EQ(memo.Lines(), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(memo.LineCount(), 3);
    memo.ScrollBy(memo.LineCount() - 1);
    EXPECT_EQ(memo.TopLine(), 2);
    memo.ScrollBy(10);
    EXPECT_EQ(memo.TopLine(), 2);
    memo.Clear();
    EXPECT_EQ(memo.TopLine(), 0);
}

} // namespace

TEST(ActionLanguage, OneLineActsOnTheFormWithoutADriverLoop)
{
    TTestForm form;
    std::vector<std::string> reports, errors;
    auto perform = [&](std::string_view line) {
        PerformAction(
            form, line, [&](std::string_view message) { reports.emplace_back(message); },
            [&](const std::exception& error) { errors.emplace_back(error.what()); });
    };
    perform("set edSource /data/DB.zip");
    perform("check cgFields Grid");
    perform("set edRefDB /elsewhere");
    perform("uncheck cgFields Callsign");
    perform("click btnFail");
    perform("frobnicate now");
    perform("close");
    EXPECT_EQ(form.edSource.Text(), "/data/DB.zip");
    EXPECT_TRUE(form.cgFields.ItemChecked("Grid"));
    EXPECT_EQ(form.edRefDB.Text(), "/ref/DB.mdb");
    EXPECT_TRUE(form.cgFields.ItemChecked("Callsign"));
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_NE(reports[0].find("read-only"), std::string::npos);
    EXPECT_NE(reports[2].find("unknown action"), std::string::npos);
    EXPECT_EQ(errors, std::vector<std::string>{"disk full"});
    EXPECT_EQ(form.ModalResult(), mrCancel);
}

TEST(ActionLanguage, EachVerbReachesTheKindsThatTakeItAndNamesTheOthers)
{
    TTestForm form;
    form.btnFail.SetCaption("Close");
    form.btnFail.SetEnabled(false);
    form.bteMin.AltBtn().OnClick = [&] { form.log.push_back("altbtn"); };
    form.bteMin.Button().OnClick = [&] { form.log.push_back("find"); };
    struct TCase {
        const char* line;
        const char* report; // empty: none
    };
    const TCase cases[] = {
        {"set cbZip x", "'cbZip' is a check box: 'set' takes an edit, date edit, spin edit or memo"},
        {"set psInfo x", "'psInfo' is a status pane: 'set' takes an edit, date edit, spin edit or memo"},
        {"set mProgress typed", ""},
        {"select edSource 1", "'edSource' is a button edit: 'select' takes a combo box or radio group"},
        {"check cbZip make ZIP", "'cbZip' is a check box: name it alone"},
        {"check cgFields", "name an item of 'cgFields'"},
        {"check cbMode 1", "'cbMode' is a combo box: 'check' takes a check group item or a check box"},
        {"click dbtRun", "'dbtRun' has two buttons: click dbtRun.ok or dbtRun.cancel"},
        {"click bteMin.ok", "'bteMin' has no button 'ok'"},
        {"click edSource.altbtn", "'edSource' has no button 'altbtn'"},
        {"click dtMin", "no button or control 'dtMin'"},
        {"click make ZIP", "no button or control 'make ZIP'"},
        {"click cbZip", ""},
        {"click bteMin", ""},
        {"click bteMin.AltButton", ""},
        {"click dbtRun.OK", ""},
        // A disabled button and a usable one share the caption: the usable one.
        {"click Close", ""},
    };
    for (const TCase& c : cases) {
        std::vector<std::string> reports;
        PerformAction(
            form, c.line, [&](std::string_view message) { reports.emplace_back(message); },
            [&](const std::exception& error) { reports.emplace_back(std::string("error: ") + error.what()); });
        const std::vector<std::string> expected =
            *c.report ? std::vector<std::string>{c.report} : std::vector<std::string>{};
        EXPECT_EQ(reports, expected) << c.line;
    }
    EXPECT_TRUE(form.mProgress.Text().starts_with("typed")) << form.mProgress.Text();
    EXPECT_TRUE(form.cbZip.Checked());
    const std::vector<std::string> clicks{"cbZip=1", "find", "altbtn", "run"};
    EXPECT_EQ(form.log, clicks);
    EXPECT_EQ(form.ModalResult(), mrCancel);
}

// Notes the kind of each Visit reached, for reading and for changing.
template <bool Const> class TKindRecorder final : public TBasicControlVisitor<Const> {
    template <class T> using Ref = std::conditional_t<Const, const T&, T&>;

public:
    std::vector<std::string> seen;
    void Visit(Ref<TLabel>) override { seen.push_back("label"); }
    void Visit(Ref<TGroupBox>) override { seen.push_back("group box"); }
    void Visit(Ref<TStatusPane>) override { seen.push_back("status pane"); }
    void Visit(Ref<TProgressPane>) override { seen.push_back("progress pane"); }
    void Visit(Ref<TEdit>) override { seen.push_back("edit"); }
    void Visit(Ref<TButtonEdit>) override { seen.push_back("button edit"); }
    void Visit(Ref<TDateEdit>) override { seen.push_back("date edit"); }
    void Visit(Ref<TSpinEdit>) override { seen.push_back("spin edit"); }
    void Visit(Ref<TMemo>) override { seen.push_back("memo"); }
    void Visit(Ref<TButton>) override { seen.push_back("button"); }
    void Visit(Ref<TButtonPair>) override { seen.push_back("button pair"); }
    void Visit(Ref<TDialogButtons>) override { seen.push_back("dialog buttons"); }
    void Visit(Ref<TCheckBox>) override { seen.push_back("check box"); }
    void Visit(Ref<TComboBox>) override { seen.push_back("combo box"); }
    void Visit(Ref<TRadioGroup>) override { seen.push_back("radio group"); }
    void Visit(Ref<TCheckGroup>) override { seen.push_back("check group"); }
};

TEST(Controls, EachKindIsVisitedAsItself)
{
    TTestForm form;
    TLabel label(form, "lbl", "Caption");
    TGroupBox group(form, "gb", "Group");
    TKindRecorder<false> changing;
    TKindRecorder<true> reading;
    std::vector<std::string> kinds;
    for (TControl* control : form.Controls()) {
        kinds.push_back(control->Kind());
        control->Accept(changing);
        std::as_const(*control).Accept(reading);
    }
    EXPECT_EQ(kinds.size(), 16u); // one of each kind
    EXPECT_EQ(changing.seen, kinds);
    EXPECT_EQ(reading.seen, kinds);
}
