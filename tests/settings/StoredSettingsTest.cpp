#include <gtest/gtest.h>

#include <QSettings>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

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
    static fs::path Home()
    {
        static const test::TempDir home;  // for the whole process, as QSettings keeps the path
        static const test::ScopedEnvironment environment("XDG_CONFIG_HOME", home.Path().string());
        return home.Path();
    }
    static fs::path ConfPath() { return Home() / "Tavrel" / "Kinetar.conf"; }

    void SetUp() override
    {
        fs::remove(ConfPath());
        // Catches a QSettings that an earlier test of this process pointed elsewhere.
        ASSERT_EQ(QSettings("Tavrel", "Kinetar").fileName().toStdString(), ConfPath().string());
    }

    // Writes the file as a person or another program would. Each version gets a later time, as
    // QSettings keeps a parsed file until its size or time changes.
    static void WriteConf(const std::string& text)
    {
        static int version = 0;
        fs::create_directories(ConfPath().parent_path());
        std::ofstream(ConfPath(), std::ios::binary | std::ios::trunc) << text;
        fs::last_write_time(ConfPath(), fs::file_time_type::clock::now() + std::chrono::seconds(++version));
    }
};

std::string Describe(const MainWindowSettings& values)
{
    return std::to_string(values.Left) + " " + std::to_string(values.Top) + " " + std::to_string(values.Width) + " " +
           std::to_string(values.Height) + " " + std::to_string(values.PanelWidth) + " " +
           values.LastProject.toStdString();
}

TEST_F(StoredSettingsTest, FirstRunKeepsTheCurrentValuesAndWritesNothing)
{
    const MainWindowSettings moved{-3, 2, 10, 20, 30, "/p/a.AVIprj"};
    EXPECT_EQ(Describe(LoadMainSettings(moved)), Describe(moved));
    EXPECT_EQ(Describe(LoadMainSettings({})), "188 55 578 470 406 ");
    EXPECT_EQ(LoadWindowPosition({178, 106}), QPoint(178, 106));
    EXPECT_FALSE(fs::exists(ConfPath()));
}

TEST_F(StoredSettingsTest, StoredValuesComeBackAsTheyWere)
{
    // Negative and tiny values are applied as they are.
    const MainWindowSettings stored{-1200, -1, 10, 0, 1, "/home/u/My films/a, b.AVIprj"};
    StoreMainSettings(stored);
    StoreWindowPosition({-5, 2147483647});

    EXPECT_EQ(Describe(LoadMainSettings({})), Describe(stored));
    EXPECT_EQ(LoadWindowPosition({178, 106}), QPoint(-5, 2147483647));
    // Numbers as numbers, at the top level.
    std::ifstream in(ConfPath(), std::ios::binary);
    const std::string conf{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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
        WriteConf(std::string("[General]\nmx=") + row.stored + "\nmy=9\nax=" + row.stored + "\n");
        const MainWindowSettings read = LoadMainSettings({});
        EXPECT_EQ(read.Left, row.read.value_or(188));
        EXPECT_EQ(read.Top, 9);  // a bad value spoils only itself
        EXPECT_EQ(LoadWindowPosition({178, 106}), QPoint(row.read.value_or(178), 106));
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
        {"998 characters", QString(998, u'p'), true},    {"999 characters", QString(999, u'p'), false},
        {"4000 characters", QString(4000, u'p'), false}, {"empty", QString(), true},
        {"at sign first", "@Variant(x)", true},          {"not ASCII", "/tmp/žluťoučký kůň.AVIprj", true},
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

    WriteConf("[General]\nLastProject=/a.AVIprj, /b.AVIprj\n");  // a list
    EXPECT_EQ(LoadMainSettings({0, 0, 0, 0, 0, "current"}).LastProject, "current");
    WriteConf("[General]\nLastProject=/a.AVIprj\\0rest\n");
    EXPECT_EQ(LoadMainSettings({}).LastProject, "/a.AVIprj");
}

}  // namespace
}  // namespace kinetar::settings
