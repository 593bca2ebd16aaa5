#include "Platform/IniFile/IniFile.h"
#include "Platform/SysUtils/SysUtils.h"
#include "tests/Support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    // A test that took the folder's write permission away gets it back, so
    // the folder can be removed.
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, ec);
    }
    void Put(const std::string& text) const { std::ofstream(path_, std::ios::binary) << text; }
    std::string Get() const
    {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::size_t FilesInDir() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    TTempDir temp_{"IniFileTest"};
    const fs::path dir_ = temp_.Path();
    const std::string path_ = temp_.File("host.ini");
};

TFormatSettings German()
{
    TFormatSettings fs;
    fs.ShortDateFormat = "dd.mm.yyyy";
    fs.DateSeparator = ".";
    return fs;
}

} // namespace

TEST_F(IniFileTest, WriteKeepsOtherSectionsCommentsAndBlankLinesByteForByte)
{
    const std::string host = "; host settings\r\n"
                             "[Host]\r\n"
                             "APPNAME = Ham Host \r\n"
                             "# a comment\r\n"
                             "\r\n"
                             "LOG.EXPIRE=2030-01-01 00:00:00\r\n"
                             "odd line without equals\r\n"
                             "\r\n"
                             "[Zemrak Log]\r\n"
                             "Log=Main\r\n"
                             "Delta = 3\r\n"
                             "\r\n"
                             "[Other]\r\n"
                             "x=1";
    Put(host);
    TIniFile ini(path_, "Zemrak Log");
    ini.WriteString("Log", "Portable");
    ini.WriteInteger("Delta", 5);
    ini.WriteString("New", "v");
    EXPECT_EQ(Get(), "; host settings\r\n"
                     "[Host]\r\n"
                     "APPNAME = Ham Host \r\n"
                     "# a comment\r\n"
                     "\r\n"
                     "LOG.EXPIRE=2030-01-01 00:00:00\r\n"
                     "odd line without equals\r\n"
                     "\r\n"
                     "[Zemrak Log]\r\n"
                     "Log=Portable\r\n"
                     "Delta = 5\r\n"
                     "New=v\r\n"
                     "\r\n"
                     "[Other]\r\n"
                     "x=1");
    // A new section goes at the end, after a blank line.
    ini.WriteBool("Zemrak Callbook", "Mark", true);
    const std::string tail = "x=1\r\n\r\n[Zemrak Callbook]\r\nMark=1\r\n";
    EXPECT_TRUE(Get().ends_with(tail)) << Get();
    EXPECT_EQ(TIniFile(path_).ReadString("Host", "APPNAME", ""), "Ham Host");
}

TEST_F(IniFileTest, NamesMatchWithoutRegardToCase)
{
    Put("[zemrak EXPORT]\nLotW Omit=1\n[Straße]\nÄRGER=ja\n");
    TIniFile ini(path_, "Zemrak Export");
    EXPECT_TRUE(ini.ReadBool("lotw omit", false));
    EXPECT_TRUE(ini.ValueExists("LOTW OMIT"));
    EXPECT_TRUE(ini.SectionExists("ZEMRAK export"));
    EXPECT_EQ(ini.ReadString("STRASSE", "ärger", "-"), "-"); // simple folding: ß is not ss
    EXPECT_EQ(ini.ReadString("straße", "ärger", "-"), "ja");
    ini.WriteString("LOTW OMIT", "0");
    EXPECT_EQ(Get(), "[zemrak EXPORT]\nLotW Omit=0\n[Straße]\nÄRGER=ja\n");
    EXPECT_EQ(ini.ReadSection("ZEMRAK EXPORT"), std::vector<std::string>{"LotW Omit"});
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"zemrak EXPORT", "Straße"}));
}

