#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "project/PictureOrder.h"
#include "project/ProjectFile.h"

namespace kinetar::project {
namespace {

bool CaseInsensitiveLess(const std::string& left, const std::string& right)
{
    return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) < std::tolower(static_cast<unsigned char>(b));
    });
}

TEST(PictureOrder, SortKeys)
{
    const struct {
        const char* path;
        SortMode mode;
        const char* key;
    } rows[] = {
        {"/pics/Holiday.BMP", SortMode::Name, "Holiday"},
        {"/pics/archive.tar.gz", SortMode::Name, "archive.tar"},
        {"/pics.d/noextension", SortMode::Name, "noextension"},
        {"/pics/12shot.bmp", SortMode::NumberAtStart, "000000012"},
        {"/pics/shot12.bmp", SortMode::NumberAtStart, "999999999"},
        {"/pics/shot12.bmp", SortMode::NumberAtEnd, "000000012"},
        {"/pics/12shot.bmp", SortMode::NumberAtEnd, "999999999"},
        {"/pics/007.gif", SortMode::NumberAtEnd, "000000007"},
        {"/pics/a1b22.tga", SortMode::NumberAtEnd, "000000022"},
        {"/pics/frame1234567890.pcx", SortMode::NumberAtEnd, "1234567890"},
        {"/p1/x.bmp", SortMode::NumberAtEnd, "999999999"},  // digits of the folder do not count
        {"/pics/.bmp", SortMode::NumberAtStart, "999999999"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(PictureSortKey(row.path, row.mode), row.key);
    }
}

TEST(PictureOrder, Orders)
{
    const struct {
        const char* name;
        SortMode mode;
        std::vector<std::string> given;
        std::vector<std::string> sorted;
    } rows[] = {
        {"by name, without case",
         SortMode::Name,
         {"/p/b.bmp", "/p/C.bmp", "/p/a.bmp"},
         {"/p/a.bmp", "/p/b.bmp", "/p/C.bmp"}},
        {"numbers compare by value",
         SortMode::NumberAtEnd,
         {"/p/f10.bmp", "/p/f9.bmp", "/p/f100.bmp"},
         {"/p/f9.bmp", "/p/f10.bmp", "/p/f100.bmp"}},
        {"names without a number go last",
         SortMode::NumberAtStart,
         {"/p/title.bmp", "/p/2.bmp", "/p/1.bmp"},
         {"/p/1.bmp", "/p/2.bmp", "/p/title.bmp"}},
        // Equal keys come out in the reverse of the order they were given.
        {"equal keys reversed",
         SortMode::NumberAtEnd,
         {"/p/x.bmp", "/p/y.bmp", "/p/a5.bmp", "/p/b5.bmp"},
         {"/p/b5.bmp", "/p/a5.bmp", "/p/y.bmp", "/p/x.bmp"}},
        {"keys equal without case reversed", SortMode::Name, {"/p/A.bmp", "/q/a.gif"}, {"/q/a.gif", "/p/A.bmp"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(SortPictures(row.given, row.mode, CaseInsensitiveLess), row.sorted);
    }
}

TEST(ProjectNames, DefaultAviFileName)
{
    const struct {
        const char* project;
        const char* avi;
    } rows[] = {
        {"/home/ann/Films/Trip.AVIprj", "/home/ann/Films/Trip.avi"},
        {"/demo.AVIprj", "/demo.avi"},
        {"/work/my.holiday.AVIprj", "/work/my.holiday.avi"},
        {"/work.d/project", "/work.d/project.avi"},
        {"relative.AVIprj", "relative.avi"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DefaultAviFileName(row.project), row.avi) << row.project;
    }
}

TEST(ProjectFile, ColorDepthCodeIsTheInverseOfColorDepthBits)
{
    for (const int bits : {1, 4, 8, 24}) {
        const auto code = ColorDepthCode(bits);
        ASSERT_TRUE(code.has_value()) << bits;
        ProjectHeader header{};
        header.ColorDepth = *code;
        EXPECT_EQ(ColorDepthBits(header), bits);
    }
    EXPECT_EQ(ColorDepthCode(24), 3);
    for (const int bits : {0, 2, 16, 32, -1}) {
        EXPECT_FALSE(ColorDepthCode(bits).has_value()) << bits;
    }
}

}  // namespace
}  // namespace kinetar::project
