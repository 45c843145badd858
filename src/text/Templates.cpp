#include "text/Templates.h"

#include <glib.h>
#include <langinfo.h>
#include <locale.h>

#include <array>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <type_traits>
#include <utility>

namespace kinetar::text {

namespace {

constexpr std::string_view kDate = "{date}";
constexpr std::string_view kName = "{name}";
constexpr std::string_view kIndex = "{index}";
constexpr std::string_view kCount = "{count}";

struct LocaleFree {
    void operator()(locale_t locale) const { freelocale(locale); }
};
using Locale = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleFree>;

// The locale the user set for dates; none for C and POSIX, which name no language.
std::string LocaleName()
{
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            const std::string name = value;
            return name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0 ? std::string() : name;
        }
    }
    return {};
}

}  // namespace

bool UsesDate(std::string_view text)
{
    return text.find(kDate) != std::string_view::npos;
}

std::string FillTemplates(std::string_view text, const TemplateValues& values)
{
    std::string filled;
    filled.reserve(text.size());
    while (!text.empty()) {
        const std::size_t brace = text.find('{');
        filled.append(text.substr(0, brace));
        if (brace == std::string_view::npos) {
            break;
        }
        text.remove_prefix(brace);
        const std::array<std::pair<std::string_view, std::string>, 4> words{{
            {kDate, values.Date},
            {kName, values.Name},
            {kIndex, std::to_string(values.Index)},
            {kCount, std::to_string(values.Count)},
        }};
        bool replaced = false;
        for (const auto& [word, value] : words) {
            if (text.substr(0, word.size()) == word) {
                filled += value;
                text.remove_prefix(word.size());
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            filled += '{';
            text.remove_prefix(1);
        }
    }
    return filled;
}

std::string FormatDay(int year, int month, int day)
{
    std::tm date{};
    date.tm_year = year - 1900;
    date.tm_mon = month - 1;
    date.tm_mday = day;
    const std::string name = LocaleName();
    Locale locale(name.empty() ? nullptr : newlocale(LC_TIME_MASK | LC_CTYPE_MASK, name.c_str(), nullptr));
    if (!locale) {
        locale.reset(newlocale(LC_ALL_MASK, "C", nullptr));
    }
    // The locale's own short date says which comes first; its month's name keeps the day readable
    // in any order.
    const std::string numeric = name.empty() ? "%d/%m/%Y" : nl_langinfo_l(D_FMT, locale.get());
    const std::size_t dayAt = numeric.find_first_of("de", numeric.find('%'));
    const std::size_t monthAt = numeric.find("%m");
    const std::size_t yearAt = numeric.find_first_of("yY", numeric.find('%'));
    std::string format = "%-d %B %Y";
    if (yearAt != std::string::npos && yearAt < monthAt && yearAt < dayAt) {
        format = numeric;  // year first: the locale's own figures, which its readers expect
    } else if (monthAt != std::string::npos && monthAt < dayAt) {
        format = "%B %-d, %Y";
    } else if (dayAt != std::string::npos && dayAt + 1 < numeric.size() && numeric[dayAt + 1] == '.') {
        format = "%-d. %B %Y";
    }
    std::array<char, 128> buffer{};
    const std::size_t length = strftime_l(buffer.data(), buffer.size(), format.c_str(), &date, locale.get());
    std::string text(buffer.data(), length);
    const std::string codeset = nl_langinfo_l(CODESET, locale.get());
    if (codeset != "UTF-8" && !g_utf8_validate(text.c_str(), static_cast<gssize>(text.size()), nullptr)) {
        gchar* converted = g_convert(text.c_str(), static_cast<gssize>(text.size()), "UTF-8", codeset.c_str(), nullptr,
                                     nullptr, nullptr);
        text = converted != nullptr ? converted
                                    : std::to_string(year) + "-" + std::to_string(month) + "-" + std::to_string(day);
        g_free(converted);
    }
    return text;
}

}  // namespace kinetar::text
