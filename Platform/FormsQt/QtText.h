// UTF-8 model text to Qt's strings and back.
#pragma once

#include <QString>

#include <string>
#include <string_view>

#include "Platform/Forms/Control.h"

namespace Forms::Gui {

inline QString ToQ(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}
inline std::string FromQ(const QString& text)
{
    return text.toStdString();
}
// A caption as shown: accelerator marks removed.
inline QString CaptionText(const std::string& caption)
{
    return ToQ(StripAccelerator(caption));
}

} // namespace Forms::Gui
