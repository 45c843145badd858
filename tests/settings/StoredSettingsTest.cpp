#include <gtest/gtest.h>

#include <QSettings>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "ScopedEnvironment.h"
#include "settings/StoredSettings.h"
#include "support/TestFiles.h"

namespace kinetar::settings {
namespace {

namespace fs = std::filesystem;

// QSettings takes the user's config folder from the environment once per process, at its first
// use: the whole suite shares one temporary XDG_CONFIG_HOME, set before that.
class StoredSettingsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_environment = new test::ScopedEnvironment("XDG_CONFIG_HOME", Home().string()); }
    static void TearDownTestSuite()
    {
        delete s_environment;
        s_environment = nullptr;
    }

    void SetUp() override
    {
        fs::remove(ConfPath());
        // Catches a QSettings that some earlier test of this process pointed elsewhere.
        ASSERT_EQ(QSettings("Tavrel", "Kinetar").fileName().toStdString(), ConfPath().string());
    }

    static fs::path Home()
    {
        static const test::TempDir home;  // for the whole process, as QSettings keeps the path
        return home.Path();
    }
    static fs::path ConfPath() { return Home() / "Tavrel" / "Kinetar.conf"; }

    // Writes the file as a person or another program would. Each version gets a later modification
    // time, as QSettings keeps a parsed file until its size or time changes.
    static void WriteConf(const std::string& text)
    {
        static int version = 0;
        fs::create_directories(ConfPath().parent_path());
        std::ofstream(ConfPath(), std::ios::binary | std::ios::trunc) << text;
        fs::last_write_time(ConfPath(), fs::file_time_type::clock::now() + std::chrono::seconds(++version));
    }
    static std::string ReadConf()
    {
        std::ifstream in(ConfPath(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static inline test::ScopedEnvironment* s_environment = nullptr;
};

void ExpectSame(const MainWindowSettings& actual, const MainWindowSettings& expected)
{
    EXPECT_EQ(actual.Left, expected.Left);
    EXPECT_EQ(actual.Top, expected.Top);
    EXPECT_EQ(actual.Width, expected.Width);
    EXPECT_EQ(actual.Height, expected.Height);
    EXPECT_EQ(actual.PanelWidth, expected.PanelWidth);
    EXPECT_EQ(actual.LastProject, expected.LastProject);
}

TEST_F(StoredSettingsTest, FirstRunKeepsTheCurrentValuesAndWritesNothing)
{
    ExpectSame(LoadMainSettings(MainWindowSettings{}), MainWindowSettings{188, 55, 578, 470, 406, ""});
    const MainWindowSettings moved{-3, 2, 10, 20, 30, "/p/a.AVIprj"};
    ExpectSame(LoadMainSettings(moved), moved);
    EXPECT_EQ(LoadWindowPosition({178, 106}), QPoint(178, 106));
    EXPECT_FALSE(fs::exists(ConfPath()));
}

TEST_F(StoredSettingsTest, StoredValuesComeBackAsTheyWere)
{
    // Negative and tiny values are applied as they are.
    const MainWindowSettings stored{-1200, -1, 10, 0, 1, "/home/u/My films/a, b.AVIprj"};
    StoreMainSettings(stored);
    StoreWindowPosition({-5, 2147483647});

    ExpectSame(LoadMainSettings(MainWindowSettings{}), stored);
    EXPECT_EQ(LoadWindowPosition({178, 106}), QPoint(-5, 2147483647));
    // Numbers as numbers, top level, where the desktop keeps configuration files.
    const std::string conf = ReadConf();
    for (const char* line : {"[General]\n", "mx=-1200\n", "my=-1\n", "mw=10\n", "mh=0\n", "pW=1\n", "ax=-5\n",
                             "ay=2147483647\n", "LastProject=\"/home/u/My films/a, b.AVIprj\"\n"}) {
        EXPECT_NE(conf.find(line), std::string::npos) << line << " in\n" << conf;
    }
}

TEST_F(StoredSettingsTest, OnlyAWholeSigned32BitNumberIsANumber)
{
    struct Row {
        const char* stored;
        std::optional<std::int32_t> read;  // nullopt: the default
    };
    const Row rows[] = {
        {"-2147483648", -2147483648},
        {"2147483647", 2147483647},
        {"-7", -7},
        {"0", 0},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"4294967295", std::nullopt},
        {"abc", std::nullopt},
        {"12abc", std::nullopt},
        {"0x10", std::nullopt},
        {"1.5", std::nullopt},
        {"", std::nullopt},
        {"1, 2", std::nullopt},         // a list
        {"@Point(1 2)", std::nullopt},  // a typed value of another kind
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stored);
        WriteConf(std::string("[General]\nmx=") + row.stored + "\nmy=9\n");
        const MainWindowSettings read = LoadMainSettings(MainWindowSettings{});
        EXPECT_EQ(read.Left, row.read.value_or(188));
        EXPECT_EQ(read.Top, 9);  // a bad value spoils only itself
    }
}

TEST_F(StoredSettingsTest, LastProjectReadsTheDefaultWhenItDoesNotFitOrIsNoText)
{
    struct Row {
        const char* name;
        QString stored;
        bool kept;
    };
    const Row rows[] = {
        {"998 characters", QString(998, u'p'), true},
        {"999 characters", QString(999, u'p'), false},
        {"4000 characters", QString(4000, u'p'), false},
        {"empty", QString(), true},
        {"comma", "/a, b.AVIprj", true},
        {"at sign first", "@Variant(x)", true},
        {"not ASCII", "/tmp/žluťoučký kůň.AVIprj", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        {
            QSettings key("Tavrel", "Kinetar");
            WriteSettingText(key, "LastProject", row.stored);
        }
        QSettings key("Tavrel", "Kinetar");
        EXPECT_EQ(ReadSettingText(key, "LastProject", "default"), row.kept ? row.stored : QString("default"));
    }

    WriteConf("[General]\nLastProject=/a.AVIprj, /b.AVIprj\n");
    EXPECT_EQ(LoadMainSettings(MainWindowSettings{0, 0, 0, 0, 0, "current"}).LastProject, "current");
    WriteConf("[General]\nLastProject=/a.AVIprj\\0rest\n");
    EXPECT_EQ(LoadMainSettings(MainWindowSettings{}).LastProject, "/a.AVIprj");
}

TEST_F(StoredSettingsTest, SettingsWindowPositionKeepsItsOwnDefaults)
{
    WriteConf("[General]\nax=oops\nay=-40\nmx=1\n");
    EXPECT_EQ(LoadWindowPosition({178, 106}), QPoint(178, -40));
}

}  // namespace
}  // namespace kinetar::settings
