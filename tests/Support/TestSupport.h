// Shared helpers for tests: temporary folders, running hamhost as a user
// would, reading files.
#pragma once

#include <exception>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// A fresh folder under the test temporary directory, removed afterwards; its
// name starts with name.
class TTempDir {
public:
    explicit TTempDir(const std::string& name);
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const fs::path& Path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }
    // A file in the folder as the string the platform calls take.
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    // The names of the folder's entries (leftovers show up here).
    std::set<std::string> Names() const;

private:
    fs::path path_;
};

// The message of the E that fn throws; another exception, or none, is named
// in its place.
template <class E, class F> std::string ThrownMessage(F&& fn)
{
    try {
        fn();
    } catch (const E& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return std::string("wrong kind: ") + e.what();
    }
    return "nothing thrown";
}

struct TRunResult {
    int ExitCode = -1;
    std::string Out, Err;
};

// Runs a program with arguments; standard input from stdinText; environment
// additions as NAME=VALUE. No shell involved.
TRunResult RunProgram(const fs::path& program, const std::vector<std::string>& args, const std::string& stdinText = {},
                      const std::vector<std::string>& env = {});

// The built hamhost and plug-in folder.
fs::path HamhostPath();
fs::path PluginFolder();
// hamhost --profile PROFILE ARGS..., with the registry file of the profile
// unless env sets HKCU_REGISTRY_FILE.
TRunResult RunHamhost(const fs::path& profile, const std::vector<std::string>& args, const std::string& stdinText = {},
                      const std::vector<std::string>& env = {});

std::string ReadFileText(const fs::path& path);
void WriteFileText(const fs::path& path, const std::string& text);
std::vector<std::string> SplitLines(const std::string& text);
// The project's shipped data folder (country data).
fs::path ShippedDataDir();

// Environment additions that run a child process in the German locale
// (de_DE.UTF-8: dd.mm.yyyy dates, decimal comma). Where the system lacks the
// locale it is compiled once with localedef into a folder under the test
// temporary directory and named by LOCPATH. Problem says why it could not be
// made (then Env is empty).
struct TLocaleEnv {
    std::vector<std::string> Env;
    std::string Problem;
};
TLocaleEnv GermanLocaleEnv();
