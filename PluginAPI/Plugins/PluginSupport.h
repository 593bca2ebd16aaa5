// The plug-in's menu command and the library's application window.
#pragma once

#include "Platform/OleAuto/ComPtr.h"
#include "PluginAPI/PluginAPI.h"

#include <functional>

// The window that owns every window of this library (none when 0).
WindowHandle GetApplicationHandle();
void SetApplicationHandle(WindowHandle handle);

// A host menu command owned by the plug-in object; not reference counted:
// AddRef and Release do nothing.
class TPluginMenuItem final : public INotifyEvent {
public:
    using TClickHandler = std::function<void(TPluginMenuItem& sender)>;

    TPluginMenuItem(ICore* core, std::int32_t kind);
    ~TPluginMenuItem();
    TPluginMenuItem(const TPluginMenuItem&) = delete;
    TPluginMenuItem& operator=(const TPluginMenuItem&) = delete;

    HRESULT PLUGIN_CALL QueryInterface(const GUID& iid, void** obj) override;
    std::int32_t PLUGIN_CALL AddRef() override { return -1; }
    std::int32_t PLUGIN_CALL Release() override { return -1; }
    HRESULT PLUGIN_CALL Notify(IInterface* sender) override;

    // Runs OnClick when the host reports the command enabled.
    void Click();
    // Deletes the host command and releases the host references; raises the
    // host's failure after releasing everything.
    void Destroy();

    ComPtr<IMenuManager> MenuManager;
    ComPtr<IMenuItem> Item;
    TClickHandler OnClick;
};
