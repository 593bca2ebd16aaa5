#include "tests/Support/TestSupport.h"

#include <algorithm>

#include <fcntl.h>
#include <locale.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

TTempDir::TTempDir(const std::string& name)
{
    char pattern[4096];
    std::snprintf(pattern, sizeof pattern, "%s/%s-XXXXXX", fs::temp_directory_path().c_str(), name.c_str());
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed for " + name);
    path_ = pattern;
}

TTempDir::~TTempDir()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::set<std::string> TTempDir::Names() const
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_))
        names.insert(entry.path().filename().string());
    return names;
}

TRunResult RunProgram(const fs::path& program, const std::vector<std::string>& args, const std::string& stdinText,
                      const std::vector<std::string>& env)
{
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);

    std::vector<std::string> argStore{program.string()};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // An addition replaces an inherited variable of the same name.
    auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> envStore;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const auto& add : env)
            replaced = replaced || nameOf(add) == nameOf(entry);
        if (!replaced) envStore.push_back(entry);
    }
    for (const auto& add : env)
        envStore.push_back(add);
    std::vector<char*> envp;
    for (auto& e : envStore)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (rc != 0) {
        close(in[1]), close(out[0]), close(err[0]);
        throw std::runtime_error("cannot start " + program.string() + ": " + std::strerror(rc));
    }
    std::thread writer([&] {
        std::size_t done = 0;
        while (done < stdinText.size()) {
            ssize_t n = write(in[1], stdinText.data() + done, stdinText.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        close(in[1]);
    });
    TRunResult result;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    char buf[65536];
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                (i == 0 ? result.Out : result.Err).append(buf, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    writer.join();
    int status = 0;
    waitpid(pid, &status, 0);
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

fs::path HamhostPath()
{
    return fs::path(HAM_BINARY_DIR) / "bin" / "hamhost";
}
fs::path PluginFolder()
{
    return fs::path(HAM_BINARY_DIR) / "bin";
}

TRunResult RunHamhost(const fs::path& profile, const std::vector<std::string>& args, const std::string& stdinText,
                      const std::vector<std::string>& env)
{
    std::vector<std::string> all{"--profile", profile.string(), "--plugins", PluginFolder().string()};
    all.insert(all.end(), args.begin(), args.end());
    // The profile's registry file, unless the caller names another (or none).
    std::vector<std::string> environment;
    const bool ownRegistry = std::none_of(env.begin(), env.end(),
                                          [](const std::string& e) { return e.rfind("HKCU_REGISTRY_FILE=", 0) == 0; });
    if (ownRegistry) environment.push_back("HKCU_REGISTRY_FILE=" + (profile / "hkcu.reg").string());
    environment.insert(environment.end(), env.begin(), env.end());
    return RunProgram(HamhostPath(), all, stdinText, environment);
}

std::string ReadFileText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFileText(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

fs::path ShippedDataDir()
{
    return fs::path(HAM_SOURCE_DIR) / "data";
}

TLocaleEnv GermanLocaleEnv()
{
    const std::string name = "de_DE.UTF-8";
    TLocaleEnv result;
    result.Env = {"LC_ALL=" + name, "LANG=" + name};
    if (locale_t loc = newlocale(LC_ALL_MASK, name.c_str(), static_cast<locale_t>(0))) {
        freelocale(loc);
        return result;
    }
    // Compiled once per machine and user; a finished folder is reused.
    const fs::path folder = fs::temp_directory_path() / ("hamhost-test-locales-" + std::to_string(getuid()));
    const fs::path compiled = folder / name;
    if (!fs::exists(compiled / "LC_TIME")) {
        fs::create_directories(folder);
        const fs::path partial = folder / (name + ".partial-" + std::to_string(getpid()));
        const TRunResult made = RunProgram("/usr/bin/localedef", {"-i", "de_DE", "-f", "UTF-8", partial.string()});
        std::error_code ec;
        if (!fs::exists(partial / "LC_TIME")) { // warnings alone give a non-zero status
            fs::remove_all(partial, ec);
            result.Env.clear();
            result.Problem =
                "cannot compile the locale " + name + " with localedef (install the locales package): " + made.Err;
            return result;
        }
        fs::rename(partial, compiled, ec);
        if (ec) fs::remove_all(partial, ec); // another test made it meanwhile
    }
    result.Env.push_back("LOCPATH=" + folder.string());
    return result;
}
