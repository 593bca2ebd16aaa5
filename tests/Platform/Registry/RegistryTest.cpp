#include "Platform/Registry/Registry.h"
#include "Platform/Registry/WineRegistry.h"
#include "tests/Support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace fs = std::filesystem;

namespace {

void Write(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value != nullptr)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

const char* const kSample = "Windows Registry Editor Version 5.00\r\n"
                            "\r\n"
                            "; a comment\r\n"
                            "\"Orphan\"=\"before any key\"\r\n"
                            "[HKEY_CURRENT_USER\\Software\\Zemrak_Log3]\r\n"
                            "\"InstallPath\"=\"/opt/zemrak/\"\r\n"
                            "\"Quoted\"=\"say \\\"hi\\\" C:\\\\Logs\\\\ \\n\"\r\n"
                            "@=\"default\"\r\n"
                            "\"Count\"=dword:0000002a\r\n"
                            "\"Multi\"=hex(1):41,00,42,00,\\\r\n"
                            "  43,00,00,00\r\n"
                            "\"Broken1\"=\"no end\r\n"
                            "\"Broken2\" \"no equals\"\r\n"
                            "\"Broken3\"=dword:xyz\r\n"
                            "Garbage line\r\n"
                            "\"Empty\"=\"\"\r\n"
                            "\"Removed\"=\"x\"\r\n"
                            "\"Removed\"=-\r\n"
                            "\"Twice\"=\"first\"\r\n"
                            "\"twice\"=\"second\"\r\n"
                            "[HKEY_CURRENT_USER\\Software\\Gone\\Sub]\r\n"
                            "\"v\"=\"1\"\r\n"
                            "[-HKEY_CURRENT_USER\\Software\\Gone]\r\n"
                            "[HKEY_CURRENT_USER\\Software\\Unclosed\r\n"
                            "\"Lost\"=\"value of a malformed key line\"\r\n"
                            "[HKEY_LOCAL_MACHINE\\Software\\Zemrak_Log3]\r\n"
                            "\"InstallPath\"=\"/machine/\"\r\n";

TEST(RegistryParse, ReadsValuesAndSkipsWhatItCannotRead)
{
    const TRegistryData data = TRegistryData::Parse(kSample);
    const TRegistryKey* key = data.FindKey("hkey_current_user\\SOFTWARE\\zemrak_log3");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->FindValue("installpath")->Text, "/opt/zemrak/");
    EXPECT_EQ(key->FindValue("Quoted")->Text, "say \"hi\" C:\\Logs\\ \\n");
    EXPECT_EQ(key->FindValue("")->Text, "default");
    EXPECT_EQ(key->FindValue("Count")->Type, TRegDataType::DWord);
    EXPECT_EQ(key->FindValue("Count")->Number, 42u);
    EXPECT_EQ(key->FindValue("Multi")->Text, "ABC");
    EXPECT_EQ(key->FindValue("Empty")->Text, "");
    EXPECT_EQ(key->FindValue("Twice")->Text, "second");
    for (const char* name : {"Broken1", "Broken2", "Broken3", "Removed", "Orphan", "Lost"})
        EXPECT_EQ(key->FindValue(name), nullptr) << name;
    EXPECT_EQ(key->Values.size(), 7u);

    EXPECT_TRUE(data.KeyExists("HKCU\\Software")); // parents exist
    EXPECT_FALSE(data.KeyExists("HKEY_CURRENT_USER\\Software\\Gone"));
    EXPECT_FALSE(data.KeyExists("HKEY_CURRENT_USER\\Software\\Gone\\Sub"));
    EXPECT_FALSE(data.KeyExists("HKEY_CURRENT_USER\\Software\\Unclosed"));
    EXPECT_EQ(data.FindKey("HKLM\\Software\\Zemrak_Log3")->FindValue("InstallPath")->Text, "/machine/");

    // Keys lie below a root; a name that only looks like a deletion is none.
    EXPECT_TRUE(TRegistryData::Parse("[Software\\X]\n\"a\"=\"b\"").Keys().empty());
    EXPECT_TRUE(TRegistryData::Parse("[\\-HKEY_CURRENT_USER\\X]\n\"a\"=\"b\"").Keys().empty());
}

