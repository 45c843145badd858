#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/Error.h"
#include "project/FrameEdits.h"
#include "project/RecordPaths.h"
#include "project/Slideshow.h"
#include "project/TextRecords.h"
#include "support/ErrorText.h"
#include "support/TestFiles.h"

namespace kinetar::project {
namespace {

const std::uint8_t* Bytes(const FrameRecord& record)
{
    return reinterpret_cast<const std::uint8_t*>(&record);
}

Caption SampleCaption()
{
    Caption caption;
    caption.Text = "Trip to the sea, {date}";
    caption.Position = TextPosition::TopRight;
    caption.Size = 45;
    caption.Colour = {0x12, 0x34, 0x56};
    caption.Style = Readability::Box;
    caption.Box = {0xAA, 0xBB, 0xCC, 0x80};
    caption.Font = {"DejaVu Serif", true, true};
    return caption;
}

TEST(TextRecords, ACaptionsBytesSitWhereTheManualSays)
{
    const FrameRecord record = NewCaptionRecord(SampleCaption());
    const std::uint8_t* bytes = Bytes(record);
    EXPECT_EQ(bytes[0], 2);
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 1), "Trip to the sea, {date}");
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 1 + 24), "DejaVu Serif");  // after the text's zero
    for (int offset = 262; offset < 272; ++offset) {
        EXPECT_EQ(bytes[offset], 0) << "an older reader's duration and crossfade, offset " << offset;
    }
    EXPECT_EQ(bytes[272], 8);                     // top-right
    EXPECT_EQ(bytes[273], 3);                     // box
    EXPECT_EQ(bytes[274] | bytes[275] << 8, 45);  // 4.5 %
    EXPECT_EQ(bytes[276], 0x12);                  // colour
    EXPECT_EQ(bytes[278], 0x56);
    EXPECT_EQ(bytes[279], 0xAA);  // box colour
    EXPECT_EQ(bytes[282], 0x80);  // box opacity
    EXPECT_EQ(bytes[283], 3);     // bold and italic
    for (int offset = 284; offset < 292; ++offset) {
        EXPECT_EQ(bytes[offset], 0) << "reserved, offset " << offset;
    }
    EXPECT_TRUE(IsCaptionRecord(record));
    EXPECT_TRUE(TakesNoVideoTime(record));
    EXPECT_FALSE(IsPictureRecord(record));
}

TEST(TextRecords, CaptionsAndTitlesReadBackAsWritten)
{
    Caption plain;
    plain.Text = "שלום, 世界 — e\xCC\x81";  // Hebrew, CJK, a combining accent
    Caption styled = SampleCaption();
    Caption sized = SampleCaption();
    sized.Size = kMaxTextSize;
    sized.Font = {"", true, false};
    for (const Caption& caption : {plain, styled, sized}) {
        SCOPED_TRACE(caption.Text);
        EXPECT_EQ(GetCaption(NewCaptionRecord(caption)), caption);
    }
    Title title{.Text = "Summer 2024",
                .Subtitle = "Crete",
                .Background = {1, 2, 3},
                .BlurredBackground = true,
                .Font = {"DejaVu Sans", false, true}};
    Title bare{.Text = "The end", .Subtitle = {}, .Background = {}, .BlurredBackground = false, .Font = {}};
    for (const Title& shown : {title, bare}) {
        SCOPED_TRACE(shown.Text);
        const FrameRecord record = NewTitleRecord(shown);
        EXPECT_TRUE(IsTitleRecord(record));
        EXPECT_FALSE(TakesNoVideoTime(record));
        EXPECT_EQ(record.Stretch, 1);
        EXPECT_EQ(GetTitle(record), shown);
    }
}

TEST(TextRecords, UnknownStyleValuesReadAsTheDefaults)
{
    FrameRecord record = NewCaptionRecord(SampleCaption());
    auto* bytes = reinterpret_cast<std::uint8_t*>(&record);
    bytes[272] = 9;  // no tenth position
    bytes[273] = 200;
    bytes[274] = 0;  // size 0
    bytes[275] = 0;
    const Caption read = GetCaption(record);
    EXPECT_EQ(read.Position, TextPosition::Bottom);
    EXPECT_EQ(read.Style, Readability::Shadow);
    EXPECT_EQ(read.Size, kDefaultCaptionSize);
    bytes[274] = 0xFF;  // far past the largest size
    bytes[275] = 0xFF;
    EXPECT_EQ(GetCaption(record).Size, kMaxTextSize);
}

TEST(TextRecords, TextThatDoesNotFitIsRefusedWithBothLengths)
{
    const struct {
        std::size_t textBytes;
        const char* family;
        const char* error;  // empty: it fits
    } rows[] = {
        {260, "", ""},
        {261, "", "The caption is 261 bytes long; together they may take up to 259 bytes, a text alone 260"},
        {248, "DejaVu Sans", ""},  // 248 + zero + 11 + zero: the whole field
        {249, "DejaVu Sans",
         "The caption is 249 bytes long and the font family 11; together they may take up to 259 bytes, a text alone "
         "260"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.textBytes) + " " + row.family);
        Caption caption;
        caption.Text = std::string(row.textBytes, 'x');
        caption.Font.Family = row.family;
        if (*row.error == '\0') {
            EXPECT_EQ(GetCaption(NewCaptionRecord(caption)).Text, caption.Text);
            EXPECT_EQ(GetCaption(NewCaptionRecord(caption)).Font.Family, row.family);
        } else {
            EXPECT_EQ(test::ErrorText([&] { (void)NewCaptionRecord(caption); }), row.error);
        }
    }
    Title title;
    title.Text = "Two\nlines";
    EXPECT_EQ(test::ErrorText([&] { (void)NewTitleRecord(title); }),
              "A title is one line; the second goes into its subtitle");
    title.Text = std::string(200, 't');
    title.Subtitle = std::string(60, 's');  // 200 + line break + 60
    EXPECT_EQ(test::ErrorText([&] { (void)NewTitleRecord(title); }),
              "The title is 261 bytes long; together they may take up to 259 bytes, a text alone 260");
}

