// The Debian package as a user gets it: made by cpack from this build tree,
// unpacked anywhere, and run from there.
#include "tests/Support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

bool Contains(const std::string& text, const std::string& piece)
{
    return text.find(piece) != std::string::npos;
}

std::string ReadBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Package : public ::testing::Test {
protected:
    // One package for every test of the suite.
    static void SetUpTestSuite()
    {
        dir_ = new TTempDir("package");
        const fs::path out = *dir_ / "out";
        auto cpack =
            RunProgram(HAM_CPACK, {"--config", HAM_BINARY_DIR "/CPackConfig.cmake", "-G", "DEB", "-B", out.string()});
        ASSERT_EQ(cpack.ExitCode, 0) << cpack.Out << cpack.Err;
        for (const auto& entry : fs::directory_iterator(out))
            if (entry.path().extension() == ".deb") deb_ = entry.path();
        ASSERT_FALSE(deb_.empty()) << cpack.Out;
        // Unpacked in a folder of its own, under a prefix it was not made for.
        root_ = *dir_ / "root";
        auto unpack = RunProgram("/usr/bin/dpkg", {"-x", deb_.string(), root_.string()});
        ASSERT_EQ(unpack.ExitCode, 0) << unpack.Err;
        prefix_ = root_ / "usr";
    }
    static void TearDownTestSuite() { delete dir_; }

    static TRunResult Hamhost(const fs::path& profile, const std::vector<std::string>& args)
    {
        std::vector<std::string> all{"--profile", profile.string()};
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram(prefix_ / HAM_INSTALL_BINDIR / "hamhost", all, {},
                          {"HKCU_REGISTRY_FILE=" + (profile / "hkcu.reg").string()});
    }

    static TTempDir* dir_;
    static fs::path deb_, root_, prefix_;
};
TTempDir* Package::dir_ = nullptr;
fs::path Package::deb_, Package::root_, Package::prefix_;

} // namespace

// One test: making the package is the slow part, and each test runs in a
// process of its own.
TEST_F(Package, HoldsWhatItShouldAndRunsFromWhereverItIsUnpacked)
{
    {
        SCOPED_TRACE("the package's fields and files");
        auto info = RunProgram("/usr/bin/dpkg-deb", {"--field", deb_.string(), "Package", "Version", "Depends"});
        ASSERT_EQ(info.ExitCode, 0) << info.Err;
        EXPECT_TRUE(Contains(info.Out, "Package: hamhost\n")) << info.Out;
        EXPECT_TRUE(Contains(info.Out, "Version: " HAM_VERSION "\n")) << info.Out;
        // Computed from the binaries: the libraries they link.
        for (const char* lib : {"libsqlite3", "libzip", "libcurl", "libpcre2-8"})
            EXPECT_TRUE(Contains(info.Out, lib)) << lib << "\n" << info.Out;

        std::vector<fs::path> expected{
            fs::path(HAM_INSTALL_BINDIR) / "hamhost",
            fs::path(HAM_INSTALL_PLUGINDIR) / "liboleaut.so",
            fs::path(HAM_INSTALL_DATADIR) / "prefix_to_entitycode.csv",
            fs::path(HAM_INSTALL_DATADIR) / "cty.dat",
            fs::path(HAM_INSTALL_DATADIR) / "README.md",
            fs::path(HAM_INSTALL_MANDIR) / "man1" / "hamhost.1.gz",
        };
        for (const char* plugin : {"CallbookImport.ext", "CallbookExport.ext", "LogAppend.ext", "CallbookStore.ext"})
            expected.push_back(fs::path(HAM_INSTALL_PLUGINDIR) / plugin);
#ifdef HAM_WITH_GUI
        expected.push_back(fs::path(HAM_INSTALL_BINDIR) / "hamhost-gui");
        expected.push_back(fs::path(HAM_INSTALL_SHAREDIR) / "applications" / "hamhost-gui.desktop");
        expected.push_back(fs::path(HAM_INSTALL_SHAREDIR) / "icons/hicolor/scalable/apps/hamhost.svg");
#endif
        for (const auto& file : expected)
            EXPECT_TRUE(fs::is_regular_file(prefix_ / file)) << file;
        // Every data file of the repository travels.
        for (const auto& entry : fs::directory_iterator(ShippedDataDir())) {
            if (entry.path().filename() == "CMakeLists.txt") continue; // the build's, not data
            EXPECT_TRUE(fs::exists(prefix_ / HAM_INSTALL_DATADIR / entry.path().filename())) << entry.path();
        }
    }
    {
        SCOPED_TRACE("no installed file carries a path into the build folder");
        const std::string build = fs::canonical(HAM_BINARY_DIR).string();
        int files = 0;
        for (const auto& entry : fs::recursive_directory_iterator(root_)) {
            if (!entry.is_regular_file()) continue;
            ++files;
            EXPECT_FALSE(Contains(ReadBytes(entry.path()), build)) << entry.path();
        }
        EXPECT_GT(files, 10);
        auto runpath = RunProgram("/usr/bin/readelf", {"-d", (prefix_ / HAM_INSTALL_BINDIR / "hamhost").string()});
        EXPECT_TRUE(Contains(runpath.Out, "[$ORIGIN/")) << runpath.Out;
    }
    {
        SCOPED_TRACE("the unpacked programs run the demo");
        auto version = RunProgram(prefix_ / HAM_INSTALL_BINDIR / "hamhost", {"--version"});
        EXPECT_EQ(version.ExitCode, 0) << version.Err;
        EXPECT_EQ(version.Out, "hamhost " HAM_VERSION "\n");

        const fs::path profile = *dir_ / "profile";
        auto init = Hamhost(profile, {"init", "--demo"});
        ASSERT_EQ(init.ExitCode, 0) << init.Err; // the country data found in share/

        auto plugins = Hamhost(profile, {"--trace", "plugins"});
        ASSERT_EQ(plugins.ExitCode, 0) << plugins.Err;
        EXPECT_EQ(SplitLines(plugins.Out).size(), 5u) << plugins.Out;
        // The plug-ins are the package's own.
        EXPECT_TRUE(Contains(plugins.Err, "trace: load LogAppend.ext")) << plugins.Err;
        EXPECT_FALSE(Contains(plugins.Err, "skipped")) << plugins.Err;

        auto run = Hamhost(profile, {"run", "Store Callbook to Zemrak log", "--actions",
                                     HAM_SOURCE_DIR "/demo/CallbookStore.actions"});
        EXPECT_EQ(run.ExitCode, 0) << run.Err;
        EXPECT_TRUE(Contains(run.Out, "* Done.")) << run.Out;
    }
}
