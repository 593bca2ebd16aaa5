#include "Platform/Forms/FileDialogs.h"

#include <filesystem>

#include "Platform/Forms/Form.h"

namespace Forms {

TFileDialog::TFileDialog(TForm& owner, std::string name) : owner_(owner), name_(std::move(name)) {}

std::vector<std::pair<std::string, std::string>> TFileDialog::FilterPairs() const
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= Filter.size() && !Filter.empty()) {
        const std::size_t bar = Filter.find('|', start);
        parts.push_back(Filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    std::vector<std::pair<std::string, std::string>> pairs;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2)
        pairs.emplace_back(parts[i], parts[i + 1]);
    return pairs;
}

bool TFileDialog::Execute()
{
    const std::optional<std::string> chosen = owner_.Driver().ExecuteFileDialog(owner_, *this);
    if (!chosen || chosen->empty()) return false;
    std::filesystem::path path(*chosen);
    if (path.is_relative() && !InitialDir.empty()) path = std::filesystem::path(InitialDir) / path;
    std::string ext = DefaultExt;
    if (!ext.empty() && ext.front() == '.') ext.erase(0, 1);
    if (!ext.empty() && !path.filename().empty() && !path.has_extension()) path += "." + ext;
    FileName = path.string();
    return true;
}

} // namespace Forms
