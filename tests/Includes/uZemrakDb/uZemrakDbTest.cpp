// The logger's installation check, connection and statements, on real files
// and the demo installation, with the real host in process.
#include "Includes/uZemrakDb/uZemrakDb.h"
#include "DemoData/DataGen.h"
#include "Host/Host.h"
#include "Host/HostDemo.h"
#include "Includes/uCommFunc/uCommFunc.h"
#include "Includes/uZemrakDb/ZemrakSchema.h"
#include "Platform/Registry/Registry.h"
#include "Platform/Unicode/Unicode.h"
#include "PluginAPI/Plugins/PluginForm.h"
#include "tests/Support/TestHost.h"
#include "tests/Support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sstream>

namespace {

constexpr const char* Key = "HKEY_CURRENT_USER\\Software\\Zemrak_Log3";
constexpr const char* NotInstalled = "Fatal error: Zemrak_Log3 not installed.\r\nPlugin is not applicable.\n";
constexpr const char* NotFound = "Fatal error: Reference callbook database not found.\r\nPlugin is not applicable.\n";

class ZemrakDb : public ::testing::Test {
protected:
    void SetUp() override
    {
        registryFile_ = (dir_ / "hkcu.reg").string();
        setenv("HKCU_REGISTRY_FILE", registryFile_.c_str(), 1);
        host_.Options.Trace = [this](const std::string& call) { calls_.push_back(call); };
        dialog_.emplace(host_.Start("LogAppend.ext"));
        dialog_->Kernel = ComPtr<IHostKernel>::Query(dialog_->Core.Get(), IID_IHostKernel);
    }
    void TearDown() override { unsetenv("HKCU_REGISTRY_FILE"); }

    std::string HostLog() const { return ReadFileText(dir_.Path() / "profile" / "host.log"); }
    // Host-log lines without their time stamps.
    std::vector<std::string> HostLogTexts() const
    {
        std::vector<std::string> out;
        for (const auto& line : SplitLines(HostLog()))
            out.push_back(line.substr(line.find('\t') + 1));
        return out;
    }
    // A folder holding db/DB.mdb (an empty logger callbook).
    std::string MakeInstallation(const std::string& name)
    {
        fs::create_directories(dir_ / name / "db");
        CreateReferenceDatabaseFile((dir_ / name / "db" / "DB.mdb").string());
        return (dir_ / name).string();
    }

