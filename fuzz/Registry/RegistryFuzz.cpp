// The registry file parser never crashes, and what it writes back reads as
// the same keys with the same number of values.
#include "Platform/Registry/Registry.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const TRegistryData first = TRegistryData::Parse(input);
    const TRegistryData second = TRegistryData::Parse(first.ToText());
    for (const TRegistryKey& key : first.Keys()) {
        const TRegistryKey* again = second.FindKey(key.Name);
        if (again == nullptr || again->Values.size() != key.Values.size()) std::abort();
        for (const TRegistryValue& value : key.Values)
            if (again->FindValue(value.Name) == nullptr) std::abort();
    }
    if (second.Keys().size() != first.Keys().size()) std::abort();
    return 0;
}