TEST(RegistryParse, Utf16FileWithByteOrderMark)
{
    const std::string text =
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n\"P\"=\"\xC3\xBC/\xF0\x9F\x93\xBB\"\n";
    std::string utf16 = "\xFF\xFE";
    // Encode the UTF-8 sample as UTF-16LE by hand (BMP letters and one pair).
    const std::u16string u =
        u"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n\"P\"=\"\u00FC/\U0001F4FB\"\n";
    for (char16_t c : u) {
        utf16 += static_cast<char>(c & 0xFF);
        utf16 += static_cast<char>(c >> 8);
    }
    for (const std::string& file : {text, "\xEF\xBB\xBF" + text, utf16}) {
        const TRegistryData data = TRegistryData::Parse(file);
        ASSERT_TRUE(data.KeyExists("HKEY_CURRENT_USER\\K"));
        EXPECT_EQ(data.FindKey("HKEY_CURRENT_USER\\K")->FindValue("P")->Text, "\xC3\xBC/\xF0\x9F\x93\xBB");
    }
}

TEST(RegistryParse, NeverFailsOnOddInput)
{
    const char* inputs[] = {"",
                            "\xFF\xFE",
                            "\xFF\xFE\x41",
                            "[",
                            "[]",
                            "[\\]",
                            "\"",
                            "\"a\"=",
                            "@",
                            "@=hex(",
                            "[HKCU\\K]\n\"a\"=hex:zz",
                            "[HKCU\\K]\n\"a\"=hex(7):4",
                            "[HKCU\\K]\n\"a\"=\\\n",
                            "[HKCU\\K]\n\"a\\\"=\"x\""};
    for (const char* input : inputs) {
        const TRegistryData data = TRegistryData::Parse(input);
        EXPECT_LE(data.Keys().size(), 2u) << input;
        for (const TRegistryKey& key : data.Keys())
            EXPECT_TRUE(key.Values.empty()) << input;
    }
}

TEST(Registry, ReadsTheInstallPathLikeTheLogger)
{
    TTempDir dir{"regtest"};
    const std::string file = dir.File("hkcu.reg");
    Write(file, kSample);
    TRegistry reg(file);
    EXPECT_EQ(reg.RootKey, "HKEY_CURRENT_USER");
    ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\Zemrak_Log3"));
    EXPECT_TRUE(reg.ValueExists("InstallPath"));
    EXPECT_EQ(reg.ReadString("InstallPath"), "/opt/zemrak/");
    EXPECT_FALSE(reg.ValueExists("Missing"));
    EXPECT_EQ(reg.ReadString("Missing"), "");
    EXPECT_EQ(reg.ReadInteger("Count"), 42);
    EXPECT_THROW(reg.ReadString("Count"), ERegistryException);
    EXPECT_THROW(reg.ReadInteger("InstallPath"), ERegistryException);
    EXPECT_EQ(reg.GetValueNames().size(), 7u);
    reg.CloseKey();
    EXPECT_FALSE(reg.ValueExists("InstallPath"));

    // Relative to the open key, or from the root with a leading '\'.
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software"));
    ASSERT_TRUE(reg.OpenKeyReadOnly("Zemrak_Log3"));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Zemrak_Log3");
    EXPECT_FALSE(reg.OpenKeyReadOnly("\\Software\\Nothing"));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Zemrak_Log3"); // a failed open keeps the key

    TRegistry machine(file);
    machine.RootKey = "HKEY_LOCAL_MACHINE";
    ASSERT_TRUE(machine.OpenKeyReadOnly("Software\\Zemrak_Log3"));
    EXPECT_EQ(machine.ReadString("InstallPath"), "/machine/");

    TRegistry none(dir.File("missing.reg"));
    EXPECT_FALSE(none.OpenKeyReadOnly("Software\\Zemrak_Log3"));
    EXPECT_FALSE(none.ValueExists("InstallPath"));
    EXPECT_EQ(none.ReadString("InstallPath"), "");
}

