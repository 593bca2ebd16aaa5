#include "Platform/Forms/Panes.h"

#include <algorithm>

namespace Forms {

TLabel::TLabel(TForm& owner, std::string name, std::string caption)
    : TControl(owner, std::move(name), std::move(caption))
{
}

void TLabel::SetBold(bool bold)
{
    if (bold == bold_) return;
    bold_ = bold;
    Changed();
}

TGroupBox::TGroupBox(TForm& owner, std::string name, std::string caption)
    : TControl(owner, std::move(name), std::move(caption))
{
}

TStatusPane::TStatusPane(TForm& owner, std::string name) : TControl(owner, std::move(name)) {}

TProgressPane::TProgressPane(TForm& owner, std::string name) : TControl(owner, std::move(name)) {}

void TProgressPane::SetPercent(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == percent_) return;
    percent_ = percent;
    Changed();
}

void TProgressPane::SetSegments(int segments)
{
    segments = std::max(1, segments);
    if (segments == segments_) return;
    segments_ = segments;
    Changed();
}

} // namespace Forms
