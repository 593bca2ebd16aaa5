// The plug-in object every library exports: checks the host, identifies the
// plug-in, registers its menu command and runs its click action.
#pragma once

#include "PluginAPI/Plugins/Helpers.h"
#include "PluginAPI/Plugins/PluginSupport.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TPlugin;

// The host lacks database access.
HAM_DECLARE_BASE_EXCEPTION(EUnsupportedCore, EBaseException)

// What differs between the libraries.
struct TPluginValues {
    GUID ID{};
    std::string Name;
    std::string Version;
    std::int32_t Kind = 0;
    std::string MenuCaption;
    std::string MenuHint;
    std::vector<std::string> ProbeColumns; // CALLBOOK columns checked before the dialog opens
    std::string DialogCaption;
    std::string Section; // settings section of the dialog
    // Creates, sets up, shows and destroys the dialog; empty: nothing to show.
    std::function<void(TPlugin&)> ShowDialog;
};

// Maker's texts returned through IPlugin.
inline constexpr const char* PluginCopyright = "Copyright (c) 2026 The Zemrak Bridge developers";
inline constexpr const char* PluginHomePage = "https://zemrak-bridge.example.org/";
inline constexpr const char* PluginEmail = "plugins@zemrak-bridge.example.org";

class TPlugin final : public TCheckedInterfacedObject, public IDestroyNotify, public IPlugin {
public:
    // assertFile/assertLine: the entry unit's place named by a failed version check.
    TPlugin(ICore* core, const TPluginValues& values, const char* assertFile, int assertLine);
    ~TPlugin() override;

    const char* ClassName() const noexcept override { return "TPlugin"; }
    HAM_CHECKED_IINTERFACE

    HRESULT PLUGIN_CALL Destroying() override;
    HRESULT PLUGIN_CALL GetID(GUID* id) override;
    HRESULT PLUGIN_CALL GetName(BSTR* name) override;
    HRESULT PLUGIN_CALL GetVersion(BSTR* version) override;
    HRESULT PLUGIN_CALL GetKind(std::int32_t* kind) override;
    HRESULT PLUGIN_CALL GetCopyright(BSTR* text) override;
    HRESULT PLUGIN_CALL GetHomePage(BSTR* page) override;
    HRESULT PLUGIN_CALL GetEmail(BSTR* mail) override;

    // Probes the host callbook, then opens the dialog.
    void ClickAction();

    const TPluginValues& Values() const { return values_; }
    ComPtr<ICore> Core;
    ComPtr<IApplicationWindows> Windows;
    ComPtr<IHostKernel> Kernel;
    ComPtr<IHostServer> Server;
    std::unique_ptr<TPluginMenuItem> MenuItem;

private:
    void* QueryInterfaceImpl(const GUID& iid);
    void ReleaseSteps();
    HRESULT Text(BSTR* out, const std::string& text);

    TPluginValues values_;
};

// Body of the initialisation export.
HRESULT CreatePluginObject(ICore* core, IPlugin** plugin, const TPluginValues& values, const char* assertFile,
                           int assertLine) noexcept;

// Defines the library's two exports under their exact names. Use once, in the
// entry unit, with a function returning the library's values.
#define HAM_PLUGIN_EXPORTS(ValuesFunction)                                                                             \
    extern "C" __attribute__((used)) HRESULT PLUGIN_CALL HamPluginInit(ICore* core, IPlugin** plugin)                  \
    {                                                                                                                  \
        return CreatePluginObject(core, plugin, ValuesFunction(), __FILE__, __LINE__);                                 \
    }                                                                                                                  \
    extern "C" __attribute__((used)) HRESULT PLUGIN_CALL HamPluginDone()                                               \
    {                                                                                                                  \
        return 0;                                                                                                      \
    }                                                                                                                  \
    asm(".globl \"" PLUGIN_INIT_EXPORT "\"\n.set \"" PLUGIN_INIT_EXPORT "\", HamPluginInit\n"                          \
        ".globl \"" PLUGIN_DONE_EXPORT "\"\n.set \"" PLUGIN_DONE_EXPORT "\", HamPluginDone\n");
