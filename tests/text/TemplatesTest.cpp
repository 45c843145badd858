#include <gtest/gtest.h>
#include <locale.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "text/Templates.h"

namespace kinetar::text {
namespace {

TEST(Templates, WordsAreFilledAndOtherBracesKept)
{
    const TemplateValues values{.Date = "21 June 2024", .Name = "IMG_0042", .Index = 3, .Count = 12};
    const struct {
        const char* text;
        const char* filled;
    } rows[] = {
        {"{date}", "21 June 2024"},
        {"{name} ({index}/{count})", "IMG_0042 (3/12)"},
        {"{index}{index}", "33"},
        {"{{name}}", "{IMG_0042}"},
        {"{name", "{name"},
        {"{Date} {nope} {}", "{Date} {nope} {}"},
        {"no words", "no words"},
        {"", ""},
        {"é {date} 日本", "é 21 June 2024 日本"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(FillTemplates(row.text, values), row.filled);
    }
    EXPECT_TRUE(UsesDate("on {date}"));
    EXPECT_FALSE(UsesDate("on {Date}"));
}

// Sets LC_ALL for the test's length.
class LocaleVariable {
public:
    explicit LocaleVariable(const char* value)
    {
        if (const char* old = std::getenv("LC_ALL")) {
            m_old = old;
        }
        ::setenv("LC_ALL", value, 1);
    }
    ~LocaleVariable()
    {
        if (m_old) {
            ::setenv("LC_ALL", m_old->c_str(), 1);
        } else {
            ::unsetenv("LC_ALL");
        }
    }

private:
    std::optional<std::string> m_old;
};

bool Installed(const char* name)
{
    const locale_t locale = newlocale(LC_TIME_MASK, name, nullptr);
    if (locale == nullptr) {
        return false;
    }
    freelocale(locale);
    return true;
}

TEST(Templates, DaysAreWrittenAsTheLocaleWritesThem)
{
    const struct {
        const char* locale;
        const char* day;
    } rows[] = {
        {"C", "21 June 2024"},
        {"C.UTF-8", "21 June 2024"},
        {"en_GB.UTF-8", "21 June 2024"},
        {"en_US.UTF-8", "June 21, 2024"},
        {"de_DE.UTF-8", "21. Juni 2024"},
        {"fr_FR.UTF-8", "21 juin 2024"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.locale);
        if (!Installed(row.locale)) {
            std::cout << "the locale " << row.locale << " is not installed; it is not checked\n";
            continue;
        }
        const LocaleVariable variable(row.locale);
        EXPECT_EQ(FormatDay(2024, 6, 21), row.day);
    }
}

}  // namespace
}  // namespace kinetar::text
