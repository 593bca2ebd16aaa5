#include "Platform/SysUtils/SysUtils.h"

#include <string_view>

void AssertionFailure(const char* file, int line)
{
    // Name the file relative to the source tree, as the unit is known.
    std::string_view path(file);
    for (std::string_view top : {"/PluginAPI/", "/Plugins/", "/Platform/", "/Includes/", "/Host/"}) {
        if (auto pos = path.rfind(top); pos != std::string_view::npos) {
            path.remove_prefix(pos + 1);
            break;
        }
    }
    throw EAssertionFailed("Assertion failure (" + std::string(path) + ", line " +
                           std::to_string(line) + ")");
}
