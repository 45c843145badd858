#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/TextDrawing.h"

namespace kinetar::text {
namespace {

using project::Caption;
using project::Readability;
using project::TextPosition;

bool Inside(const Box& inner, const Box& outer)
{
    return inner.X >= outer.X && inner.Y >= outer.Y && inner.X + inner.Width <= outer.X + outer.Width &&
           inner.Y + inner.Height <= outer.Y + outer.Height;
}

std::string Describe(const Box& box)
{
    return std::to_string(box.X) + "," + std::to_string(box.Y) + " " + std::to_string(box.Width) + "x" +
           std::to_string(box.Height);
}

// A frame of one colour, 3 bytes a pixel.
struct Frame {
    Frame(std::int32_t width, std::int32_t height, std::uint8_t grey)
        : Width(width), Height(height), Pixels(static_cast<std::size_t>(width) * height * 3, grey)
    {
    }
    std::uint8_t* At(std::int32_t x, std::int32_t y)
    {
        return Pixels.data() + (static_cast<std::size_t>(y) * Width + x) * 3;
    }
    void Put(const DrawnText& text) { text.PutOn(Pixels, static_cast<std::size_t>(Width) * 3, Width, Height); }

    std::int32_t Width;
    std::int32_t Height;
    std::vector<std::uint8_t> Pixels;
};

TEST(TextDrawing, TheSafeAreaKeepsClearOfEdgesAndAPhonesControls)
{
    const struct {
        std::int32_t width, height;
        Box safe;
    } rows[] = {
        {1280, 720, {64, 36, 1152, 648}}, {1920, 1080, {96, 54, 1728, 972}},
        {1080, 1080, {54, 54, 972, 972}}, {1080, 1920, {54, 192, 972, 1344}},  // vertical: 10 % top, 20 % bottom
        {720, 1280, {36, 128, 648, 896}}, {1080, 1350, {54, 68, 972, 1214}},   // portrait 4:5 is no phone screen
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.width) + "x" + std::to_string(row.height));
        EXPECT_EQ(SafeArea(row.width, row.height), row.safe);
    }
}

// Every position on every shape of frame: the letters inside the safe area, on the side the
// position names.
TEST(TextDrawing, PositionsTimesAspectRatios)
{
    const std::pair<std::int32_t, std::int32_t> sizes[] = {{1280, 720}, {1080, 1920}, {1080, 1080}, {640, 480}};
    for (const auto& [width, height] : sizes) {
        const Box safe = SafeArea(width, height);
        for (int position = 0; position < 9; ++position) {
            for (const Readability style : {Readability::Shadow, Readability::Box}) {
                Caption caption;
                caption.Text = "Ag Caption";
                caption.Position = static_cast<TextPosition>(position);
                caption.Style = style;
                SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " " +
                             std::string(project::TextPositionName(caption.Position)));
                const auto drawn = DrawCaption(caption, width, height);
                const Box ink = drawn->Ink();
                EXPECT_TRUE(Inside(ink, safe)) << Describe(ink) << " in " << Describe(safe);
                EXPECT_NEAR(ink.Height, height * 0.05, height * 0.05 * 0.5);  // about the asked size
                const int row = position / 3;
                const int column = position % 3;
                const std::int32_t middleX = ink.X + ink.Width / 2;
                const std::int32_t middleY = ink.Y + ink.Height / 2;
                // Within the letters' own size of the edge the position names, or centred.
                const double slack = height * 0.05;
                if (column == 1) {
                    EXPECT_LT(ink.X - safe.X, slack);
                } else if (column == 2) {
                    EXPECT_LT(safe.X + safe.Width - (ink.X + ink.Width), slack);
                } else {
                    // The line's own box is centred; its letters' ink may lean a little.
                    EXPECT_NEAR(middleX, safe.X + safe.Width / 2, slack / 8 + 1);
                }
                if (row == 0) {
                    EXPECT_LT(safe.Y + safe.Height - (ink.Y + ink.Height), slack);
                } else if (row == 2) {
                    EXPECT_LT(ink.Y - safe.Y, slack);
                } else {
                    EXPECT_NEAR(middleY, safe.Y + safe.Height / 2, slack / 2);
                }
            }
        }
    }
}

