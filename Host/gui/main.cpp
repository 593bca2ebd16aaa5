// hamhost-gui: the host as a desktop program.
#include "Host/Host.h"
#include "Host/HostObjects.h"
#include "Host/gui/MainWindow.h"

#include <QApplication>
#include <QMessageBox>
#include <QStyleFactory>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <optional>

namespace {

constexpr const char* Usage =
    "usage: hamhost-gui [--profile DIR] [--plugins DIR] [run \"MENU CAPTION\" [--actions FILE]\n"
    "                   [--screenshot PNG] [--final-screenshot PNG] [--window-screenshot PNG]]\n"
    "  without run: the main window, for a person\n"
    "  run: chooses the command; the dialog plays the actions of FILE (its end closes it),\n"
    "       prints its caption and client size and saves its pictures, then the program ends\n"
    "       (--window-screenshot: the main window once the command has finished)\n";

fs::path DefaultProfile() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return fs::path(data) / "hamhost";
    const char* home = std::getenv("HOME");
    return fs::path(home ? home : ".") / ".local/share/hamhost";
}

fs::path ProgramFolder() {
    std::error_code ec;
    auto exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path() : exe.parent_path();
}

struct TArguments {
    THostOptions Options;
    std::optional<std::string> Run;
    TScriptedRun Script;
};

// False for arguments that make no sense.
bool Parse(const std::vector<std::string>& args, TArguments& parsed) {
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

int main(int argc, char** argv) {
    TArguments parsed;
    parsed.Options.AppPath = ProgramFolder();
    parsed.Options.PluginDir = parsed.Options.AppPath;
    parsed.Options.Profile = DefaultProfile();
    if (!Parse(std::vector<std::string>(argv + 1, argv + argc), parsed)) {
        std::cerr << Usage;
        return 2;
    }
    // A profile may carry its own registry file (the demo's logger).
    const fs::path& profile = parsed.Options.Profile;
    if (!std::getenv("HKCU_REGISTRY_FILE") && fs::exists(profile / "hkcu.reg"))
        setenv("HKCU_REGISTRY_FILE", (profile / "hkcu.reg").c_str(), 1);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("hamhost"));
    QApplication::setApplicationDisplayName(QStringLiteral("hamhost"));
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);

    TMainWindow window(profile);
    window.Script = parsed.Script;
    THostOptions options = parsed.Options;
    options.ApplicationHandle = window.Handle();
    options.OnLog = [&](const std::string& line) { window.AppendLog(line); };
    options.OnCommand = [&](const std::string& name, const std::string& parameter) {
        window.Command(name, parameter);
    };
    options.OnModal = [&](bool begin) { window.Modal(begin); };
    options.OnMessage = [&](const std::string& caption, const std::string& text) {
        window.Message(caption, text);
    };

    std::optional<THost> host;
    try {
        host.emplace(options);
        host->LoadPlugins();
    } catch (const std::exception& error) {
        if (parsed.Run) {
            std::cerr << "hamhost-gui: " << error.what() << "\n";
        } else {
            QMessageBox::critical(nullptr, QStringLiteral("hamhost"),
                                  QString::fromUtf8(error.what()));
        }
        return 1;
    }
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
        const auto& menu = host->Menu();
        const bool known = std::any_of(menu.begin(), menu.end(), [&](const TMenuCommand& c) {
            return c.Item->Caption == *parsed.Run;
        });
        if (!known) {
            std::cerr << "hamhost-gui: No menu command \"" << *parsed.Run << "\"\n";
            code = 2;
        } else {
            code = window.RunCommand(QString::fromStdString(*parsed.Run)) < 0 ? 1 : 0;
            std::cout << "Refreshes: " << window.Refreshes() << "\n"
                      << "Callbook rows: " << window.CallbookRows() << std::endl;
            if (!parsed.Script.WindowScreenshot.isEmpty() &&
                !window.grab().save(parsed.Script.WindowScreenshot))
                std::cerr << "hamhost-gui: cannot write "
                          << parsed.Script.WindowScreenshot.toStdString() << "\n";
        }
        QApplication::quit();
    });
    app.exec();
    host->UnloadAll();
    return code;
}