    std::vector<std::string> calls_;
    TTestHost host_{"zemrakdb", "profile"};
    const TTempDir& dir_ = host_.Dir();
    std::string registryFile_;
    std::optional<TPluginDialog> dialog_;
};

TEST_F(ZemrakDb, InstallationCheck)
{
    const std::string install = MakeInstallation("logger");
    struct TCase {
        const char* Name;
        std::optional<std::string> RegistryText; // nullopt: no registry file at all
        const char* Message;                     // null: the check passes
    };
    auto reg = [](const std::string& body) { return "Windows Registry Editor Version 5.00\r\n\r\n" + body; };
    auto escaped = [](std::string path) {
        std::string out;
        for (char c : path)
            out += c == '\\' ? std::string("\\\\") : std::string(1, c);
        return out;
    };
    const std::vector<TCase> cases = {
        {"no registry file", std::nullopt, NotInstalled},
        {"no key", reg("[HKEY_CURRENT_USER\\Software\\Other]\r\n\"InstallPath\"=\"" + install + "/\"\r\n"),
         NotInstalled},
        {"no value", reg(std::string("[") + Key + "]\r\n\"Other\"=\"x\"\r\n"), NotInstalled},
        {"empty value", reg(std::string("[") + Key + "]\r\n\"InstallPath\"=\"\"\r\n"), NotInstalled},
        // Joined without a separator: ".../loggerdb/DB.mdb" does not exist.
        {"no trailing separator", reg(std::string("[") + Key + "]\r\n\"InstallPath\"=\"" + escaped(install) + "\"\r\n"),
         NotFound},
        {"file missing",
         reg(std::string("[") + Key + "]\r\n\"InstallPath\"=\"" + escaped((dir_ / "empty").string()) + "/\"\r\n"),
         NotFound},
        {"installed", reg(std::string("[") + Key + "]\r\n\"InstallPath\"=\"" + escaped(install) + "/\"\r\n"), nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove(registryFile_);
        if (c.RegistryText) WriteFileText(registryFile_, *c.RegistryText);
        host_.Messages.str("");
        calls_.clear();
        dialog_->SetModalResult(Forms::mrNone);
        std::string path = "unchanged";
        const bool ok = CheckInstallation(*dialog_, ReferenceDatabaseFile, path);
        if (c.Message) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(host_.Messages.str(), c.Message); // exactly one message
            EXPECT_EQ(std::count(calls_.begin(), calls_.end(), "IHostKernel.MessageBox 1 4"), 1);
            EXPECT_NE(dialog_->ModalResult(), Forms::mrNone); // the dialog closes
            EXPECT_EQ(path, "unchanged");
        } else {
            EXPECT_TRUE(ok);
            EXPECT_EQ(host_.Messages.str(), "");
            EXPECT_EQ(dialog_->ModalResult(), Forms::mrNone);
            EXPECT_EQ(path, install + "/db/DB.mdb");
        }
    }
    // Nothing was connected on the way.
    EXPECT_EQ(HostLog(), "");
}

TEST_F(ZemrakDb, ReadInstallPathTakesTheValueAsWritten)
{
    WriteRegistryString(registryFile_, Key, "InstallPath", "C:\\Program Files\\Zemrak\\");
    EXPECT_EQ(ReadInstallPath(), "C:\\Program Files\\Zemrak\\");
    unsetenv("HKCU_REGISTRY_FILE");
    setenv("HKCU_REGISTRY_FILE", (dir_ / "missing.reg").c_str(), 1);
    EXPECT_EQ(ReadInstallPath(), "");
}

TEST_F(ZemrakDb, OpenAndCloseWriteTheHostLog)
{
    const std::string file = MakeInstallation("logger") + "/db/DB.mdb";
    TADOConnection connection;
    dialog_->OpenDatabase(connection, file);
    EXPECT_TRUE(connection.Connected());
    EXPECT_EQ(connection.Mode, cmShareDenyNone);
    EXPECT_FALSE(connection.LoginPrompt);
    dialog_->CloseDatabase(connection);
    EXPECT_FALSE(connection.Connected());

    dialog_->ConnectText = "Connect updates: ";
    dialog_->DisconnectText = "Disconnect updates.";
    // A folder name that would end the connection string's path early.
    const std::string odd = MakeInstallation("odd;name 'x'") + "/db/DB.mdb";
    dialog_->OpenDatabase(connection, odd);
    EXPECT_EQ(connection.DataSource(), odd);
    // Opening again closes the previous file first.
    dialog_->OpenDatabase(connection, file);
    EXPECT_EQ(connection.DataSource(), file);
    dialog_->CloseDatabase(connection);
    EXPECT_EQ(HostLogTexts(),
              (std::vector<std::string>{"Connect Zemrak log database: " + file, "Disconnect Zemrak log database.",
                                        "Connect updates: " + odd, "Connect updates: " + file, "Disconnect updates."}));
}

TEST_F(ZemrakDb, OpenFailureIsAPlainExceptionWithTheProvidersMessage)
{
    const fs::path text = dir_ / "DB.mdb";
    WriteFileText(text, "Standard Jet DB, or so it says\n");
    std::string provider;
    try {
        TADOConnection direct;
        direct.ConnectionString = "Data Source=" + text.string() + ";";
        direct.Open();
    } catch (const Exception& e) {
        provider = e.Message();
    }
    ASSERT_FALSE(provider.empty());
    for (const fs::path& path : {text, dir_ / "missing.mdb"}) {
        TADOConnection connection;
        try {
            dialog_->OpenDatabase(connection, path.string());
            ADD_FAILURE() << "opened " << path;
        } catch (const Exception& e) {
            EXPECT_STREQ(e.ClassName(), "Exception");
            if (path == text) {
                EXPECT_EQ(e.Message(), provider);
            }
            EXPECT_NE(e.Message().find(path.string()), std::string::npos) << e.Message();
        }
        EXPECT_FALSE(connection.Connected());
    }
    EXPECT_EQ(HostLog(), ""); // no connect line for a file that did not open
}

// The demo installation's files refuse values longer than the logger takes.
class ZemrakDemo : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new TTempDir("zemrak-demo");
        THost::InitProfile(dir_->Path());
        CreateDemoProfile(dir_->Path(), InstalledDataFolder());
    }
    static void TearDownTestSuite()
    {
        delete dir_;
        dir_ = nullptr;
    }
    static std::string File(const char* name) { return (dir_->Path() / "zemrak" / "db" / name).string(); }
    static TTempDir* dir_;
};
TTempDir* ZemrakDemo::dir_ = nullptr;

