#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The words a caption may hold, filled in at render time for the picture it is on.
namespace kinetar::text {

struct TemplateValues {
    std::string Date;        // {date}: when the photo was taken, as the user's locale writes a day
    std::string Name;        // {name}: the file's name without its extension
    std::int64_t Index = 0;  // {index}: the picture's place among the pictures, from 1
    std::int64_t Count = 0;  // {count}: how many pictures the video shows
};

// Whether the text asks for the date, which takes reading the picture's file.
bool UsesDate(std::string_view text);
// The text with each {date}, {name}, {index} and {count} replaced; other braces stay as they are.
std::string FillTemplates(std::string_view text, const TemplateValues& values);

// A day as the user's locale (LC_TIME, else LC_ALL or LANG) writes it with the month's name:
// "21 June 2024", "June 21, 2024" where the month comes first, "21. Juni 2024"; English day first
// when no locale is set. UTF-8 whatever the locale's own encoding.
std::string FormatDay(int year, int month, int day);

}  // namespace kinetar::text
