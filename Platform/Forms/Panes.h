// Display-only controls: labels, group boxes and the status bar panes.
#pragma once

#include "Platform/Forms/Control.h"

namespace Forms {

class TLabel final : public TControl {
public:
    TLabel(TForm& owner, std::string name, std::string caption = {});
    const char* Kind() const override { return "label"; }
    void Accept(TControlVisitor& visitor) override { visitor.Visit(*this); }
    void Accept(TConstControlVisitor& visitor) const override { visitor.Visit(*this); }
    bool Bold() const { return bold_; }
    void SetBold(bool bold);

private:
    bool bold_ = false;
};

// A captioned frame; controls name it as their Parent.
class TGroupBox final : public TControl {
public:
    TGroupBox(TForm& owner, std::string name, std::string caption = {});
    const char* Kind() const override { return "group box"; }
    void Accept(TControlVisitor& visitor) override { visitor.Visit(*this); }
    void Accept(TConstControlVisitor& visitor) const override { visitor.Visit(*this); }
};

// A status bar text pane; its text is the caption.
class TStatusPane final : public TControl {
public:
    TStatusPane(TForm& owner, std::string name);
    const char* Kind() const override { return "status pane"; }
    void Accept(TControlVisitor& visitor) override { visitor.Visit(*this); }
    void Accept(TConstControlVisitor& visitor) const override { visitor.Visit(*this); }
    const std::string& Text() const { return Caption(); }
    void SetText(std::string text) { SetCaption(std::move(text)); }
};

// A status bar progress bar drawn in segments.
class TProgressPane final : public TControl {
public:
    TProgressPane(TForm& owner, std::string name);
    const char* Kind() const override { return "progress pane"; }
    void Accept(TControlVisitor& visitor) override { visitor.Visit(*this); }
    void Accept(TConstControlVisitor& visitor) const override { visitor.Visit(*this); }
    int Percent() const { return percent_; }
    // Clamped into 0..100.
    void SetPercent(int percent);
    int Segments() const { return segments_; }
    void SetSegments(int segments);

private:
    int percent_ = 0;
    int segments_ = 20;
};

} // namespace Forms