TEST(Registry, FileLocationFromTheEnvironment)
{
    {
        ScopedEnv file("HKCU_REGISTRY_FILE", "/etc/x/my.reg");
        EXPECT_EQ(RegistryFilePath(), "/etc/x/my.reg");
    }
    ScopedEnv file("HKCU_REGISTRY_FILE", nullptr);
    ScopedEnv home("HOME", "/home/op");
    {
        ScopedEnv config("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(RegistryFilePath(), "/cfg/hkcu.reg");
    }
    {
        ScopedEnv config("XDG_CONFIG_HOME", "relative/ignored");
        EXPECT_EQ(RegistryFilePath(), "/home/op/.config/hkcu.reg");
    }
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(RegistryFilePath(), "/home/op/.config/hkcu.reg");

    TTempDir dir{"regtest"};
    const std::string path = dir.File("env.reg");
    WriteRegistryString(path, "HKEY_CURRENT_USER\\Software\\Zemrak_Log3", "InstallPath", "/from/env/");
    ScopedEnv pointed("HKCU_REGISTRY_FILE", path.c_str());
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\Zemrak_Log3"));
    EXPECT_EQ(reg.ReadString("InstallPath"), "/from/env/");
}

TEST(RegistryWriter, RoundTripsAndKeepsOtherValues)
{
    TTempDir dir{"regtest"};
    const std::string path = dir.File("sub/folder/hkcu.reg"); // folders are created
    const std::string odd = "C:\\Program Files\\\"Log\"\\ line\nbreak \xC3\xA9";
    WriteRegistryString(path, "HKEY_CURRENT_USER\\Software\\Zemrak_Log3", "InstallPath", "/opt/zemrak/");
    WriteRegistryString(path, "HKCU\\Software\\Other", "Odd", odd);
    WriteRegistryString(path, "HKEY_CURRENT_USER\\Software\\Zemrak_Log3", "", "dflt");

    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Zemrak_Log3]\n\"InstallPath\"=\"/opt/zemrak/\"\n@=\"dflt\"\n"),
              std::string::npos)
        << text;

    TRegistry reg(path);
    ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\Zemrak_Log3"));
    EXPECT_EQ(reg.ReadString("InstallPath"), "/opt/zemrak/");
    EXPECT_EQ(reg.ReadString(""), "dflt");
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\Other"));
    EXPECT_EQ(reg.ReadString("Odd"), odd);

    TRegistryData data = TRegistryData::LoadFromFile(path);
    data.SetDWord("HKEY_CURRENT_USER\\Software\\Other", "N", 7);
    data.DeleteKey("HKEY_CURRENT_USER\\Software\\Zemrak_Log3");
    data.SaveToFile(path);
    TRegistry again(path);
    EXPECT_FALSE(again.OpenKeyReadOnly("Software\\Zemrak_Log3"));
    ASSERT_TRUE(again.OpenKeyReadOnly("Software\\Other"));
    EXPECT_EQ(again.ReadInteger("N"), 7);
    EXPECT_EQ(again.ReadString("Odd"), odd);

    EXPECT_THROW(data.SetString("", "x", "y"), ERegistryException);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("sub/folder")), fs::directory_iterator()), 1);
}

} // namespace

// --- Wine's own registry ---

namespace {

// A user.reg as Wine writes it: keys relative to HKEY_CURRENT_USER with
// doubled backslashes and a time stamp, #time= lines, typed strings.
const char* const kWineUserReg = "WINE REGISTRY Version 2\n"
                                 ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n"
                                 "\n"
                                 "#arch=win64\n"
                                 "\n"
                                 "[Control Panel\\\\Desktop] 1733900000\n"
                                 "#time=1d94bbf5b0c0e10\n"
                                 "\"Wallpaper\"=\"\"\n"
                                 "\n"
                                 "[Software\\\\Zemrak_Log3] 1733900001\n"
                                 "#time=1d94bbf5b0c0e11\n"
                                 "\"InstallPath\"=\"C:\\\\Program Files\\\\Zemrak_Log3\\\\\"\n"
                                 "\"Data\"=str(2):\"%USERPROFILE%\\\\Zemrak\"\n"
                                 "\"Owner\"=\"M\\x00fcller \\\"Max\\\"\\tDL1ABC\"\n"
                                 "\"Runs\"=dword:0000002a\n"
                                 "\"Blob\"=hex:01,02,\\\n"
                                 "  03,04\n"
                                 "\"Other\"=\"D:\\\\Logs\\\\\"\n"
                                 "\n"
                                 "[Software\\\\Wine\\\\Drives] 1733900002\n"
                                 "@=\"default\"\n";

void MakeFolder(const fs::path& path)
{
    fs::create_directories(path);
}

} // namespace

