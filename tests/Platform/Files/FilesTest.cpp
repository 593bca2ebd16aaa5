#include "Platform/Files/Files.h"
#include "Platform/SysUtils/SysUtils.h"
#include "tests/Support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class FilesTest : public ::testing::Test {
protected:
    std::string File(const std::string& name) const { return temp_.File(name); }
    static void Write(const std::string& path, const std::string& text)
    {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    std::set<std::string> Names() const { return temp_.Names(); }

    TTempDir temp_{"filestest"};
    const std::string dir = temp_.Path().string();
};

TEST(PathNames, Pieces)
{
    EXPECT_EQ(PathDelim, '/');
    EXPECT_EQ(IncludeTrailingPathDelimiter("/a/b"), "/a/b/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/a/b/"), "/a/b/");
    EXPECT_EQ(IncludeTrailingPathDelimiter(""), ""); // never turns into the root
    EXPECT_EQ(ExcludeTrailingPathDelimiter("/a/b/"), "/a/b");
    EXPECT_EQ(ExcludeTrailingPathDelimiter("/"), "/");

    struct TCase {
        const char* Path;
        const char* Dir;
        const char* Folder;
        const char* Name;
        const char* Ext;
        const char* Err;
    };
    const TCase cases[] = {
        {"/opt/zemrak/db/DB.mdb", "/opt/zemrak/db/", "/opt/zemrak/db", "DB.mdb", ".mdb", "/opt/zemrak/db/DB.err"},
        {"DB.zip", "", "", "DB.zip", ".zip", "DB.err"},
        {"/x.y/plugin", "/x.y/", "/x.y", "plugin", "", "/x.y/plugin.err"},
        {"/a/archive.tar.gz", "/a/", "/a", "archive.tar.gz", ".gz", "/a/archive.tar.err"},
        {"/a/b/", "/a/b/", "/a/b", "", "", "/a/b/.err"},
        {"/top", "/", "/", "top", "", "/top.err"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(ExtractFilePath(c.Path), c.Dir) << c.Path;
        EXPECT_EQ(ExtractFileDir(c.Path), c.Folder) << c.Path;
        EXPECT_EQ(ExtractFileName(c.Path), c.Name) << c.Path;
        EXPECT_EQ(ExtractFileExt(c.Path), c.Ext) << c.Path;
        EXPECT_EQ(ChangeFileExt(c.Path, ".err"), c.Err) << c.Path;
    }
}

TEST_F(FilesTest, ExistenceDeleteAndRename)
{
    const std::string a = File("a.txt");
    EXPECT_FALSE(FileExists(a));
    Write(a, "alpha");
    EXPECT_TRUE(FileExists(a));
    EXPECT_FALSE(DirectoryExists(a));
    EXPECT_TRUE(DirectoryExists(dir));
    EXPECT_FALSE(FileExists(dir));
    EXPECT_EQ(FileSize(a), 5);

    const std::string b = File("b.txt");
    Write(b, "old");
    EXPECT_TRUE(RenameFile(a, b)); // replaces
    EXPECT_EQ(Read(b), "alpha");
    EXPECT_FALSE(FileExists(a));
    EXPECT_FALSE(RenameFile(a, b));
    EXPECT_EQ(errno, ENOENT);
    try {
        RenameFileOrThrow(a, b);
        ADD_FAILURE();
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode(), static_cast<std::uint32_t>(ENOENT));
        EXPECT_NE(e.Message().find("'" + a + "'"), std::string::npos) << e.Message();
    }

    EXPECT_TRUE(DeleteFile(b));
    EXPECT_FALSE(DeleteFile(b));
    EXPECT_THROW(DeleteFileOrThrow(b), EOSError);
    EXPECT_THROW(FileSize(b), EOSError);
}

