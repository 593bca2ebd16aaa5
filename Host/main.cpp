// hamhost: the host application on the command line.
#include "Host/Host.h"
#include "Host/HostDemo.h"
#include "Platform/JetSql/JetSql.h"
#include "Platform/SysUtils/SysUtils.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>

namespace {

constexpr const char* Usage =
    "usage: hamhost [--profile DIR] [--plugins DIR] [--trace] COMMAND\n"
    "  init [--demo]                     create a profile (with demo data and a demo logger)\n"
    "  plugins                           list the loaded plug-ins\n"
    "  run \"MENU CAPTION\" [--actions FILE] choose a menu command; dialog actions from FILE or stdin\n"
    "  sql \"STATEMENT\"                   run one statement on the host database\n";

fs::path DefaultProfile()
{
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return fs::path(data) / "hamhost";
    const char* home = std::getenv("HOME");
    return fs::path(home ? home : ".") / ".local/share/hamhost";
}

fs::path ProgramFolder()
{
    std::error_code ec;
    auto exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path() : exe.parent_path();
}

int Sql(const fs::path& profile, const std::string& statement)
{
    THostDb db = OpenHostDatabase(profile / "host.db", false);
    try {
        // Only the first statement of the text runs.
        TSqliteStatement stmt(db, JetToSqlite(statement), TSqliteStatement::TTail::Ignore);
        const int n = stmt.ColumnCount();
        for (int i = 0; i < n; ++i) std::cout << (i ? "\t" : "") << stmt.ColumnName(i);
        if (n) std::cout << "\n";
        while (stmt.Step()) {
            for (int i = 0; i < n; ++i) std::cout << (i ? "\t" : "") << stmt.ColumnText(i);
            std::cout << "\n";
        }
        if (!n) std::cerr << db.Changes() << " row(s) changed\n";
    } catch (const EOleException& e) {
        std::cerr << "hamhost: " << e.Message() << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    THostOptions options;
    options.AppPath = ProgramFolder();
    options.PluginDir = options.AppPath;
    options.Profile = DefaultProfile();
    std::vector<std::string> args(argv + 1, argv + argc);
    std::size_t i = 0;
    try {
        for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
            if (args[i] == "--profile" && i + 1 < args.size())
                options.Profile = args[++i];
            else if (args[i] == "--plugins" && i + 1 < args.size())
                options.PluginDir = args[++i];
            else if (args[i] == "--trace")
                options.Trace = [](const std::string& call) { std::cerr << "trace: " << call << "\n"; };
            else {
                std::cerr << Usage;
                return 2;
            }
        }
        if (i >= args.size()) {
            std::cerr << Usage;
            return 2;
        }
        const std::string command = args[i++];
        // A profile may carry its own registry file (the demo's logger).
        if (!std::getenv("HKCU_REGISTRY_FILE") && fs::exists(options.Profile / "hkcu.reg"))
            setenv("HKCU_REGISTRY_FILE", (options.Profile / "hkcu.reg").c_str(), 1);
        if (command == "init") {
            bool demo = i < args.size() && args[i] == "--demo";
            THost::InitProfile(options.Profile);
            if (demo) CreateDemoProfile(options.Profile, options.AppPath / "data");
            std::cout << "Profile ready: " << options.Profile.string() << "\n";
            return 0;
        }
        if (command == "sql" && i < args.size()) return Sql(options.Profile, args[i]);
        if (command == "plugins") {
            THost host(options);
            host.LoadPlugins();
            for (const auto& p : host.Plugins()) {
                if (p->InitResult != S_OK) {
                    std::cerr << p->File.filename().string() << ": refused (0x" << std::hex
                              << static_cast<std::uint32_t>(p->InitResult) << std::dec << ")\n";
                    continue;
                }
                std::cout << p->Name << '\t' << p->Version << '\t' << p->Kind << '\t'
                          << GuidToString(p->ID) << '\n';
            }
            return 0;
        }
        if (command == "run" && i < args.size()) {
            std::string caption = args[i++];
            if (i + 1 < args.size() && args[i] == "--actions") {
                int fd = open(args[i + 1].c_str(), O_RDONLY | O_CLOEXEC);
                if (fd < 0 || dup2(fd, STDIN_FILENO) < 0) {
                    std::cerr << "hamhost: cannot read actions file '" << args[i + 1] << "'\n";
                    return 2;
                }
                close(fd);
            }
            THost host(options);
            host.LoadPlugins();
            try {
                return host.Run(caption) < 0 ? 1 : 0;
            } catch (const EArgumentException& e) {
                std::cerr << "hamhost: " << e.Message() << "\n";
                return 2;
            }
        }
        std::cerr << Usage;
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "hamhost: " << e.what() << "\n";
        return 1;
    }
}