TEST(WineRegistry, KeysValuesAndEscapesAreRead)
{
    const TRegistryData data = TRegistryData::Parse(kWineUserReg);
    EXPECT_TRUE(data.IsWine());
    const TRegistryKey* key = data.FindKey("HKEY_CURRENT_USER\\Software\\Zemrak_Log3");
    ASSERT_NE(key, nullptr);
    ASSERT_NE(key->FindValue("InstallPath"), nullptr);
    EXPECT_EQ(key->FindValue("InstallPath")->Text, "C:\\Program Files\\Zemrak_Log3\\");
    EXPECT_EQ(key->FindValue("Data")->Type, TRegDataType::ExpandString);
    EXPECT_EQ(key->FindValue("Data")->Text, "%USERPROFILE%\\Zemrak");
    EXPECT_EQ(key->FindValue("Owner")->Text, "M\xC3\xBCller \"Max\"\tDL1ABC");
    EXPECT_EQ(key->FindValue("Runs")->Number, 42u);
    EXPECT_EQ(key->FindValue("Blob")->Bytes, std::string("\x01\x02\x03\x04"));
    ASSERT_NE(data.FindKey("HKCU\\Software\\Wine\\Drives"), nullptr);
    EXPECT_EQ(data.FindKey("HKCU\\Software\\Wine\\Drives")->FindValue("")->Text, "default");
    EXPECT_NE(data.FindKey("HKEY_CURRENT_USER\\Control Panel\\Desktop"), nullptr);
    EXPECT_FALSE(TRegistryData::Parse(kSample).IsWine());
}

TEST(WineRegistry, WindowsPathsMapIntoThePrefixWithoutRegardToCase)
{
    TTempDir dir{"regtest"};
    const std::string prefix = dir.File("wine");
    MakeFolder(prefix + "/drive_c/program files/ZEMRAK_LOG3/DB");
    MakeFolder(dir.File("logs-drive/Logs"));
    MakeFolder(prefix + "/dosdevices");
    fs::create_directory_symlink("../drive_c", prefix + "/dosdevices/c:");
    fs::create_directory_symlink(dir.File("logs-drive"), prefix + "/dosdevices/d:");

    const struct {
        const char* Windows;
        std::string Unix;
    } cases[] = {
        {"C:\\Program Files\\Zemrak_Log3\\", prefix + "/drive_c/program files/ZEMRAK_LOG3/"},
        {"c:/program files/zemrak_log3/db", prefix + "/drive_c/program files/ZEMRAK_LOG3/DB"},
        {"C:\\Program Files\\Zemrak_Log3\\db\\logs.mdb", prefix + "/drive_c/program files/ZEMRAK_LOG3/DB/logs.mdb"},
        {"C:\\Missing\\Sub\\", prefix + "/drive_c/Missing/Sub/"},
        {"C:\\", prefix + "/drive_c/"},
        {"D:\\LOGS\\", prefix + "/dosdevices/d:/Logs/"},
        {"E:\\x", prefix + "/dosdevices/e:/x"},
        {"/opt/zemrak/", "/opt/zemrak/"},
        {"relative\\path", "relative\\path"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WinePathToUnix(prefix, c.Windows), c.Unix) << c.Windows;

    // Read through TRegistry, Windows paths come back inside the prefix;
    // other strings stay as written.
    Write(prefix + "/user.reg", kWineUserReg);
    TRegistry reg(prefix + "/user.reg");
    ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\Zemrak_Log3"));
    EXPECT_EQ(reg.ReadString("InstallPath"), prefix + "/drive_c/program files/ZEMRAK_LOG3/");
    EXPECT_EQ(reg.ReadString("Other"), prefix + "/dosdevices/d:/Logs/");
    EXPECT_EQ(reg.ReadString("Data"), "%USERPROFILE%\\Zemrak");
}

TEST(WineRegistry, LookupOrderEndsWithWinesOwnFile)
{
    TTempDir dir{"regtest"};
    ScopedEnv file("HKCU_REGISTRY_FILE", nullptr);
    ScopedEnv home("HOME", dir.File("home").c_str());
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    ScopedEnv prefix("WINEPREFIX", nullptr);
    const std::string own = dir.File("home/.config/hkcu.reg");
    const std::string wine = dir.File("home/.wine/user.reg");

    EXPECT_EQ(RegistryFilePath(), own); // neither exists
    MakeFolder(dir.File("home/.wine"));
    Write(wine, kWineUserReg);
    EXPECT_EQ(RegistryFilePath(), wine);
    EXPECT_EQ(WineUserRegistryPath(), wine);
    {
        ScopedEnv other("WINEPREFIX", dir.File("other-prefix/").c_str());
        EXPECT_EQ(WineUserRegistryPath(), dir.File("other-prefix/user.reg"));
        EXPECT_EQ(RegistryFilePath(), own); // that prefix has no user.reg
    }
    MakeFolder(dir.File("home/.config"));
    Write(own, "Windows Registry Editor Version 5.00\n");
    EXPECT_EQ(RegistryFilePath(), own); // our own file comes first
    ScopedEnv set("HKCU_REGISTRY_FILE", dir.File("set.reg").c_str());
    EXPECT_EQ(RegistryFilePath(), dir.File("set.reg")); // and the variable before it
}
