// The action language never crashes a dialog: any text, line by line, on a
// form with one control of each kind ends in a performed action, a report or
// a handler's exception.
#include "Platform/Forms/Forms.h"
#include "tests/Platform/Forms/TestForm.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace Forms;

namespace {

// No user: file dialogs are cancelled, nothing else is asked of a driver
// outside its modal loop.
class TNoUser : public IModalDriver {
public:
    void RunModal(TForm&) override {}
    void ProcessMessages(TForm&) override {}
    std::optional<std::string> ExecuteFileDialog(TForm&, const TFileDialog&) override { return std::nullopt; }
    void ShowException(TForm&, const std::exception&) override {}
    void BusyChanged(TForm&, bool) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    TNoUser noUser;
    FormsTesting::TTestForm form;
    form.SetDriver(&noUser);
    auto ignore = [](std::string_view) {};
    auto ignoreError = [](const std::exception&) {};
    while (!input.empty()) {
        std::size_t end = input.find('\n');
        PerformAction(form, input.substr(0, end), ignore, ignoreError);
        if (end == std::string_view::npos) break;
        input.remove_prefix(end + 1);
    }
    form.SetDriver(nullptr);
    return 0;
}
