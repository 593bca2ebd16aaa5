#include "PluginAPI/Plugins/PluginSupport.h"

#include "PluginAPI/Plugins/Helpers.h"

namespace {
WindowHandle ApplicationHandle = 0;
}

WindowHandle GetApplicationHandle()
{
    return ApplicationHandle;
}
void SetApplicationHandle(WindowHandle handle)
{
    ApplicationHandle = handle;
}

TPluginMenuItem::TPluginMenuItem(ICore* core, std::int32_t kind)
{
    MenuManager = ComPtr<IMenuManager>::Query(core, IID_IMenuManager);
    HAM_ASSERT(MenuManager);
    try {
        CheckHostResult(MenuManager->CreateMenuItem(Item.Out()));
        CheckHostResult(Item->SetCaption(WideString("PluginMenuItem").c_bstr()));
        CheckHostResult(Item->SetHint(nullptr));
        CheckHostResult(Item->SetKind(kind));
        CheckHostResult(Item->SetEnabled(TRUE32));
        CheckHostResult(Item->SetTag(0));
        CheckHostResult(Item->SetOnClick(this));
    } catch (...) {
        try {
            Destroy();
        } catch (...) {
        }
        throw;
    }
}

TPluginMenuItem::~TPluginMenuItem()
{
    try {
        Destroy();
    } catch (...) {
        // Destruction cannot report; Destroy has released everything anyway.
    }
}

void TPluginMenuItem::Destroy()
{
    HRESULT hr = S_OK;
    if (MenuManager && Item) hr = MenuManager->DeleteMenuItem(Item.AddressOf());
    MenuManager.Reset();
    Item.Reset();
    CheckHostResult(hr);
}

HRESULT TPluginMenuItem::QueryInterface(const GUID& iid, void** obj)
{
    if (!obj) return E_POINTER;
    if (iid == IID_IInterface || iid == IID_INotifyEvent) {
        *obj = static_cast<INotifyEvent*>(this);
        return S_OK;
    }
    *obj = nullptr;
    return E_NOINTERFACE;
}

HRESULT TPluginMenuItem::Notify(IInterface* sender)
{
    return SafeCall("TPluginMenuItem", [&] {
        ComPtr<IInterface> keep(sender);
        Click();
    });
}

void TPluginMenuItem::Click()
{
    BOOL32 enabled = 0;
    CheckHostResult(Item->GetEnabled(&enabled));
    if (enabled && OnClick) OnClick(*this);
}