TEST_F(ZemrakDemo, CallbookRefusesOverlongTexts)
{
    const std::string copy = (dir_->Path() / "DB-copy.mdb").string();
    fs::copy_file(File("DB.mdb"), copy);
    TADOConnection c;
    c.ConnectionString = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + copy + ";";
    c.Open();
    const std::string call20 = "ABCDEFGHIJ0123456789";
    EXPECT_FALSE(ExecStatement(c, "INSERT INTO CALLBOOK(CALL) VALUES('" + call20 + "X')"));
    EXPECT_TRUE(ExecStatement(c, "INSERT INTO CALLBOOK(CALL) VALUES('" + call20 + "')"));
    // Lengths count characters: 15 with an accented one fit NAME, 16 do not.
    EXPECT_TRUE(ExecStatement(c, "INSERT INTO CALLBOOK(CALL,[NAME]) VALUES('N1A','Jürgen-Maximili')"));
    EXPECT_FALSE(ExecStatement(c, "INSERT INTO CALLBOOK(CALL,[NAME]) VALUES('N1B','Jürgen-Maximilia')"));
    struct TLimit {
        const char* Column;
        int Length;
    };
    for (const TLimit& l :
         {TLimit{"QTH", 30}, TLimit{"GRID", 6}, TLimit{"STATE", 10}, TLimit{"MANAGER", 12}, TLimit{"[NOTE]", 255}}) {
        SCOPED_TRACE(l.Column);
        const std::string fits(static_cast<std::size_t>(l.Length), 'x');
        EXPECT_TRUE(
            ExecStatement(c, std::string("UPDATE CALLBOOK SET ") + l.Column + "='" + fits + "' WHERE CALL='N1A'"));
        EXPECT_FALSE(
            ExecStatement(c, std::string("UPDATE CALLBOOK SET ") + l.Column + "='" + fits + "y' WHERE CALL='N1A'"));
    }
    // The key compares without regard to case; an insert leaves CHECKED false.
    EXPECT_FALSE(ExecStatement(c, "INSERT INTO CALLBOOK(CALL) VALUES('n1a')"));
    EXPECT_FALSE(ExecStatement(c, "SELEC nonsense"));
    TADOQuery q(&c);
    q.SQL.SetText("SELECT CHECKED FROM CALLBOOK WHERE CALL='N1A'");
    q.Open();
    EXPECT_FALSE(q.FieldByName("CHECKED").IsNull());
    EXPECT_FALSE(q.FieldByName("CHECKED").AsBoolean());
    q.Close();
    c.Close();
    // Errors other than refused statements go to the caller.
    EXPECT_THROW(ExecStatement(c, "DELETE FROM CALLBOOK"), EDatabaseError);
}

