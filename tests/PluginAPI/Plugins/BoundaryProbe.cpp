// A shared object standing in for a plug-in: raises inside an interface
// method, and turns a failure of a "host" function into an exception.
#include "PluginAPI/Plugins/Helpers.h"

#include <cstring>

extern "C" __attribute__((visibility("default"))) HRESULT ProbeRaise(int kind)
{
    return SafeCall("TProbe", [&] {
        switch (kind) {
        case 0:
            throw EInvalidCoreVersion("This plugin needs windows support.");
        case 1:
            throw EOSError("Access denied", 5);
        case 2:
            throw EOSError("No error", 0);
        case 3:
            throw Exception("plain");
        case 4:
            throw EConvertError("'x' is not a valid integer value");
        default:
            throw 42;
        }
    });
}

extern "C" __attribute__((visibility("default"))) void ProbeInbound(HRESULT (*host)(), char* out, std::size_t size)
{
    std::string text;
    try {
        CheckHostResult(host());
        text = "ok";
    } catch (const EOSError& e) {
        text = std::string(e.ClassName()) + "|" + e.Message() + "|" + std::to_string(e.ErrorCode());
    } catch (const EOleException& e) {
        text = std::string(e.ClassName()) + "|" + e.Message() + "|" + e.Source();
    } catch (const Exception& e) {
        text = std::string(e.ClassName()) + "|" + e.Message();
    }
    std::strncpy(out, text.c_str(), size - 1);
    out[size - 1] = 0;
}
