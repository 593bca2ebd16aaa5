#include "PluginAPI/Plugins/PluginEntry.h"

TPlugin::TPlugin(ICore* core, const TPluginValues& values, const char* assertFile, int assertLine)
    : Core(core), values_(values)
{
    try {
        std::int32_t version = 0;
        CheckHostResult(Core->GetVersion(&version));
        if (version < RequiredCoreVersion) AssertionFailure(assertFile, assertLine);
        Kernel = ComPtr<IHostKernel>::Query(core, IID_IHostKernel);
        Server = ComPtr<IHostServer>::Query(core, IID_IHostServer);
        if (!Server)
            throw EUnsupportedCore("Host does not support required functionality.\r\n"
                                   "Upgrade your application to latest version.");
        Windows = ComPtr<IApplicationWindows>::Query(core, IID_IApplicationWindows);
        if (!Windows) throw EInvalidCoreVersion("This plugin needs windows support.");
        WindowHandle handle = 0;
        CheckHostResult(Windows->GetApplicationHandle(&handle));
        SetApplicationHandle(handle);

        MenuItem = std::make_unique<TPluginMenuItem>(core, values_.Kind);
        MenuItem->OnClick = [this](TPluginMenuItem&) { ClickAction(); };
        CheckHostResult(MenuItem->Item->SetCaption(WideString(values_.MenuCaption).c_bstr()));
        CheckHostResult(MenuItem->Item->SetHint(WideString(values_.MenuHint).c_bstr()));
    } catch (...) {
        ReleaseSteps();
        throw;
    }
}

TPlugin::~TPlugin()
{
    ReleaseSteps();
}

void TPlugin::ReleaseSteps()
{
    std::exception_ptr failure;
    if (auto item = std::move(MenuItem)) {
        try {
            item->Destroy();
        } catch (...) {
            failure = std::current_exception();
        }
    }
    SetApplicationHandle(0);
    Server.Reset();
    Kernel.Reset();
    Windows.Reset();
    Core.Reset();
    if (failure && std::uncaught_exceptions() == 0) std::rethrow_exception(failure);
}

void* TPlugin::QueryInterfaceImpl(const GUID& iid)
{
    if (iid == IID_IInterface || iid == IID_IDestroyNotify) return static_cast<IDestroyNotify*>(this);
    if (iid == IID_IPlugin) return static_cast<IPlugin*>(this);
    return nullptr;
}

HRESULT TPlugin::Destroying()
{
    return SafeCall(ClassName(), [&] { ReleaseSteps(); });
}

HRESULT TPlugin::GetID(GUID* id)
{
    return SafeCall(ClassName(), [&] {
        if (!id) throw EArgumentException("GetID: no result variable");
        *id = values_.ID;
    });
}

HRESULT TPlugin::Text(BSTR* out, const std::string& text)
{
    return SafeCall(ClassName(), [&] {
        if (!out) throw EArgumentException("No result variable");
        *out = nullptr;
        *out = WideString(text).Detach();
    });
}

HRESULT TPlugin::GetName(BSTR* name)
{
    return Text(name, values_.Name);
}
HRESULT TPlugin::GetVersion(BSTR* version)
{
    return Text(version, values_.Version);
}
HRESULT TPlugin::GetCopyright(BSTR* text)
{
    return Text(text, PluginCopyright);
}
HRESULT TPlugin::GetHomePage(BSTR* page)
{
    return Text(page, PluginHomePage);
}
HRESULT TPlugin::GetEmail(BSTR* mail)
{
    return Text(mail, PluginEmail);
}

HRESULT TPlugin::GetKind(std::int32_t* kind)
{
    return SafeCall(ClassName(), [&] {
        if (!kind) throw EArgumentException("GetKind: no result variable");
        *kind = values_.Kind;
    });
}

void TPlugin::ClickAction()
{
    for (const auto& column : values_.ProbeColumns) {
        BOOL32 exists = 0;
        CheckHostResult(Server->FieldExists(WideString("CALLBOOK").c_bstr(), WideString(column).c_bstr(), &exists));
        if (!exists) {
            std::int32_t pressed = 0;
            CheckHostResult(
                Kernel->MessageBox(WideString("Invalid DB structure, upgrade it to version 1.04.019 or re-create.\r\n"
                                              "(Use service plugin Kelt" +
                                              std::to_string(RequiredCoreVersion) + ".ext if needed)")
                                       .c_bstr(),
                                   WideString("Critical warning").c_bstr(), 0, 4, &pressed));
            return;
        }
    }
    if (values_.ShowDialog) values_.ShowDialog(*this);
}

HRESULT CreatePluginObject(ICore* core, IPlugin** plugin, const TPluginValues& values, const char* assertFile,
                           int assertLine) noexcept
{
    if (!plugin) return E_UNEXPECTED;
    *plugin = nullptr;
    try {
        if (!core) return E_UNEXPECTED;
        TPlugin* object = CheckedCreate<TPlugin>(core, values, assertFile, assertLine);
        object->CheckedAddRef();
        *plugin = object;
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}
