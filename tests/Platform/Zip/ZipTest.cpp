#include "Platform/Zip/Zip.h"

#include "Platform/SysUtils/SysUtils.h"
#include "tests/Support/TestSupport.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct TTestEntry {
    std::string name;
    std::string content;
    int year = 2024, month = 3, day = 5, hour = 14, minute = 7, second = 42;
    zip_int32_t method = ZIP_CM_DEFLATE;
};

class ZipTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return dir_.File(name); }

    static void WriteFile(const std::string& path, const std::string& content)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << content;
        ASSERT_TRUE(out.good()) << path;
    }
    static std::string ReadFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void SetMTime(const std::string& path, std::time_t t)
    {
        struct timespec times[2] = {{t, 0}, {t, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    static std::time_t MTime(const std::string& path)
    {
        struct stat st;
        EXPECT_EQ(stat(path.c_str(), &st), 0);
        return st.st_mtime;
    }
    std::set<std::string> Listing() const { return dir_.Names(); }

    // Writes an archive with libzip, entries in order, each with its stored
    // date and time fields.
    static void MakeZip(const std::string& path, const std::vector<TTestEntry>& entries)
    {
        int code = 0;
        zip_t* za = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
        ASSERT_NE(za, nullptr);
        for (const auto& e : entries) {
            zip_source_t* src = zip_source_buffer(za, e.content.data(), e.content.size(), 0);
            ASSERT_NE(src, nullptr);
            zip_int64_t i = zip_file_add(za, e.name.c_str(), src, ZIP_FL_ENC_UTF_8);
            ASSERT_GE(i, 0) << zip_strerror(za);
            auto idx = static_cast<zip_uint64_t>(i);
            ASSERT_EQ(zip_set_file_compression(za, idx, e.method, 0), 0);
            auto dostime = static_cast<zip_uint16_t>((e.hour << 11) | (e.minute << 5) | (e.second / 2));
            auto dosdate = static_cast<zip_uint16_t>(((e.year - 1980) << 9) | (e.month << 5) | e.day);
            ASSERT_EQ(zip_file_set_dostime(za, idx, dostime, dosdate, 0), 0);
        }
        ASSERT_EQ(zip_close(za), 0) << zip_strerror(za);
    }

    // Content that compresses, larger than one read buffer.
    static std::string Compressible(std::size_t size)
    {
        std::string s;
        s.reserve(size);
        for (std::size_t i = 0; s.size() < size; ++i)
            s += "CALL" + std::to_string(i % 977) + ";";
        s.resize(size);
        return s;
    }

    TTempDir dir_{"ziptest"};
};

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST_F(ZipTest, SignatureOfTheFirstFourBytes)
{
    EXPECT_TRUE(IsZipSignature(std::string("PK\3\4rest", 8)));
    EXPECT_TRUE(IsZipSignature(std::string("PK\5\6", 4)));
    EXPECT_TRUE(IsZipSignature(std::string("PK\7\x08", 4)));
    EXPECT_FALSE(IsZipSignature(std::string("PK\1\2", 4)));
    EXPECT_FALSE(IsZipSignature("PK\3"));
    EXPECT_FALSE(IsZipSignature("<html>"));

    WriteFile(Path("page.zip"), "<html>Not found</html>");
    WriteFile(Path("short"), "PK");
    MakeZip(Path("real.dat"), {{"DB.mdb", "x"}});
    EXPECT_FALSE(FileHasZipSignature(Path("page.zip")));
    EXPECT_FALSE(FileHasZipSignature(Path("short")));
    EXPECT_TRUE(FileHasZipSignature(Path("real.dat"))); // any extension
    EXPECT_THROW(FileHasZipSignature(Path("missing.zip")), EFOpenError);
}

TEST_F(ZipTest, ListsFindsAndExtractsWithTheStoredTime)
{
    std::string big = Compressible(300000);
    MakeZip(Path("pkg.zip"), {{"readme.txt", "hello", 2023, 12, 31, 23, 59, 58, ZIP_CM_STORE},
                              {"sub/DB.mdb", "inner"},
                              {"db.mdb", "lower"},
                              {"DB.mdb", big, 2024, 3, 5, 14, 7, 42}});
    TZipReader reader(Path("pkg.zip"));
    EXPECT_EQ(reader.FileName(), Path("pkg.zip"));
    ASSERT_EQ(reader.Count(), 4u);
    EXPECT_EQ(reader.Entry(0).Name, "readme.txt");
    EXPECT_EQ(reader.Entry(0).Method, ZIP_CM_STORE);
    EXPECT_EQ(reader.Entry(3).Method, ZIP_CM_DEFLATE);
    EXPECT_EQ(reader.Entry(3).Size, big.size());
    EXPECT_LT(reader.Entry(3).CompressedSize, big.size());

    // Exact, case-sensitive, top level only.
    EXPECT_EQ(reader.Find("DB.mdb"), 3u);
    EXPECT_EQ(reader.Find("db.mdb"), 2u);
    EXPECT_EQ(reader.Find("sub/DB.mdb"), 1u);
    EXPECT_EQ(reader.Find("DB.MDB"), std::nullopt);
    EXPECT_EQ(reader.Find("DB"), std::nullopt);

    const TZipDateTime& t = reader.Entry(3).Modified;
    EXPECT_EQ(std::vector<int>({t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second}),
              std::vector<int>({2024, 3, 5, 14, 7, 42}));
    const TZipDateTime& t0 = reader.Entry(0).Modified;
    EXPECT_EQ(std::vector<int>({t0.Year, t0.Month, t0.Day, t0.Hour, t0.Minute, t0.Second}),
              std::vector<int>({2023, 12, 31, 23, 59, 58}));

    // Into an existing (empty, private) temporary file: content, mode kept,
    // time stamp of the entry.
    std::string target = Path("~Db1234.tmp");
    WriteFile(target, "");
    ASSERT_EQ(chmod(target.c_str(), 0600), 0);
    EXPECT_EQ(reader.Extract(3, target), big.size());
    EXPECT_EQ(ReadFile(target), big);
    EXPECT_EQ(MTime(target), reader.Entry(3).ModifiedTime);
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    EXPECT_EQ(reader.Extract(0, Path("new.txt")), 5u);
    EXPECT_EQ(ReadFile(Path("new.txt")), "hello");
    EXPECT_EQ(Listing(), (std::set<std::string>{"pkg.zip", "~Db1234.tmp", "new.txt"}));
    EXPECT_THROW(reader.Extract(4, target), std::out_of_range);
}

TEST_F(ZipTest, RefusesWhatIsNoReadableArchive)
{
    std::string good = Path("good.zip");
    MakeZip(good, {{"DB.mdb", Compressible(50000)}});
    std::string bytes = ReadFile(good);
    WriteFile(Path("empty.zip"), "");
    WriteFile(Path("text.zip"), "This is not an archive\n");
    WriteFile(Path("cut.zip"), bytes.substr(0, bytes.size() / 2));
    WriteFile(Path("tail.zip"), bytes.substr(0, bytes.size() - 10));
    fs::create_directory(Path("folder.zip"));

    struct Case {
        std::string file;
        std::string expected;
    } cases[] = {
        {"empty.zip", "is empty, not a ZIP archive"},
        {"text.zip", "is not a ZIP archive"},
        {"cut.zip", "is damaged or truncated"},
        {"tail.zip", "is damaged or truncated"},
    };
    for (const auto& c : cases) {
        std::string m = ThrownMessage<Exception>([&] { TZipReader r(Path(c.file)); });
        EXPECT_TRUE(Contains(m, c.expected)) << c.file << ": " << m;
        EXPECT_TRUE(Contains(m, Path(c.file))) << m;
    }
    std::string missing = ThrownMessage<EFOpenError>([&] { TZipReader r(Path("missing.zip")); });
    EXPECT_TRUE(Contains(missing, Path("missing.zip"))) << missing;
    std::string folder = ThrownMessage<EFOpenError>([&] { TZipReader r(Path("folder.zip")); });
    EXPECT_TRUE(Contains(folder, "folder")) << folder;

    // An empty archive (end record only) is an archive with nothing in it.
    WriteFile(Path("none.zip"), std::string("PK\5\6", 4) + std::string(18, '\0'));
    TZipReader none(Path("none.zip"));
    EXPECT_EQ(none.Count(), 0u);
    EXPECT_EQ(none.Find("DB.mdb"), std::nullopt);
}

// Patches the 32-bit little-endian field at offset within every record with
// the given signature.
void PatchField(std::string& bytes, const std::string& signature, std::size_t offset, std::uint32_t value)
{
    for (std::size_t p = bytes.find(signature); p != std::string::npos; p = bytes.find(signature, p + 1))
        for (int k = 0; k < 4; ++k)
            bytes[p + offset + k] = static_cast<char>((value >> (8 * k)) & 0xFF);
}

TEST_F(ZipTest, ExtractionFailuresLeaveTheTargetAsItWas)
{
    std::string content = Compressible(200000);
    MakeZip(Path("src.zip"), {{"DB.mdb", content}});
    const std::string bytes = ReadFile(Path("src.zip"));
    const std::string local("PK\3\4", 4), central("PK\1\2", 4);

    // The content is larger than declared (the declared size keeps a bomb
    // under the limit), or the declaration is beyond the limit, or the data
    // was damaged in the archive.
    std::string understated = bytes;
    PatchField(understated, local, 22, 1000);
    PatchField(understated, central, 24, 1000);
    WriteFile(Path("understated.zip"), understated);
    std::string huge = bytes;
    PatchField(huge, local, 22, 0xF0000000u);
    PatchField(huge, central, 24, 0xF0000000u);
    WriteFile(Path("huge.zip"), huge);
    std::string damaged = bytes;
    damaged[bytes.find("DB.mdb") + 6 + 40] ^= 0x55; // inside the compressed data
    WriteFile(Path("damaged.zip"), damaged);
    // A stored entry with one byte changed fails its checksum.
    MakeZip(Path("stored.zip"), {{"DB.mdb", content, 2024, 3, 5, 14, 7, 42, ZIP_CM_STORE}});
    std::string stored = ReadFile(Path("stored.zip"));
    stored[stored.find("DB.mdb") + 6 + 1000] ^= 0x01;
    WriteFile(Path("stored.zip"), stored);

    struct Case {
        std::string archive;
        std::uint64_t limit;
        std::string expected;
    } cases[] = {
        {"understated.zip", DefaultMaxZipEntrySize, "larger than the declared 1000 bytes"},
        {"huge.zip", DefaultMaxZipEntrySize, "exceeds the limit of 2147483648 bytes"},
        {"damaged.zip", DefaultMaxZipEntrySize, "the archive is damaged"},
        {"stored.zip", DefaultMaxZipEntrySize, "the archive is damaged: CRC error"},
        {"src.zip", 100000, "exceeds the limit of 100000 bytes"},
    };
    std::string target = Path("target.mdb");
    for (const auto& c : cases) {
        WriteFile(target, "previous");
        auto before = Listing();
        TZipReader reader(Path(c.archive));
        std::string m = ThrownMessage<Exception>([&] { reader.Extract(0, target, c.limit); });
        EXPECT_TRUE(Contains(m, c.expected)) << c.archive << ": " << m;
        EXPECT_TRUE(Contains(m, Path(c.archive))) << m;
        EXPECT_EQ(ReadFile(target), "previous") << c.archive;
        EXPECT_EQ(Listing(), before) << c.archive << ": a temporary file was left";
    }

    // A target in a folder that does not exist.
    TZipReader reader(Path("src.zip"));
    EXPECT_THROW(reader.Extract(0, Path("no/such/folder/x.mdb")), EFCreateError);
}

std::string RunCommand(const std::string& command)
{
    std::string output;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
            output.append(buffer, n);
        pclose(p);
    }
    return output;
}

TEST_F(ZipTest, CreatesDeflateArchiveOfBareNamesWithFileTimes)
{
    fs::create_directory(Path("data"));
    std::string db = Path("data/DB.mdb"), nfo = Path("data/DB.nfo");
    std::string dbContent = Compressible(400000);
    std::string nfoContent = "#\r\n# Database file DB.mdb\r\n#\r\n";
    WriteFile(db, dbContent);
    WriteFile(nfo, nfoContent);
    const std::time_t dbTime = 1718446800;  // 2024-06-15 10:20:00 UTC
    const std::time_t nfoTime = 1718446861; // odd second: kept to two seconds
    SetMTime(db, dbTime);
    SetMTime(nfo, nfoTime);

    // An earlier archive of that name is replaced, not extended.
    std::string archive = Path("data/DB.zip");
    MakeZip(archive, {{"old.txt", "old"}});

    auto packed = CreateZipArchive(archive, {db, nfo});
    ASSERT_EQ(packed.size(), 2u);
    EXPECT_EQ(packed[0].Name, "DB.mdb");
    EXPECT_EQ(packed[0].OriginalSize, dbContent.size());
    EXPECT_GT(packed[0].PackedSize, 0u);
    EXPECT_LT(packed[0].PackedSize, dbContent.size() / 4);
    EXPECT_EQ(packed[1].Name, "DB.nfo");
    EXPECT_EQ(packed[1].OriginalSize, nfoContent.size());

    TZipReader reader(archive);
    ASSERT_EQ(reader.Count(), 2u);
    EXPECT_EQ(reader.Entry(0).Name, "DB.mdb");
    EXPECT_EQ(reader.Entry(1).Name, "DB.nfo");
    EXPECT_EQ(reader.Entry(0).Method, ZIP_CM_DEFLATE);
    EXPECT_EQ(reader.Entry(1).Method, ZIP_CM_DEFLATE);
    EXPECT_EQ(reader.Entry(0).ModifiedTime, dbTime);
    EXPECT_LE(nfoTime - reader.Entry(1).ModifiedTime, 1);
    EXPECT_EQ(reader.Entry(0).Modified.Hour, 10); // local time: TZ=UTC in tests
    ASSERT_EQ(reader.Extract(0, Path("back.mdb")), dbContent.size());
    EXPECT_EQ(ReadFile(Path("back.mdb")), dbContent);
    EXPECT_EQ(std::set<std::string>({"DB.mdb", "DB.nfo", "DB.zip"}), [&] {
        std::set<std::string> s;
        for (const auto& e : fs::directory_iterator(Path("data")))
            s.insert(e.path().filename().string());
        return s;
    }());

    // The same archive as an independent tool reads it: two entries, Deflate,
    // bare names, the files' times.
    if (system("command -v zipinfo >/dev/null 2>&1") != 0) GTEST_SKIP() << "zipinfo not installed";
    std::string listing = RunCommand("TZ=UTC zipinfo -T '" + archive + "' 2>&1");
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
        if (w.size() == 8 && w[0].starts_with("-")) rows.push_back(w);
    }
    ASSERT_EQ(rows.size(), 2u) << listing;
    EXPECT_EQ(rows[0][7], "DB.mdb");
    EXPECT_EQ(rows[1][7], "DB.nfo");
    for (const auto& r : rows)
        EXPECT_TRUE(r[5].starts_with("def")) << r[5];
    EXPECT_EQ(rows[0][3], std::to_string(dbContent.size()));
    EXPECT_EQ(rows[0][6], "20240615.102000");
    EXPECT_EQ(rows[1][6], "20240615.102100");
}

