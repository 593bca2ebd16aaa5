#include "Platform/Forms/ActionReader.h"

#include <istream>
#include <string_view>

#include "Platform/SysUtils/SysUtils.h"

namespace Forms {

namespace {

std::unique_ptr<std::ifstream> Open(const std::string& path)
{
    auto file = std::make_unique<std::ifstream>(path);
    if (!*file) throw EFOpenError("Cannot open file \"" + path + "\". Actions cannot be read.");
    return file;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

TActionReader::TActionReader(std::istream& in) : in_(in) {}

TActionReader::TActionReader(const std::string& path) : file_(Open(path)), in_(*file_) {}

bool TActionReader::ReadLine(std::string& line)
{
    if (!std::getline(in_, line)) return false;
    ++line_;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

std::optional<std::string> TActionReader::ReadAnswer()
{
    std::string line;
    if (!ReadLine(line)) return std::nullopt;
    std::string_view path = line;
    while (!path.empty() && IsBlank(path.front()))
        path.remove_prefix(1);
    while (!path.empty() && IsBlank(path.back()))
        path.remove_suffix(1);
    if (path.empty()) return std::nullopt;
    return std::string(path);
}

} // namespace Forms