TEST(TextDrawing, LongLinesAndWordsWrapWithinTheSafeWidth)
{
    const std::int32_t width = 640;
    const std::int32_t height = 360;
    const Box safe = SafeArea(width, height);
    Caption oneLine;
    oneLine.Text = "Short";
    const std::int32_t lineHeight = DrawCaption(oneLine, width, height)->Ink().Height;
    const struct {
        const char* name;
        std::string text;
        int minLines;
    } rows[] = {
        {"many words", "The quick brown fox jumps over the lazy dog while the cat watches from the window sill", 2},
        {"one long word", std::string(120, 'W'), 3},
        {"line breaks", "one\ntwo\nthree", 3},
        {"more than fits", std::string(2000, 'm'), 5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Caption caption;
        caption.Text = row.text;
        const Box ink = DrawCaption(caption, width, height)->Ink();
        EXPECT_TRUE(Inside(ink, safe)) << Describe(ink) << " in " << Describe(safe);
        EXPECT_GE(ink.Height, lineHeight * row.minLines) << "lines of " << lineHeight;
    }
}

// What fontconfig has: a font covering every character of the text.
bool SomeFontCovers(const std::string& utf8)
{
    FcCharSet* characters = FcCharSetCreate();
    const auto* bytes = reinterpret_cast<const FcChar8*>(utf8.data());
    int left = static_cast<int>(utf8.size());
    while (left > 0) {
        FcChar32 code = 0;
        const int used = FcUtf8ToUcs4(bytes, &code, left);
        if (used <= 0) {
            break;
        }
        if (code > ' ') {
            FcCharSetAddChar(characters, code);
        }
        bytes += used;
        left -= used;
    }
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddCharSet(pattern, FC_CHARSET, characters);
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
    const bool covered = fonts != nullptr && fonts->nfont > 0;
    if (fonts != nullptr) {
        FcFontSetDestroy(fonts);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    FcCharSetDestroy(characters);
    return covered;
}

// Right-to-left and CJK scripts come out as glyphs wherever an installed font has them; a
// character no font has is counted, which shows the count is real.
TEST(TextDrawing, ScriptsProduceGlyphsWhereAFontCoversThem)
{
    const struct {
        const char* name;
        const char* text;
    } rows[] = {
        {"Hebrew", "שלום עולם"},
        {"Arabic", "مرحبا بالعالم"},
        {"Chinese", "你好，世界"},
        {"Japanese", "こんにちは世界"},
        {"Greek and Cyrillic", "Καλημέρα Привет"},
        {"combining marks", "Cafe\xCC\x81 n\xCC\x83"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (!SomeFontCovers(row.text)) {
            std::cout << "no installed font covers the " << row.name << " row; it is not checked\n";
            continue;
        }
        Caption caption;
        caption.Text = row.text;
        const auto drawn = DrawCaption(caption, 1280, 720);
        EXPECT_EQ(drawn->UnknownGlyphs(), 0);
        EXPECT_GT(drawn->Ink().Width, 0);
    }
    Caption unassigned;
    unassigned.Text = "A\xCD\xB8";  // U+0378, no character at all
    EXPECT_GT(DrawCaption(unassigned, 1280, 720)->UnknownGlyphs(), 0);
}

// The looks change the pixels where they should: the box's colour around the letters, the dark
// of a shadow or an outline next to white letters on white.
TEST(TextDrawing, ReadabilityStylesDrawWhatTheySay)
{
    const std::int32_t width = 640;
    const std::int32_t height = 360;
    const struct {
        Readability style;
        bool darkensWhite;
        bool paintsBox;
    } rows[] = {
        {Readability::Plain, false, false},
        {Readability::Shadow, true, false},
        {Readability::Outline, true, false},
        {Readability::Box, true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(project::ReadabilityName(row.style)));
        Caption caption;
        caption.Text = "READ";
        caption.Style = row.style;
        caption.Box = {0, 0, 255, 255};  // opaque blue
        const auto drawn = DrawCaption(caption, width, height);
        Frame frame(width, height, 255);
        frame.Put(*drawn);
        int dark = 0;
        for (std::size_t i = 0; i < frame.Pixels.size(); i += 3) {
            dark += frame.Pixels[i + 1] < 128 ? 1 : 0;  // green falls under shadow, outline and box
        }
        EXPECT_EQ(dark > 0, row.darkensWhite) << dark;
        // Just above the letters' ink: the box's padding, blue (blue, green, red in the frame).
        const std::uint8_t* above = frame.At(drawn->Ink().X + 1, drawn->Ink().Y - 2);
        EXPECT_EQ(above[0] == 255 && above[1] == 0 && above[2] == 0, row.paintsBox);
    }
}

// White words on a white picture: the shadow's and the outline's shade fills the space between two
// words, so the picture does not show through it as a stray mark, at every frame size.
TEST(TextDrawing, TheShadeFillsTheSpaceBetweenWords)
{
    const struct {
        Readability style;
        std::int32_t height;
        int darkest, lightest;  // allowed in the middle of the space, 0 to 255
    } rows[] = {
        {Readability::Shadow, 360, 0, 40},   {Readability::Shadow, 720, 0, 40},  {Readability::Shadow, 1080, 0, 40},
        {Readability::Outline, 360, 0, 80},  {Readability::Outline, 720, 0, 80}, {Readability::Outline, 1080, 0, 80},
        {Readability::Plain, 720, 255, 255},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(project::ReadabilityName(row.style)) + " " + std::to_string(row.height));
        const std::int32_t width = row.height * 16 / 9;
        Caption caption;
        caption.Text = "Holiday in";
        caption.Style = Readability::Plain;
        // Where the space is, from the plain letters on black: the widest run of empty columns
        // within their ink.
        Frame black(width, row.height, 0);
        const auto plain = DrawCaption(caption, width, row.height);
        black.Put(*plain);
        const Box ink = plain->Ink();
        std::int32_t gapStart = 0, gapWidth = 0;
        for (std::int32_t x = ink.X, run = 0; x < ink.X + ink.Width; ++x) {
            bool empty = true;
            for (std::int32_t y = ink.Y; y < ink.Y + ink.Height && empty; ++y) {
                empty = black.At(x, y)[1] < 40;
            }
            run = empty ? run + 1 : 0;
            if (run > gapWidth) {
                gapWidth = run;
                gapStart = x - run + 1;
            }
        }
        ASSERT_GT(gapWidth, row.height / 100);
        caption.Style = row.style;
        const auto drawn = DrawCaption(caption, width, row.height);
        Frame white(width, row.height, 255);
        white.Put(*drawn);
        // The same layout, moved by how far the style reaches.
        const std::uint8_t* middle =
            white.At(drawn->Ink().X + (gapStart - ink.X) + gapWidth / 2, drawn->Ink().Y + drawn->Ink().Height / 2);
        EXPECT_GE(middle[1], row.darkest);
        EXPECT_LE(middle[1], row.lightest);
    }
}

// Premultiplied pixels over the frame as Cairo's OVER blends them; parts outside the frame left out.
TEST(TextDrawing, WordsBlendOverTheFrameAndStayInsideIt)
{
    // Opaque red, half-covering white (premultiplied 0x80 alpha, red 0x80), transparent, and a
    // column past the frame's right edge.
    const std::vector<std::uint32_t> pixels{0xFFFF0000U, 0x80800000U, 0x00000000U, 0xFFFFFFFFU};
    const DrawnText text({1, 0, 4, 1}, pixels, {1, 0, 4, 1}, 0);
    Frame frame(4, 1, 100);
    frame.Put(text);
    const std::vector<std::uint8_t> expected{100, 100, 100,   // untouched
                                             0,   0,   255,   // red, blue green red order
                                             50,  50,  178,   // 0x80 + 100 x 127 / 255 = 128 + 50
                                             100, 100, 100};  // transparent
    EXPECT_EQ(frame.Pixels, expected);
    Frame small(2, 1, 7);
    small.Put(DrawnText({-1, -1, 4, 2}, std::vector<std::uint32_t>(8, 0xFFFFFFFFU), {}, 0));
    EXPECT_EQ(small.Pixels, std::vector<std::uint8_t>(6, 255));
}

TEST(TextDrawing, AFamilyNotInstalledIsNamedOnce)
{
    std::vector<std::string> warnings;
    SetFontWarningHandler([&](const std::string& message) { warnings.push_back(message); });
    Caption caption;
    caption.Text = "x";
    caption.Font.Family = "No Such Family Kt";
    (void)DrawCaption(caption, 320, 180);
    (void)DrawCaption(caption, 320, 180);
    caption.Font.Family = "DejaVu Sans";
    (void)DrawCaption(caption, 320, 180);
    caption.Font.Family = "serif";
    (void)DrawCaption(caption, 320, 180);
    SetFontWarningHandler(nullptr);
    ASSERT_EQ(warnings.size(), 1U);
    EXPECT_EQ(warnings[0].rfind("The font family \"No Such Family Kt\" is not installed; \"", 0), 0U) << warnings[0];
}

}  // namespace
}  // namespace kinetar::text
