#include "Platform/SysUtils/SysUtils.h"

#include <string>

void AssertionFailure(const char* file, int line)
{
    // The build maps the source folder away (-fmacro-prefix-map), so file is
    // already relative to the source tree, as the unit is known.
    throw EAssertionFailed("Assertion failure (" + std::string(file) + ", line " + std::to_string(line) + ")");
}
