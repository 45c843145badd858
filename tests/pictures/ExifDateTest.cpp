#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "pictures/Orientation.h"
#include "pictures/PhotoDate.h"
#include "support/ExternalTools.h"
#include "support/TestFiles.h"

namespace kinetar::pictures {
namespace {

// EXIF data built field by field: a TIFF header, the main directory, and the EXIF directory it
// points to, each entry a tag, a type, a count and a value or the offset of one.
class ExifBuilder {
public:
    explicit ExifBuilder(bool bigEndian) : m_bigEndian(bigEndian) {}

    ExifBuilder& MainDate(const std::string& date) { return m_mainDate = date, *this; }
    ExifBuilder& TakenDate(const std::string& date) { return m_takenDate = date, *this; }
    ExifBuilder& DateType(std::uint16_t type) { return m_dateType = type, *this; }

    std::vector<std::uint8_t> Build() const
    {
        // Layout: header (8), main directory at 8 with up to 2 entries, EXIF directory after it,
        // then the date strings.
        std::vector<std::uint8_t> out;
        Append(out, m_bigEndian ? 0x4D4D : 0x4949, 2);  // "MM" or "II", the same either way
        Put16(out, 42);
        Put32(out, 8);
        const bool hasMain = !m_mainDate.empty();
        const bool hasTaken = !m_takenDate.empty();
        const std::uint16_t mainEntries = static_cast<std::uint16_t>((hasMain ? 1 : 0) + (hasTaken ? 1 : 0));
        const std::uint32_t exifDirectory = 8 + 2 + 12U * mainEntries + 4;
        const std::uint32_t strings = exifDirectory + (hasTaken ? 2 + 12 + 4 : 0);
        Put16(out, mainEntries);
        if (hasMain) {
            Entry(out, 0x0132, m_dateType, static_cast<std::uint32_t>(m_mainDate.size() + 1),
                  strings + (hasTaken ? static_cast<std::uint32_t>(m_takenDate.size() + 1) : 0));
        }
        if (hasTaken) {
            Entry(out, 0x8769, 4, 1, exifDirectory);
        }
        Put32(out, 0);  // no next directory
        if (hasTaken) {
            Put16(out, 1);
            Entry(out, 0x9003, m_dateType, static_cast<std::uint32_t>(m_takenDate.size() + 1), strings);
            Put32(out, 0);
            out.insert(out.end(), m_takenDate.begin(), m_takenDate.end());
            out.push_back(0);
        }
        if (hasMain) {
            out.insert(out.end(), m_mainDate.begin(), m_mainDate.end());
            out.push_back(0);
        }
        return out;
    }

private:
    void Append(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) const
    {
        for (int i = 0; i < bytes; ++i) {
            const int shift = m_bigEndian ? 8 * (bytes - 1 - i) : 8 * i;
            out.push_back(static_cast<std::uint8_t>(value >> shift));
        }
    }
    void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) const { Append(out, value, 2); }
    void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) const { Append(out, value, 4); }
    void Entry(std::vector<std::uint8_t>& out, std::uint16_t tag, std::uint16_t type, std::uint32_t count,
               std::uint32_t value) const
    {
        Put16(out, tag);
        Put16(out, type);
        Put32(out, count);
        Put32(out, value);
    }

    bool m_bigEndian;
    std::string m_mainDate;
    std::string m_takenDate;
    std::uint16_t m_dateType = 2;  // ASCII
};

TEST(ExifDate, TheDateTakenComesBeforeTheFilesDate)
{
    const struct {
        const char* name;
        ExifBuilder exif;
        std::optional<CalendarDate> date;
    } rows[] = {
        {"taken, little-endian", ExifBuilder(false).TakenDate("2024:06:21 10:11:12"), CalendarDate{2024, 6, 21}},
        {"taken, big-endian", ExifBuilder(true).TakenDate("2019:12:31 23:59:59"), CalendarDate{2019, 12, 31}},
        {"both: taken wins", ExifBuilder(false).TakenDate("2020:01:02 00:00:00").MainDate("2023:03:04 00:00:00"),
         CalendarDate{2020, 1, 2}},
        {"main only", ExifBuilder(true).MainDate("2023:03:04 05:06:07"), CalendarDate{2023, 3, 4}},
        {"blank taken date: the main one",
         ExifBuilder(false).TakenDate("    :  :     :  :  ").MainDate("2022:02:02 00:00:00"), CalendarDate{2022, 2, 2}},
        {"month 13", ExifBuilder(false).TakenDate("2024:13:01 00:00:00"), std::nullopt},
        {"not text", ExifBuilder(false).TakenDate("2024:06:21 10:11:12").DateType(7), std::nullopt},
        {"too short", ExifBuilder(false).TakenDate("2024:06"), std::nullopt},
        {"no dates", ExifBuilder(false), std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::uint8_t> bytes = row.exif.Build();
        EXPECT_EQ(ExifDateTaken(bytes), row.date);
        // As JPEG keeps it: after "Exif\0\0".
        bytes.insert(bytes.begin(), {'E', 'x', 'i', 'f', 0, 0});
        EXPECT_EQ(ExifDateTaken(bytes), row.date);
    }
    // Every cut of a dated directory reads as no date or the date, never past the end.
    const std::vector<std::uint8_t> whole =
        ExifBuilder(false).TakenDate("2024:06:21 10:11:12").MainDate("2023:03:04 05:06:07").Build();
    for (std::size_t size = 0; size < whole.size(); ++size) {
        const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
        const auto date = ExifDateTaken(cut);
        const bool known = !date || *date == CalendarDate{2024, 6, 21} || *date == CalendarDate{2023, 3, 4};
        EXPECT_TRUE(known) << size;
    }
}

// Photos dated by exiftool in each format that carries EXIF; a file without a date has its own.
TEST(ExifDate, PhotosOfEachFormatAndTheFilesOwnDate)
{
    KINETAR_SKIP_WITHOUT(test::kExiftool);
    KINETAR_SKIP_WITHOUT(test::kConvert);
    const test::TempDir dir;
    for (const char* extension : {"jpg", "png", "webp"}) {
        SCOPED_TRACE(extension);
        const std::string path = dir.File(std::string("dated.") + extension);
        ASSERT_EQ(test::RunCommand(test::kConvert + " -size 8x8 xc:red " + test::ShellQuote(path)), 0);
        ASSERT_EQ(
            test::RunCommand(test::kExiftool + " -q -overwrite_original '-DateTimeOriginal=2021:07:14 09:30:00' " +
                             test::ShellQuote(path)),
            0);
        EXPECT_EQ(PhotoDate(path), (CalendarDate{2021, 7, 14}));
    }
    const std::string plain = dir.File("plain.png");
    ASSERT_EQ(test::RunCommand(test::kConvert + " -size 8x8 xc:blue " + test::ShellQuote(plain)), 0);
    ASSERT_EQ(test::RunCommand("touch -d '2018-05-09 12:00:00' " + test::ShellQuote(plain)), 0);
    EXPECT_EQ(PhotoDate(plain), (CalendarDate{2018, 5, 9}));
    EXPECT_EQ(PhotoDate(dir.File("missing.jpg")), CalendarDate{});
}

}  // namespace
}  // namespace kinetar::pictures
