#include "Platform/ProgramPaths/ProgramPaths.h"

namespace fs = std::filesystem;

#ifndef HAM_INSTALL_PLUGIN_RELDIR
#define HAM_INSTALL_PLUGIN_RELDIR "../lib/hamhost"
#endif
#ifndef HAM_INSTALL_DATA_RELDIR
#define HAM_INSTALL_DATA_RELDIR "../share/hamhost"
#endif

fs::path ProgramFolder()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path() : exe.parent_path();
}

fs::path ProgramDataFolder()
{
    const fs::path folder = ProgramFolder();
    std::error_code ec;
    if (fs::is_directory(folder / "data", ec)) return folder / "data";
    return (folder / HAM_INSTALL_DATA_RELDIR).lexically_normal();
}

fs::path ProgramPluginFolder()
{
    const fs::path folder = ProgramFolder();
    const fs::path installed = (folder / HAM_INSTALL_PLUGIN_RELDIR).lexically_normal();
    std::error_code ec;
    return fs::is_directory(installed, ec) ? installed : folder;
}
