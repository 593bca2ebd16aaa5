// Any bytes parse; an unedited document gives back the same bytes; edits
// read back and leave every other value as it was.
#include "Platform/IniFile/IniFile.h"
#include "Platform/SysUtils/SysUtils.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

void Check(bool ok)
{
    if (!ok) __builtin_trap();
}

struct Entry {
    std::string Section, Key, Value;
};

std::vector<Entry> AllValues(const TIniDocument& doc)
{
    std::vector<Entry> all;
    for (const auto& section : doc.Sections())
        for (const auto& key : doc.Keys(section)) {
            auto v = doc.Value(section, key);
            Check(v.has_value());
            all.push_back({section, key, *v});
        }
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TIniDocument doc(text);
    Check(doc.Serialize() == text);
    const std::vector<Entry> before = AllValues(doc);

    // Edit the first value (or add one) and read everything back from the
    // written text.
    const std::string section = before.empty() ? "Fuzz" : before.front().Section;
    const std::string key = before.empty() ? "Key" : before.front().Key;
    try {
        doc.SetValue(section, key, "fuzzed value");
    } catch (const EArgumentException&) {
        return 0;
    }
    TIniDocument reread(doc.Serialize());
    Check(reread.Value(section, key) == std::optional<std::string>("fuzzed value"));
    for (const auto& e : before) {
        if (e.Section == section && e.Key == key) continue;
        Check(reread.Value(e.Section, e.Key) == std::optional<std::string>(e.Value));
    }
    Check(reread.DeleteKey(section, key));
    Check(!reread.Value(section, key).has_value());
    return 0;
}
