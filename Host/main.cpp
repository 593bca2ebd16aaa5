// hamhost: the host application on the command line.
//
// Exit status: 0 success; 1 failure (for run: the dialog refused to open or a
// run ended with an error message); 2 usage error (for run also: an unknown
// command, an unreadable actions file, an action line that failed).
#include "Host/DictionaryCommand.h"
#include "Host/Host.h"
#include "Host/HostDemo.h"
#include "Host/HostObjects.h"
#include "Platform/JetSql/JetSql.h"
#include "Platform/ProgramPaths/ProgramPaths.h"
#include "Platform/SysUtils/SysUtils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

#ifndef HAM_VERSION
#define HAM_VERSION "unknown"
#endif

namespace {

constexpr int ExitOk = 0, ExitFailure = 1, ExitUsage = 2;

constexpr const char* Usage =
    "usage: hamhost [--profile DIR] [--plugins DIR] [--trace] COMMAND\n"
    "       hamhost --help | --version\n"
    "  init [--demo]                     create a profile (with demo data and a demo logger)\n"
    "  plugins                           list the loaded plug-ins\n"
    "  run COMMAND [--actions FILE]      choose a plug-in command by menu caption or plug-in name;\n"
    "                                    dialog actions from FILE or stdin\n"
    "  sql \"STATEMENT\"                   run one statement on the host database\n"
    "  dictionary update [FILE|URL]      replace the country dictionary from a cty.dat file\n"
    "exit status: 0 success, 1 failure, 2 usage error (see the README)\n";

// A usage error: the message (with the usage when asked), then exit status 2.
class EUsage : public Exception {
public:
    explicit EUsage(std::string message, bool showUsage = false) : Exception(std::move(message)), ShowUsage(showUsage)
    {
    }
    bool ShowUsage;
};

fs::path DefaultProfile()
{
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return fs::path(data) / "hamhost";
    const char* home = std::getenv("HOME");
    return fs::path(home ? home : ".") / ".local/share/hamhost";
}

// Reports the plug-in files that could not be loaded and go on without them.
void ReportSkipped(const THost& host)
{
    for (const auto& s : host.Skipped())
        std::cerr << "hamhost: skipped " << s.File.filename().string() << ": " << s.Reason << "\n";
}

int Init(const THostOptions& options, const std::vector<std::string>& args)
{
    bool demo = false;
    for (const auto& a : args) {
        if (a != "--demo") throw EUsage("init takes only --demo, not '" + a + "'", true);
        demo = true;
    }
    THost::InitProfile(options.Profile);
    InitDictionary(options.Profile, ProgramDataFolder(), std::cout);
    if (demo) CreateDemoProfile(options.Profile, ProgramDataFolder());
    std::cout << "Profile ready: " << options.Profile.string() << "\n";
    return ExitOk;
}

int Plugins(const THostOptions& options, const std::vector<std::string>& args)
{
    if (!args.empty()) throw EUsage("plugins takes no arguments", true);
    THost host(options);
    host.LoadPlugins();
    ReportSkipped(host);
    std::cout << "Name\tVersion\tKind\tID\n";
    for (const auto& p : host.Plugins()) {
        if (p->InitResult != S_OK) {
            std::cerr << p->File.filename().string() << ": refused (0x" << std::hex
                      << static_cast<std::uint32_t>(p->InitResult) << std::dec << ")\n";
            continue;
        }
        std::cout << p->Name << '\t' << p->Version << '\t' << PluginKindName(p->Kind) << " (" << p->Kind << ")\t"
                  << GuidToString(p->ID) << '\n';
    }
    return ExitOk;
}

// Makes the actions file the standard input of the dialog.
void UseActionsFile(const std::string& file)
{
    // A folder opens for reading too, and would read as empty.
    int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    const bool folder = fd >= 0 && fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    if (fd < 0 || folder || dup2(fd, STDIN_FILENO) < 0) {
        const std::string reason = folder ? "it is a folder" : std::strerror(errno);
        if (fd >= 0) close(fd);
        throw EUsage("cannot read actions file '" + file + "': " + reason);
    }
    close(fd);
}

int Run(const THostOptions& options, const std::vector<std::string>& args)
{
    if (args.empty()) throw EUsage("run needs a command: its menu caption or plug-in name", true);
    const std::string& name = args[0];
    if (args.size() == 3 && args[1] == "--actions")
        UseActionsFile(args[2]);
    else if (args.size() != 1)
        throw EUsage("run takes a command and optionally --actions FILE", true);
    THost host(options);
    host.LoadPlugins();
    ReportSkipped(host);
    if (!host.FindCommand(name)) {
        std::cerr << "hamhost: No menu command \"" << name << "\"; the commands are:\n";
        for (const auto& c : host.Menu())
            std::cerr << "  " << c.Item->Caption
                      << (c.Owner && c.Owner->Name != c.Item->Caption ? "  (" + c.Owner->Name + ")" : "") << "\n";
        return ExitUsage;
    }
    host.Run(name);
    for (const fs::path& file : host.LastRunErrorFiles())
        std::cerr << "hamhost: lines of this run's errors are in " << file.string() << "\n";
    const TRunOutcome& outcome = host.LastOutcome();
    if (outcome.RefusedActions > 0) return ExitUsage;
    if (outcome.Result < 0 || outcome.Messages > 0 || outcome.ErrorsShown > 0) return ExitFailure;
    return ExitOk;
}

bool OnlySpaceAndComments(const char* text)
{
    // What SQLite leaves after a statement: blanks, ";", "--" and "/* */" comments.
    for (const char* p = text; *p;) {
        if (std::isspace(static_cast<unsigned char>(*p)) || *p == ';') {
            ++p;
        } else if (p[0] == '-' && p[1] == '-') {
            while (*p && *p != '\n')
                ++p;
        } else if (p[0] == '/' && p[1] == '*') {
            const char* end = std::strstr(p + 2, "*/");
            if (!end) return true; // SQLite treats an open comment as the end
            p = end + 2;
        } else {
            return false;
        }
    }
    return true;
}

int Sql(const THostOptions& options, const std::vector<std::string>& args)
{
    if (args.size() != 1) throw EUsage("sql takes one statement (quote it)", true);
    const std::string sql = JetToSqlite(args[0]);
    if (OnlySpaceAndComments(sql.c_str())) throw EUsage("the statement is empty");
    THostDb db = OpenHostDatabase(options.Profile / "host.db", false);
    try {
        TSqliteStatement stmt(db, sql, TSqliteStatement::TTail::Ignore);
        if (const std::string rest(stmt.Tail()); !OnlySpaceAndComments(rest.c_str()))
            throw EUsage("one statement at a time: text after the first statement: \"" +
                         rest.substr(rest.find_first_not_of(" \t\r\n;")) + "\"");
        const int n = stmt.ColumnCount();
        for (int i = 0; i < n; ++i)
            std::cout << (i ? "\t" : "") << stmt.ColumnName(i);
        if (n) std::cout << "\n";
        while (stmt.Step()) {
            for (int i = 0; i < n; ++i)
                std::cout << (i ? "\t" : "") << stmt.ColumnText(i);
            std::cout << "\n";
        }
        if (!n) std::cerr << db.Changes() << " row(s) changed\n";
    } catch (const EOleException& e) {
        std::cerr << "hamhost: " << e.Message() << "\n";
        return ExitFailure;
    }
    return ExitOk;
}

int Dictionary(const THostOptions& options, const std::vector<std::string>& args)
{
    return DictionaryCommand(options.Profile, ProgramDataFolder(), args, std::cout, std::cerr);
}

struct TCommand {
    const char* Name;
    int (*Handler)(const THostOptions& options, const std::vector<std::string>& args);
};

constexpr TCommand Commands[] = {
    {"init", Init}, {"plugins", Plugins}, {"run", Run}, {"sql", Sql}, {"dictionary", Dictionary},
};

} // namespace