TEST_F(ZipTest, FailedCreationLeavesNoNewArchive)
{
    WriteFile(Path("a.txt"), "a");
    fs::create_directory(Path("x"));
    fs::create_directory(Path("y"));
    WriteFile(Path("x/same.txt"), "1");
    WriteFile(Path("y/same.txt"), "2");
    std::string archive = Path("out.zip");
    WriteFile(archive, "earlier archive");
    auto before = Listing();

    struct Case {
        std::string name;
        std::vector<std::string> files;
        std::string archive;
        std::string expected;
    } cases[] = {
        {"missing input", {Path("a.txt"), Path("gone.txt")}, archive, "gone.txt"},
        {"same bare name", {Path("x/same.txt"), Path("y/same.txt")}, archive, "same.txt"},
        {"a folder as input", {Path("x")}, archive, "not a file"},
        {"no files", {}, archive, "No files"},
        {"missing folder", {Path("a.txt")}, Path("nowhere/out.zip"), "nowhere/out.zip"},
    };
    for (const auto& c : cases) {
        std::string m = ThrownMessage<Exception>([&] { CreateZipArchive(c.archive, c.files); });
        EXPECT_TRUE(Contains(m, c.expected)) << c.name << ": " << m;
        EXPECT_EQ(ReadFile(archive), "earlier archive") << c.name;
        EXPECT_EQ(Listing(), before) << c.name;
    }
    EXPECT_THROW(CreateZipArchive(archive, {Path("a.txt")}, 0), EArgumentOutOfRangeException);
}

} // namespace