TEST_F(IniFileTest, TypedValues)
{
    Put("[S]\n"
        "one=1\nzero=0\nminus=-7\nbig=42\nspaced= 12 \nword=true\nempty=\nhex=0x10\nhuge=99999999999\n"
        "date=05.03.2024\nbaddate=31.02.2024\nisodate=2024-03-05\n");
    TIniFile ini(path_, "S");
    ini.SetFormatSettings(German());
    struct BoolCase {
        const char* key;
        bool def;
        bool expected;
    };
    for (auto c : {BoolCase{"one", false, true}, BoolCase{"zero", true, false}, BoolCase{"minus", false, true},
                   BoolCase{"big", false, true}, BoolCase{"word", true, true}, BoolCase{"word", false, false},
                   BoolCase{"empty", true, true}, BoolCase{"missing", true, true}, BoolCase{"huge", false, true}})
        EXPECT_EQ(ini.ReadBool(c.key, c.def), c.expected) << c.key;
    struct IntCase {
        const char* key;
        int expected;
    };
    for (auto c : {IntCase{"minus", -7}, IntCase{"spaced", 12}, IntCase{"word", 2}, IntCase{"empty", 2},
                   IntCase{"hex", 2}, IntCase{"huge", 2}, IntCase{"missing", 2}})
        EXPECT_EQ(ini.ReadInteger(c.key, 2), c.expected) << c.key;
    const TDateTime def = EncodeDate(2000, 1, 1);
    EXPECT_EQ(ini.ReadDate("date", def), EncodeDate(2024, 3, 5));
    EXPECT_EQ(ini.ReadDate("baddate", def), def);
    EXPECT_EQ(ini.ReadDate("isodate", def), def); // not the regional format
    EXPECT_EQ(ini.ReadDate("empty", def), def);
    EXPECT_EQ(ini.ReadString("missing", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("empty", "dflt"), "");

    ini.WriteBool("b1", true);
    ini.WriteBool("b0", false);
    ini.WriteInteger("n", -15);
    ini.WriteDate("d", EncodeDate(2024, 12, 1) + EncodeTime(13, 0, 0));
    const std::string text = Get();
    EXPECT_NE(text.find("\nb1=1\nb0=0\nn=-15\nd=01.12.2024\n"), std::string::npos) << text;
}

TEST_F(IniFileTest, DeleteKeyRemovesEveryOccurrence)
{
    Put("[A]\nk=1\n[B]\nk=2\n[a]\nK=3\nother=4\n");
    TIniFile ini(path_, "A");
    ini.DeleteKey("k");
    EXPECT_FALSE(ini.ValueExists("k"));
    EXPECT_EQ(Get(), "[A]\n[B]\nk=2\n[a]\nother=4\n");
    // Deleting an absent key leaves the file alone.
    auto before = fs::last_write_time(path_);
    ini.DeleteKey("nothing");
    ini.DeleteKey("Unknown section", "k");
    EXPECT_EQ(fs::last_write_time(path_), before);
    ini.EraseSection("B");
    EXPECT_EQ(Get(), "[A]\n[a]\nother=4\n");
}

TEST_F(IniFileTest, MissingFileReadsEmptyAndIsCreatedOnFirstWrite)
{
    TIniFile ini(path_, "Zemrak Import");
    EXPECT_EQ(ini.ReadInteger("Mode", 2), 2);
    EXPECT_FALSE(ini.SectionExists("Zemrak Import"));
    EXPECT_FALSE(fs::exists(path_));
    ini.WriteString("Location", "Internet");
    EXPECT_EQ(Get(), "[Zemrak Import]\nLocation=Internet\n");
    EXPECT_EQ(FilesInDir(), 1u); // no temporary file left behind
}

TEST_F(IniFileTest, FileIsReadOnceUntilTheNameIsSetAgain)
{
    Put("[S]\nk=old\n");
    TIniFile ini(path_, "S");
    EXPECT_EQ(ini.ReadString("k", ""), "old");
    Put("[S]\nk=new\n");
    EXPECT_EQ(ini.ReadString("k", ""), "old");
    ini.SetFileName(path_);
    EXPECT_EQ(ini.ReadString("k", ""), "new");
}

TEST_F(IniFileTest, ChangesMadeByOthersSurviveAWrite)
{
    Put("[Host]\nLOG.NAME=a\n[S]\nk=1\n");
    TIniFile dialog(path_, "S");
    EXPECT_EQ(dialog.ReadString("k", ""), "1");
    TIniFile host(path_, "Host");
    host.WriteString("LOG.NAME", "b");
    dialog.WriteString("k", "2");
    EXPECT_EQ(Get(), "[Host]\nLOG.NAME=b\n[S]\nk=2\n");
}

TEST_F(IniFileTest, UnstorableNamesAndValuesAreRefused)
{
    TIniFile ini(path_, "S");
    EXPECT_THROW(ini.WriteString("k", "line1\nInjected=1"), EArgumentException);
    EXPECT_THROW(ini.WriteString("a=b", "v"), EArgumentException);
    EXPECT_THROW(ini.WriteString("", "v"), EArgumentException);
    EXPECT_THROW(ini.WriteString(";k", "v"), EArgumentException);
    EXPECT_THROW(ini.WriteString("Bad]Section", "k", "v"), EArgumentException);
    EXPECT_THROW(ini.WriteString("", "k", "v"), EArgumentException);
    EXPECT_FALSE(fs::exists(path_));
}

TEST_F(IniFileTest, UnwritableOrUnreadableFileNamesTheFile)
{
    Put("[S]\nk=1\n");
    TIniFile ini(path_, "S");
    EXPECT_EQ(ini.ReadString("k", ""), "1");
    if (::geteuid() != 0) {
        fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
        try {
            ini.WriteString("k", "2");
            FAIL() << "no exception";
        } catch (const EFCreateError& e) {
            EXPECT_NE(std::string(e.what()).find(path_), std::string::npos) << e.what();
        }
        fs::permissions(dir_, fs::perms::owner_all);
        // The failed write changed nothing, in the file or in memory.
        EXPECT_EQ(ini.ReadString("k", ""), "1");
        EXPECT_EQ(Get(), "[S]\nk=1\n");
    }
    // A folder that went away: the write fails and the loaded values stay.
    const fs::path moved = dir_.string() + "-moved";
    fs::rename(dir_, moved);
    EXPECT_THROW(ini.WriteString("k", "3"), EFCreateError);
    fs::rename(moved, dir_);
    EXPECT_EQ(ini.ReadString("k", ""), "1");
    EXPECT_EQ(Get(), "[S]\nk=1\n");
    TIniFile inMissingFolder((dir_ / "no" / "such.ini").string(), "S");
    EXPECT_THROW(inMissingFolder.WriteString("k", "v"), EFCreateError);
    TIniFile onFolder(dir_.string(), "S");
    try {
        onFolder.ReadString("k", "");
        FAIL() << "no exception";
    } catch (const EFOpenError& e) {
        EXPECT_NE(std::string(e.what()).find(dir_.string()), std::string::npos) << e.what();
    }
    TIniFile unnamed;
    EXPECT_EQ(unnamed.ReadString("S", "k", "d"), "d");
    EXPECT_THROW(unnamed.WriteString("S", "k", "v"), EFCreateError);
}

TEST_F(IniFileTest, ReplacingKeepsPermissionsAndSymlinks)
{
    Put("[S]\nk=1\n");
    ::chmod(path_.c_str(), 0640);
    const std::string link = (dir_ / "link.ini").string();
    fs::create_symlink(path_, link);
    TIniFile ini(link, "S");
    ini.WriteString("k", "2");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Get(), "[S]\nk=2\n");
    struct stat st {};
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(IniDocument, EdgeLayouts)
{
    struct Case {
        const char* before;
        const char* section;
        const char* key;
        const char* value;
        const char* after;
    };
    const Case cases[] = {
        {"", "S", "k", "v", "[S]\nk=v\n"},
        {"[S]", "S", "k", "v", "[S]\nk=v\n"},
        {"[S]\na=1", "S", "k", "v", "[S]\na=1\nk=v\n"},
        {"x=1\n", "S", "k", "v", "x=1\n\n[S]\nk=v\n"},
        {"\xEF\xBB\xBF[S]\r\nk=1\r\n", "S", "K", "2", "\xEF\xBB\xBF[S]\r\nk=2\r\n"},
        {"  [ S ]  \n  k =  1 \n", "S", "k", "2", "  [ S ]  \n  k =  2\n"},
        {"[S]\nk=1\n; trailing comment\n\n[T]\n", "S", "n", "2", "[S]\nk=1\nn=2\n; trailing comment\n\n[T]\n"},
        {"[S]\nk=1\n[T]\n[S]\nm=1\n", "S", "m", "2", "[S]\nk=1\n[T]\n[S]\nm=2\n"},
        {"[S]\nk=1\n[T]\n[S]\nm=1\n", "S", "n", "2", "[S]\nk=1\nn=2\n[T]\n[S]\nm=1\n"},
        {"k=outside\n[S]\n", "S", "k", "v", "k=outside\n[S]\nk=v\n"},
    };
    for (const auto& c : cases) {
        TIniDocument doc(c.before);
        EXPECT_EQ(doc.Serialize(), c.before);
        doc.SetValue(c.section, c.key, c.value);
        EXPECT_EQ(doc.Serialize(), c.after) << c.before;
        EXPECT_EQ(doc.Value(c.section, c.key), std::optional<std::string>(c.value)) << c.before;
    }
    TIniDocument doc("k=outside\n[S]\nk = a=b \n[broken\n[T]k=x\n");
    EXPECT_EQ(doc.Value("S", "k"), "a=b");
    EXPECT_FALSE(doc.Value("", "k").has_value());
    EXPECT_FALSE(doc.SectionExists("broken"));
    EXPECT_FALSE(doc.Value("T", "k").has_value()); // "[T]k=x" is a header only
}