int main(int argc, char** argv)
{
    THostOptions options;
    options.AppPath = ProgramFolder();
    options.PluginDir = ProgramPluginFolder();
    options.Profile = DefaultProfile();
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::size_t i = 0;
    try {
        for (; i < args.size() && args[i].rfind("-", 0) == 0; ++i) {
            if (args[i] == "--help" || args[i] == "-h") {
                std::cout << Usage;
                return ExitOk;
            }
            if (args[i] == "--version") {
                std::cout << "hamhost " HAM_VERSION "\n";
                return ExitOk;
            }
            if (args[i] == "--profile" && i + 1 < args.size())
                options.Profile = args[++i];
            else if (args[i] == "--plugins" && i + 1 < args.size())
                options.PluginDir = args[++i];
            else if (args[i] == "--trace")
                options.Trace = [](const std::string& call) { std::cerr << "trace: " << call << "\n"; };
            else
                throw EUsage("unknown option '" + args[i] + "'", true);
        }
        if (i >= args.size()) {
            std::cerr << Usage;
            return ExitUsage;
        }
        const std::string& name = args[i];
        const TCommand* command = nullptr;
        for (const auto& c : Commands)
            if (name == c.Name) command = &c;
        if (!command) throw EUsage("unknown command '" + name + "'", true);
        // A profile may carry its own registry file (the demo's logger).
        if (!std::getenv("HKCU_REGISTRY_FILE") && fs::exists(options.Profile / "hkcu.reg"))
            setenv("HKCU_REGISTRY_FILE", (options.Profile / "hkcu.reg").c_str(), 1);
        return command->Handler(options, std::vector<std::string>(args.begin() + i + 1, args.end()));
    } catch (const EUsage& e) {
        std::cerr << "hamhost: " << e.Message() << "\n" << (e.ShowUsage ? Usage : "");
        return ExitUsage;
    } catch (const std::exception& e) {
        std::cerr << "hamhost: " << e.what() << "\n";
        return ExitFailure;
    }
}