TEST(TextRecords, ATitleKeepsThePictureTimingAndMotionItIsGiven)
{
    FrameRecord record =
        NewTitleRecord({.Text = "Hello", .Subtitle = {}, .Background = {}, .BlurredBackground = false, .Font = {}});
    FrameEdit edit;
    edit.Duration = 3000;
    edit.Crossfade = 500;
    edit.Motion = MotionEdit::Whole(*ParseMotion("0.5,0.5,1:0.5,0.5,1.5", nullptr));
    EXPECT_TRUE(ApplyFrameEdit(record, edit));
    SetTitle(
        record,
        {.Text = "Hello again", .Subtitle = "two", .Background = {9, 9, 9}, .BlurredBackground = false, .Font = {}});
    EXPECT_EQ(record.Duration, 3000U);
    EXPECT_EQ(record.Crossfade, 500U);
    EXPECT_EQ(GetMotion(record).Kind, MotionKind::Custom);
    EXPECT_EQ(GetTitle(record).Subtitle, "two");

    // A caption takes no frame edit: its bytes past the text are its looks.
    const FrameRecord caption = NewCaptionRecord(SampleCaption());
    FrameRecord edited = caption;
    EXPECT_FALSE(ApplyFrameEdit(edited, edit));
    EXPECT_EQ(std::memcmp(&edited, &caption, sizeof(FrameRecord)), 0);
}

TEST(TextRecords, CaptionsTakeNoTimeAndTitlesTakeTheirs)
{
    const FrameRate rate{10, 1};
    FrameRecord picture = NewFrameRecord("/p/a.bmp");
    picture.Duration = 1000;
    FrameRecord title =
        NewTitleRecord({.Text = "T", .Subtitle = {}, .Background = {}, .BlurredBackground = false, .Font = {}});
    title.Duration = 2000;
    const FrameRecord caption = NewCaptionRecord(SampleCaption());
    const FrameRecord sound = NewSoundRecord("/p/a.mp3");
    const std::vector<FrameRecord> records{title, sound, caption, picture, caption, caption, picture};
    EXPECT_EQ(VideoFrameCount(records, rate), 40);
    const std::vector<SoundCue> cues{{1, 20}};
    EXPECT_EQ(SoundCues(records, rate), cues);
}

TEST(TextRecords, NamesAndSizesAsTheCommandLineTakesThem)
{
    const struct {
        const char* text;
        std::optional<std::uint16_t> tenths;
    } sizes[] = {{"5", 50},
                 {"4.5", 45},
                 {"1", 10},
                 {"50", 500},
                 {"0.9", std::nullopt},
                 {"50.1", std::nullopt},
                 {"5.", std::nullopt},
                 {".5", std::nullopt},
                 {"4.25", std::nullopt},
                 {"-5", std::nullopt},
                 {"", std::nullopt},
                 {"5%", std::nullopt}};
    for (const auto& row : sizes) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(ParseTextSize(row.text), row.tenths);
        if (row.tenths) {
            EXPECT_EQ(FormatTextSize(*row.tenths), row.text);
        }
    }

    const struct {
        std::string text;
        std::optional<FontChoice> font;
    } fonts[] = {
        {"DejaVu Serif", FontChoice{"DejaVu Serif", false, false}},
        {"DejaVu Serif bold", FontChoice{"DejaVu Serif", true, false}},
        {"Noto Sans CJK JP Italic Bold", FontChoice{"Noto Sans CJK JP", true, true}},
        {"bold", FontChoice{"", true, false}},
        {"  Sans  italic ", FontChoice{"Sans", false, true}},
        {"Boldface", FontChoice{"Boldface", false, false}},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {std::string(259, 'f'), std::nullopt},  // no room left for a word
    };
    for (const auto& row : fonts) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(ParseFontChoice(row.text), row.font);
    }
}

// The run reads a copy whose relative picture paths are made absolute: a caption's words are no
// path and come through byte for byte, the font family after them included.
TEST(TextRecords, AbsolutePathsLeaveCaptionsAndTitlesAlone)
{
    const test::TempDir dir;
    const std::string project = dir.File("show.AVIprj");
    const FrameRecord caption = NewCaptionRecord(SampleCaption());
    const FrameRecord title = NewTitleRecord({.Text = "words",
                                              .Subtitle = {},
                                              .Background = {},
                                              .BlurredBackground = false,
                                              .Font = {"Serif", false, false}});
    ReplaceProjectFile(project, NewProjectHeader(), {title, caption, NewFrameRecord("a.bmp")});
    const RecordsWithAbsolutePaths absolute(project, dir.Path().string());
    ASSERT_NE(absolute.Path(), project);
    std::vector<FrameRecord> records;
    ReadProject(absolute.Path(), &records);
    ASSERT_EQ(records.size(), 3U);
    EXPECT_EQ(std::memcmp(&records[0], &title, sizeof(FrameRecord)), 0);
    EXPECT_EQ(std::memcmp(&records[1], &caption, sizeof(FrameRecord)), 0);
    EXPECT_EQ(GetText(records[2].PictureFileName), dir.File("a.bmp"));
}

}  // namespace
}  // namespace kinetar::project
