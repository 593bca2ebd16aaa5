// hamhost-gui: the host as a desktop program.
#include "Host/Host.h"
#include "Host/HostObjects.h"
#include "Host/gui/MainWindow.h"
#include "Platform/ProgramPaths/ProgramPaths.h"

#include <QApplication>
#include <QMessageBox>
#include <QStyleFactory>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <optional>

namespace {

#ifndef HAM_VERSION
#define HAM_VERSION "unknown"
#endif

constexpr const char* Usage =
    "usage: hamhost-gui [--profile DIR] [--plugins DIR] [run COMMAND [--actions FILE]\n"
    "                   [--screenshot PNG] [--final-screenshot PNG] [--window-screenshot PNG]]\n"
    "  without run: the main window, for a person\n"
    "  run: chooses the command; the dialog plays the actions of FILE (its end closes it),\n"
    "       prints its caption and client size and saves its pictures, then the program ends\n"
    "       (--window-screenshot: the main window once the command has finished)\n"
    "       hamhost-gui --help | --version\n";

fs::path DefaultProfile()
{
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return fs::path(data) / "hamhost";
    const char* home = std::getenv("HOME");
    return fs::path(home ? home : ".") / ".local/share/hamhost";
}

// Qt would abort without a display; say so and name the ways out.
bool DisplayAvailable()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform && std::string(platform).rfind("xcb", 0) != 0 &&
        std::string(platform).rfind("wayland", 0) != 0)
        return true; // offscreen, vnc, ...: the platform needs no display
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value && *value) return true;
    return false;
}

struct TArguments {
    THostOptions Options;
    std::optional<std::string> Run;
    TScriptedRun Script;
};

// False for arguments that make no sense.
bool Parse(const std::vector<std::string>& args, TArguments& parsed)
{
    std::size_t i = 0;
    for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
        if (args[i] == "--profile" && i + 1 < args.size())
            parsed.Options.Profile = args[++i];
        else if (args[i] == "--plugins" && i + 1 < args.size())
            parsed.Options.PluginDir = args[++i];
        else
            return false;
    }
    if (i == args.size()) return true;
    if (args[i] != "run" || i + 1 >= args.size()) return false;
    parsed.Run = args[++i];
    parsed.Script.Active = true;
    for (++i; i < args.size(); ++i) {
        if (i + 1 >= args.size()) return false;
        const QString value = QString::fromStdString(args[i + 1]);
        if (args[i] == "--actions")
            parsed.Script.Actions = value;
        else if (args[i] == "--screenshot")
            parsed.Script.Screenshot = value;
        else if (args[i] == "--final-screenshot")
            parsed.Script.FinalScreenshot = value;
        else if (args[i] == "--window-screenshot")
            parsed.Script.WindowScreenshot = value;
        else
            return false;
        ++i;
    }
    // Without actions the dialog is the user's, as usual.
    if (parsed.Script.Actions.isEmpty()) parsed.Script.Active = false;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    TArguments parsed;
    parsed.Options.AppPath = ProgramFolder();
    parsed.Options.PluginDir = ProgramPluginFolder();
    parsed.Options.Profile = DefaultProfile();
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << Usage;
        return 0;
    }
    if (!args.empty() && args[0] == "--version") {
        std::cout << "hamhost-gui " HAM_VERSION "\n";
        return 0;
    }
    if (!Parse(args, parsed)) {
        std::cerr << Usage;
        return 2;
    }
    if (!DisplayAvailable()) {
        std::cerr << "hamhost-gui: no display (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "Run it in a desktop session, under a virtual display (xvfb-run -a hamhost-gui ...),\n"
                     "without a screen (QT_QPA_PLATFORM=offscreen hamhost-gui ...), or use the console\n"
                     "host: hamhost.\n";
        return 1;
    }
    // A profile may carry its own registry file (the demo's logger).
    const fs::path& profile = parsed.Options.Profile;
    if (!std::getenv("HKCU_REGISTRY_FILE") && fs::exists(profile / "hkcu.reg"))
        setenv("HKCU_REGISTRY_FILE", (profile / "hkcu.reg").c_str(), 1);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("hamhost"));
    QApplication::setApplicationDisplayName(QStringLiteral("hamhost"));
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);

    TMainWindow window(profile);
    window.Script = parsed.Script;
    THostOptions options = parsed.Options;
    options.ApplicationHandle = window.Handle();
    options.OnLog = [&](const std::string& line) { window.AppendLog(line); };
    options.OnCommand = [&](const std::string& name, const std::string& parameter) { window.Command(name, parameter); };
    options.OnModal = [&](bool begin) { window.Modal(begin); };
    options.OnMessage = [&](const std::string& caption, const std::string& text) { window.Message(caption, text); };

    std::optional<THost> host;
    try {
        host.emplace(options);
        host->LoadPlugins();
    } catch (const std::exception& error) {
        if (parsed.Run) {
            std::cerr << "hamhost-gui: " << error.what() << "\n";
        } else {
            QMessageBox::critical(nullptr, QStringLiteral("hamhost"), QString::fromUtf8(error.what()));
        }
        return 1;
    }
    for (const auto& skipped : host->Skipped())
        std::cerr << "hamhost-gui: skipped " << skipped.File.filename().string() << ": " << skipped.Reason << "\n";
    for (const auto& plugin : host->Plugins())
        if (plugin->InitResult != S_OK)
            std::cerr << plugin->File.filename().string() << ": refused (0x" << std::hex
                      << static_cast<std::uint32_t>(plugin->InitResult) << std::dec << ")\n";
    window.Attach(*host);
    window.show();

    if (!parsed.Run) {
        const int code = app.exec();
        host->UnloadAll();
        return code;
    }
    // Choose the command from inside the running application, as a person would.
    int code = 0;
    QTimer::singleShot(0, &window, [&] {
        if (!host->FindCommand(*parsed.Run)) {
            std::cerr << "hamhost-gui: No menu command \"" << *parsed.Run << "\"\n";
            code = 2;
        } else {
            code = window.RunCommand(QString::fromStdString(*parsed.Run)) < 0 ? 1 : 0;
            std::cout << "Refreshes: " << window.Refreshes() << "\n"
                      << "Callbook rows: " << window.CallbookRows() << std::endl;
            if (!parsed.Script.WindowScreenshot.isEmpty() && !window.grab().save(parsed.Script.WindowScreenshot))
                std::cerr << "hamhost-gui: cannot write " << parsed.Script.WindowScreenshot.toStdString() << "\n";
        }
        QApplication::quit();
    });
    app.exec();
    host->UnloadAll();
    return code;
}