TEST_F(ZemrakDemo, LogsOfTheOperator)
{
    TADOConnection c;
    c.ConnectionString = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + File("logs.mdb") + ";";
    c.ReadOnly = true;
    c.Open();
    TADOQuery q(&c);
    q.SQL.SetText("SELECT LOGNAME FROM ACONFIG WHERE CALLSIGN='DL0DEMO' ORDER BY LOGNAME");
    q.Open();
    std::vector<std::string> names;
    for (q.First(); !q.Eof(); q.Next())
        names.push_back(q.FieldByName("LOGNAME").AsString());
    EXPECT_EQ(names,
              (std::vector<std::string>{"DL0DEMO 2025", "DL0DEMO Contest 2024", "DL0DEMO Home", "DL0DEMO Portable"}));
    TADOQuery range(&c);
    range.SQL.SetText("SELECT MIN(QSODATE) AS MINDATE FROM LOG_DL0DEMO_2025");
    range.Open();
    EXPECT_TRUE(range.FieldByName("MINDATE").IsNull());
    range.Close();
    range.SQL.SetText("SELECT * FROM LOG_DL0DEMO_HOME WHERE #2023-01-01#<=QSODATE AND QSODATE<=#2023-12-31#");
    range.Open();
    EXPECT_GT(range.RecordCount(), 50);
    EXPECT_LT(range.RecordCount(), 320);
}

TEST(ZemrakSchema, QsoTableNamesArePlainIdentifiers)
{
    EXPECT_NO_THROW(QsoTableScript("LOG_2024"));
    for (const char* bad : {"", "2024", "LOG 2024", "LOG;DROP TABLE ACONFIG", "LOG\"X", "[LOG]"})
        EXPECT_THROW(QsoTableScript(bad), EArgumentException) << bad;
}

// A note of keyword tokens and free words reads back item by item: the
// keyword at the very start of a word, its value up to the next blank.
TEST(ZemrakNote, KeywordTokensReadBack)
{
    auto items = [](const std::string& note) {
        std::vector<std::string> words, out;
        SplitWords(note, &words, 1);
        for (const auto& w : words) {
            std::string item = "free:" + w;
            for (const char* k :
                 {NoteKeyword::Aka, NoteKeyword::Skype, NoteKeyword::Email, NoteKeyword::Bureau, NoteKeyword::Direct,
                  NoteKeyword::LotW, NoteKeyword::eQSL, NoteKeyword::Born, NoteKeyword::SK})
                if (w.rfind(k, 0) == 0) item = std::string(k) + w.substr(std::string(k).size());
            out.push_back(item);
        }
        return out;
    };
    EXPECT_EQ(items("Aka:UA3XYZ Bureau: LotW: hello"),
              (std::vector<std::string>{"Aka:UA3XYZ", "Bureau:", "LotW:", "free:hello"}));
    EXPECT_EQ(items("lotw:2020-01-01  eQSL:2021-02-03"),
              (std::vector<std::string>{"free:lotw:2020-01-01", "eQSL:2021-02-03"}));

    // Generated stations: every item of the note belongs to the station and
    // the note fits the logger.
    const auto dictionary = TCallsignDictionary::Load(InstalledDictionary());
    TDataGenerator gen(dictionary, 7);
    int checked = 0;
    for (const auto& s : gen.Stations(300)) {
        const std::string note = s.LoggerNote();
        EXPECT_EQ(LeftCodePoints(note, 255), note);
        for (const auto& item : items(note)) {
            if (item.rfind("Aka:", 0) == 0) {
                EXPECT_EQ(item, "Aka:" + s.Aka);
            } else if (item.rfind("Bureau:", 0) == 0) {
                EXPECT_TRUE(s.UseBureau);
            } else if (item.rfind("LotW:", 0) == 0) {
                EXPECT_EQ(item, "LotW:" + s.LotwDate);
            } else if (item.rfind("Email:", 0) == 0) {
                EXPECT_EQ(item, "Email:" + s.Email);
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 300);
}

} // namespace