TEST_F(FilesTest, CopyKeepsContentModeAndTime)
{
    const std::string src = File("ref.mdb");
    std::string content(700000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 31 % 251);
    Write(src, content);
    ::chmod(src.c_str(), 0640);
    ASSERT_TRUE(FileSetDate(src, EncodeDateTime({2020, 2, 29, 13, 45, 10, 0})));

    const std::string dst = File("copy.mdb");
    Write(dst, "previous");
    EXPECT_FALSE(CopyFile(src, dst, true));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(Read(dst), "previous");
    ASSERT_TRUE(CopyFile(src, dst, false));
    EXPECT_EQ(Read(dst), content);
    struct stat st {};
    ::stat(dst.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    TDateTime when = 0;
    ASSERT_TRUE(FileAge(dst, when));
    EXPECT_NEAR(when, EncodeDateTime({2020, 2, 29, 13, 45, 10, 0}), 1e-8);

    const std::string fresh = File("fresh.mdb");
    EXPECT_TRUE(CopyFile(src, fresh, true));
    EXPECT_EQ(Read(fresh), content);
    EXPECT_EQ(Names(), (std::set<std::string>{"ref.mdb", "copy.mdb", "fresh.mdb"})); // no leftovers

    EXPECT_FALSE(CopyFile(File("none"), dst, false));
    EXPECT_EQ(Read(dst), content);
    try {
        CopyFileOrThrow(src, File("no/such/folder/x.mdb"), false);
        ADD_FAILURE();
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode(), static_cast<std::uint32_t>(ENOENT));
        EXPECT_NE(e.Message().find(src), std::string::npos);
    }
    EXPECT_FALSE(CopyFile(dir, File("d"), false)); // a folder is no file
}

TEST_F(FilesTest, FileTimes)
{
    const std::string f = File("t.txt");
    Write(f, "x");
    TDateTime when = 0;
    const TDateTime set = EncodeDateTime({2019, 12, 31, 23, 59, 58, 250});
    ASSERT_TRUE(FileSetDate(f, set));
    ASSERT_TRUE(FileAge(f, when));
    EXPECT_NEAR(when, set, 1e-8);
    EXPECT_NEAR(FileGetDate(f), set, 1e-8);
    EXPECT_FALSE(FileAge(File("none"), when));
    EXPECT_THROW(FileGetDate(File("none")), EOSError);
    EXPECT_FALSE(FileSetDate(File("none"), set));
    EXPECT_THROW(FileSetDateOrThrow(File("none"), set), EOSError);
}

TEST_F(FilesTest, TemporaryFilesAreNewAndUnique)
{
    std::set<std::string> made;
    for (int i = 0; i < 200; ++i) {
        const std::string path = CreateTempFile(dir, "~Db");
        const std::string name = ExtractFileName(path);
        ASSERT_EQ(ExtractFilePath(path), dir + "/");
        ASSERT_EQ(name.size(), 3u + 8u + 4u) << name;
        EXPECT_EQ(name.substr(0, 3), "~Db");
        EXPECT_EQ(name.substr(11), ".tmp");
        EXPECT_EQ(name.substr(3, 8).find_first_not_of("0123456789ABCDEF"), std::string::npos) << name;
        EXPECT_TRUE(FileExists(path));
        EXPECT_EQ(FileSize(path), 0);
        EXPECT_TRUE(made.insert(path).second);
    }
    EXPECT_THROW(CreateTempFile(File("missing"), "mdb"), EOSError);
    EXPECT_THROW(CreateTempFile(dir, "a/b"), EArgumentException);
}

TEST_F(FilesTest, TempFileOwnership)
{
    std::string kept;
    std::string removed;
    {
        TTempFile a(dir, "~Ar");
        TTempFile b(dir, "mdb");
        removed = a.Path();
        kept = b.Release();
        EXPECT_TRUE(b.Empty());
        TTempFile moved = std::move(a);
        EXPECT_TRUE(a.Empty());
        EXPECT_EQ(moved.Path(), removed);
        EXPECT_TRUE(FileExists(removed));
    }
    EXPECT_FALSE(FileExists(removed));
    EXPECT_TRUE(FileExists(kept));
    {
        TTempFile adopted = TTempFile::Adopt(kept);
    }
    EXPECT_FALSE(FileExists(kept));
}

} // namespace
