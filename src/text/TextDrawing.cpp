#include "text/TextDrawing.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <set>

namespace kinetar::text {

namespace {

// Owners of the library objects, so an early return frees them.
struct GObjectUnref {
    void operator()(void* object) const { g_object_unref(object); }
};
struct FontDescriptionFree {
    void operator()(PangoFontDescription* description) const { pango_font_description_free(description); }
};
struct SurfaceDestroy {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct CairoDestroy {
    void operator()(cairo_t* cairo) const { cairo_destroy(cairo); }
};
struct FontOptionsDestroy {
    void operator()(cairo_font_options_t* options) const { cairo_font_options_destroy(options); }
};
struct PatternDestroy {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
struct GFree {
    void operator()(char* text) const { g_free(text); }
};
using Layout = std::unique_ptr<PangoLayout, GObjectUnref>;
using Context = std::unique_ptr<PangoContext, GObjectUnref>;

std::mutex g_warningMutex;
std::function<void(const std::string&)> g_warningHandler;
std::set<std::string> g_warnedFamilies;

// Generic names fontconfig answers with whatever face the system prefers.
bool IsGenericFamily(const std::string& family)
{
    static constexpr std::array<const char*, 8> kGeneric{"sans-serif", "sans",  "serif",     "monospace",
                                                         "mono",       "emoji", "system-ui", "cursive"};
    return std::any_of(kGeneric.begin(), kGeneric.end(), [&](const char* generic) {
        return FcStrCmpIgnoreCase(reinterpret_cast<const FcChar8*>(generic),
                                  reinterpret_cast<const FcChar8*>(family.c_str())) == 0;
    });
}

// Fontconfig's face for the family, by the same rules Pango finds it; a family the answer does not
// bear is not installed, and the user is told once which one stands in for it.
void WarnIfNotInstalled(const std::string& family)
{
    if (family.empty() || IsGenericFamily(family)) {
        return;
    }
    {
        const std::lock_guard lock(g_warningMutex);
        if (!g_warningHandler || g_warnedFamilies.count(family) != 0) {
            return;
        }
    }
    const std::unique_ptr<FcPattern, PatternDestroy> pattern(FcPatternCreate());
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    const std::unique_ptr<FcPattern, PatternDestroy> match(FcFontMatch(nullptr, pattern.get(), &result));
    std::string standIn = "none";
    if (match) {
        FcChar8* name = nullptr;
        for (int i = 0; FcPatternGetString(match.get(), FC_FAMILY, i, &name) == FcResultMatch; ++i) {
            if (FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family.c_str())) == 0) {
                return;
            }
            if (i == 0) {
                standIn = reinterpret_cast<const char*>(name);
            }
        }
    }
    std::function<void(const std::string&)> handler;
    {
        const std::lock_guard lock(g_warningMutex);
        if (!g_warnedFamilies.insert(family).second) {
            return;
        }
        handler = g_warningHandler;
    }
    if (handler) {
        handler("The font family \"" + family + "\" is not installed; \"" + standIn + "\" stands in for it");
    }
}

// A context with the font options of an image surface, so the layout measured is the one drawn.
Context NewContext()
{
    Context context(pango_font_map_create_context(pango_cairo_font_map_get_default()));
    const std::unique_ptr<cairo_font_options_t, FontOptionsDestroy> options(cairo_font_options_create());
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(context.get(), options.get());
    return context;
}

// The text as Pango takes it: valid UTF-8, a damaged byte drawn as U+FFFD.
std::string ValidText(const std::string& text)
{
    const std::unique_ptr<char, GFree> valid(g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size())));
    return valid.get();
}

Layout NewLayout(PangoContext* context, const std::string& text, const project::FontChoice& font, double pixels,
                 std::int32_t width, std::int32_t height, PangoAlignment alignment)
{
    WarnIfNotInstalled(font.Family);
    Layout layout(pango_layout_new(context));
    const std::unique_ptr<PangoFontDescription, FontDescriptionFree> description(pango_font_description_new());
    pango_font_description_set_family(description.get(), font.Family.empty() ? "sans-serif" : font.Family.c_str());
    pango_font_description_set_weight(description.get(), font.Bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(description.get(), font.Italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_font_description_set_absolute_size(description.get(), pixels * PANGO_SCALE);
    pango_layout_set_font_description(layout.get(), description.get());
    // Alignment means the frame's left and right whatever the script's direction.
    pango_layout_set_auto_dir(layout.get(), FALSE);
    pango_layout_set_alignment(layout.get(), alignment);
    pango_layout_set_width(layout.get(), width * PANGO_SCALE);
    pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
    pango_layout_set_height(layout.get(), height * PANGO_SCALE);
    pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
    const std::string valid = ValidText(text);
    pango_layout_set_text(layout.get(), valid.c_str(), static_cast<int>(valid.size()));
    return layout;
}

Box Union(const Box& a, const Box& b)
{
    if (a.Width <= 0 || a.Height <= 0) {
        return b;
    }
    if (b.Width <= 0 || b.Height <= 0) {
        return a;
    }
    const std::int32_t left = std::min(a.X, b.X);
    const std::int32_t top = std::min(a.Y, b.Y);
    const std::int32_t right = std::max(a.X + a.Width, b.X + b.Width);
    const std::int32_t bottom = std::max(a.Y + a.Height, b.Y + b.Height);
    return {left, top, right - left, bottom - top};
}

Box Grown(const Box& box, std::int32_t by)
{
    return {box.X - by, box.Y - by, box.Width + 2 * by, box.Height + 2 * by};
}

Box Clipped(const Box& box, std::int32_t width, std::int32_t height)
{
    const std::int32_t left = std::clamp(box.X, 0, width);
    const std::int32_t top = std::clamp(box.Y, 0, height);
    const std::int32_t right = std::clamp(box.X + box.Width, left, width);
    const std::int32_t bottom = std::clamp(box.Y + box.Height, top, height);
    return {left, top, right - left, bottom - top};
}

// A layout and where its origin goes in the frame, whole pixels so that the glyphs land as Pango
// draws them on its own.
struct Piece {
    PangoLayout* Layout = nullptr;
    std::int32_t X = 0;
    std::int32_t Y = 0;

    Box InkBox() const
    {
        PangoRectangle ink;
        pango_layout_get_pixel_extents(Layout, &ink, nullptr);
        return {X + ink.x, Y + ink.y, ink.width, ink.height};
    }
    Box LogicalBox() const
    {
        PangoRectangle logical;
        pango_layout_get_pixel_extents(Layout, nullptr, &logical);
        return {X + logical.x, Y + logical.y, logical.width, logical.height};
    }
};

struct Look {
    project::Readability Style = project::Readability::Plain;
    project::Rgb Colour{255, 255, 255};
    project::Rgba Box{0, 0, 0, 192};
    double Pixels = 10;  // the letters' size, which the shadow, outline and box follow
};

void SetColour(cairo_t* cairo, const project::Rgb& colour, double alpha = 1.0)
{
    cairo_set_source_rgba(cairo, colour[0] / 255.0, colour[1] / 255.0, colour[2] / 255.0, alpha);
}

// Each readability style's measures follow the letters' size.
std::int32_t ShadowOffset(double pixels)
{
    return static_cast<std::int32_t>(std::max(1.0, std::round(pixels * 0.04)));
}
// The shade is wide enough to fill the gaps between letters and words evenly: a narrower one
// leaves patches of a light picture showing through between words in odd shapes, which read
// (to a person and to OCR) as stray marks or make the words run together.
double ShadowSpread(double pixels)
{
    return std::max(1.0, pixels * 0.6);
}
std::int32_t ShadowRadius(double pixels)
{
    return static_cast<std::int32_t>(std::max(1.0, std::round(pixels * 0.1)));
}
constexpr double kShadowOpacity = 1.0;
double OutlineWidth(double pixels)
{
    return std::max(1.5, pixels * 0.12);
}
// The outline sits on a shade of the same reach, so a busy picture between the words does not
// pass for letters beside the outlined ones (a fainter shade let a pale sky show as a mark).
constexpr double kOutlineShadeOpacity = 1.0;
std::int32_t BoxPadding(double pixels)
{
    return static_cast<std::int32_t>(std::round(pixels * 0.3));
}

// How far the soft shade reaches past the letters' shape, offset left out.
std::int32_t ShadeReach(double pixels)
{
    return static_cast<std::int32_t>(std::ceil(ShadowSpread(pixels) / 2)) + 3 * ShadowRadius(pixels);
}

// How far a style's marks reach past the letters' own box, so that they too stay inside the safe area.
double StyleReach(project::Readability style, double pixels)
{
    switch (style) {
    case project::Readability::Plain:
        break;
    case project::Readability::Shadow:
        return ShadowOffset(pixels) + ShadeReach(pixels);
    case project::Readability::Outline:
        return std::max(OutlineWidth(pixels) / 2 + 1, static_cast<double>(ShadeReach(pixels)));
    case project::Readability::Box:
        return BoxPadding(pixels);
    }
    return 0;
}

// One pass of a running-sum box blur of an 8-bit mask, along rows (step 1) or columns (step the
// stride); three passes come close to a Gaussian of the same reach.
void BoxBlurPass(unsigned char* data, std::int32_t count, std::int32_t lines, std::size_t step, std::size_t lineStep,
                 std::int32_t radius)
{
    std::vector<unsigned char> line(static_cast<std::size_t>(count));
    const std::int32_t window = 2 * radius + 1;
    for (std::int32_t l = 0; l < lines; ++l) {
        unsigned char* start = data + static_cast<std::size_t>(l) * lineStep;
        for (std::int32_t i = 0; i < count; ++i) {
            line[static_cast<std::size_t>(i)] = start[static_cast<std::size_t>(i) * step];
        }
        const auto at = [&](std::int32_t i) -> std::int32_t {
            return i < 0 || i >= count ? 0 : line[static_cast<std::size_t>(i)];
        };
        std::int32_t sum = 0;
        for (std::int32_t i = -radius; i <= radius; ++i) {
            sum += at(i);
        }
        for (std::int32_t i = 0; i < count; ++i) {
            start[static_cast<std::size_t>(i) * step] = static_cast<unsigned char>((sum + window / 2) / window);
            sum += at(i + radius + 1) - at(i - radius);
        }
    }
}

// The letters' shape, thickened, moved down and right by the offset and blurred: a soft dark shade
// that keeps light letters apart from a light or busy picture behind them, where a hard copy of
// the letters only doubles their edges.
void DrawSoftShadow(cairo_t* cr, const std::vector<Piece>& pieces, const Box& place, double offset, double spread,
                    std::int32_t radius, double opacity)
{
    const std::unique_ptr<cairo_surface_t, SurfaceDestroy> mask(
        cairo_image_surface_create(CAIRO_FORMAT_A8, place.Width, place.Height));
    {
        const std::unique_ptr<cairo_t, CairoDestroy> maskCairo(cairo_create(mask.get()));
        cairo_t* m = maskCairo.get();
        cairo_set_source_rgba(m, 0, 0, 0, 1);
        cairo_set_line_width(m, spread);
        cairo_set_line_join(m, CAIRO_LINE_JOIN_ROUND);
        for (const Piece& piece : pieces) {
            cairo_move_to(m, piece.X - place.X + offset, piece.Y - place.Y + offset);
            pango_cairo_layout_path(m, piece.Layout);
            cairo_fill_preserve(m);
            cairo_stroke(m);
        }
    }
    cairo_surface_flush(mask.get());
    unsigned char* data = cairo_image_surface_get_data(mask.get());
    const auto stride = static_cast<std::size_t>(cairo_image_surface_get_stride(mask.get()));
    for (int pass = 0; pass < 3; ++pass) {
        BoxBlurPass(data, place.Width, place.Height, 1, stride, radius);
        BoxBlurPass(data, place.Height, place.Width, stride, 1, radius);
    }
    cairo_surface_mark_dirty(mask.get());
    SetColour(cr, {0, 0, 0}, opacity);
    cairo_mask_surface(cr, mask.get(), 0, 0);
}

std::shared_ptr<const DrawnText> Render(const std::vector<Piece>& pieces, const Look& look, std::int32_t frameWidth,
                                        std::int32_t frameHeight)
{
    Box ink;
    Box logical;
    int unknown = 0;
    for (const Piece& piece : pieces) {
        ink = Union(ink, piece.InkBox());
        logical = Union(logical, piece.LogicalBox());
        unknown += pango_layout_get_unknown_glyphs_count(piece.Layout);
    }
    const auto shadowOffset = ShadowOffset(look.Pixels);
    const double shadowSpread = ShadowSpread(look.Pixels);
    const auto shadowRadius = ShadowRadius(look.Pixels);
    const double outlineWidth = OutlineWidth(look.Pixels);
    const auto boxPadding = BoxPadding(look.Pixels);
    Box reach = Union(ink, logical);
    switch (look.Style) {
    case project::Readability::Plain:
        break;
    case project::Readability::Shadow:
        reach = Union(reach, Grown(Box{ink.X + shadowOffset, ink.Y + shadowOffset, ink.Width, ink.Height},
                                   ShadeReach(look.Pixels)));
        break;
    case project::Readability::Outline:
        reach = Union(Grown(reach, static_cast<std::int32_t>(std::ceil(outlineWidth / 2))),
                      Grown(ink, ShadeReach(look.Pixels)));
        break;
    case project::Readability::Box:
        reach = Grown(reach, boxPadding);
        break;
    }
    // A pixel more each way for antialiasing at the edges.
    const Box place = Clipped(Grown(reach, 1), frameWidth, frameHeight);
    if (place.Width == 0 || place.Height == 0) {
        return std::make_shared<DrawnText>(place, std::vector<std::uint32_t>{}, ink, unknown);
    }
    const std::unique_ptr<cairo_surface_t, SurfaceDestroy> surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, place.Width, place.Height));
    const std::unique_ptr<cairo_t, CairoDestroy> cairo(cairo_create(surface.get()));
    cairo_t* cr = cairo.get();
    if (look.Style == project::Readability::Box) {
        const Box box = Grown(logical, boxPadding);
        cairo_rectangle(cr, box.X - place.X, box.Y - place.Y, box.Width, box.Height);
        cairo_set_source_rgba(cr, look.Box[0] / 255.0, look.Box[1] / 255.0, look.Box[2] / 255.0, look.Box[3] / 255.0);
        cairo_fill(cr);
    }
    if (look.Style == project::Readability::Shadow) {
        DrawSoftShadow(cr, pieces, place, shadowOffset, shadowSpread, shadowRadius, kShadowOpacity);
    }
    if (look.Style == project::Readability::Outline) {
        DrawSoftShadow(cr, pieces, place, 0, shadowSpread, shadowRadius, kOutlineShadeOpacity);
    }
    for (const Piece& piece : pieces) {
        const double x = piece.X - place.X;
        const double y = piece.Y - place.Y;
        if (look.Style == project::Readability::Outline) {
            cairo_move_to(cr, x, y);
            pango_cairo_layout_path(cr, piece.Layout);
            SetColour(cr, {0, 0, 0});
            cairo_set_line_width(cr, outlineWidth);
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
            cairo_stroke(cr);
        }
        SetColour(cr, look.Colour);
        cairo_move_to(cr, x, y);
        pango_cairo_show_layout(cr, piece.Layout);
    }
    cairo_surface_flush(surface.get());
    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    const auto stride = static_cast<std::size_t>(cairo_image_surface_get_stride(surface.get()));
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(place.Width) * static_cast<std::size_t>(place.Height));
    for (std::int32_t y = 0; y < place.Height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::size_t>(y) * stride);
        std::copy(row, row + place.Width, pixels.begin() + static_cast<std::ptrdiff_t>(y) * place.Width);
    }
    return std::make_shared<DrawnText>(place, std::move(pixels), ink, unknown);
}

// x times y / 255, rounded as Cairo's compositing rounds it.
inline std::uint32_t MultiplyUnit(std::uint32_t x, std::uint32_t y)
{
    const std::uint32_t t = x * y + 0x80;
    return ((t >> 8) + t) >> 8;
}

}  // namespace

Box SafeArea(std::int32_t frameWidth, std::int32_t frameHeight)
{
    const auto part = [](std::int32_t side, int percent) {
        return static_cast<std::int32_t>(std::lround(side * percent / 100.0));
    };
    const std::int32_t side = part(frameWidth, 5);
    // 9:16 or taller: a phone's video.
    const bool vertical = std::int64_t{frameHeight} * 9 >= std::int64_t{frameWidth} * 16;
    const std::int32_t top = part(frameHeight, vertical ? 10 : 5);
    const std::int32_t bottom = part(frameHeight, vertical ? 20 : 5);
    return {side, top, std::max(frameWidth - 2 * side, 0), std::max(frameHeight - top - bottom, 0)};
}

void DrawnText::PutOn(std::span<std::uint8_t> bgr, std::size_t rowBytes, std::int32_t width, std::int32_t height) const
{
    const Box inside = Clipped(m_place, width, height);
    if (inside.Width == 0 || inside.Height == 0 ||
        bgr.size() < static_cast<std::size_t>(inside.Y + inside.Height - 1) * rowBytes +
                         static_cast<std::size_t>(inside.X + inside.Width) * 3) {
        return;
    }
    for (std::int32_t y = inside.Y; y < inside.Y + inside.Height; ++y) {
        const std::uint32_t* source =
            m_pixels.data() + static_cast<std::size_t>(y - m_place.Y) * m_place.Width + (inside.X - m_place.X);
        std::uint8_t* target =
            bgr.data() + static_cast<std::size_t>(y) * rowBytes + static_cast<std::size_t>(inside.X) * 3;
        for (std::int32_t x = 0; x < inside.Width; ++x, target += 3) {
            const std::uint32_t pixel = source[x];
            const std::uint32_t alpha = pixel >> 24;
            if (alpha == 0) {
                continue;
            }
            // Premultiplied: the words' colour plus what shows through of the picture.
            const std::uint32_t through = 255 - alpha;
            for (int channel = 0; channel < 3; ++channel) {
                const std::uint32_t word = (pixel >> (8 * channel)) & 0xFF;
                target[channel] = static_cast<std::uint8_t>(
                    std::min<std::uint32_t>(word + MultiplyUnit(target[channel], through), 255));
            }
        }
    }
}

std::shared_ptr<const DrawnText> DrawCaption(const project::Caption& caption, std::int32_t frameWidth,
                                             std::int32_t frameHeight)
{
    const Box safe = SafeArea(frameWidth, frameHeight);
    const double pixels = std::max(1.0, frameHeight * caption.Size / 1000.0);
    const auto position = static_cast<int>(caption.Position);
    // Bottom, middle, top in threes; within each, centre, left, right.
    const int row = position / 3;
    const int column = position % 3;
    const PangoAlignment alignment =
        column == 1 ? PANGO_ALIGN_LEFT : (column == 2 ? PANGO_ALIGN_RIGHT : PANGO_ALIGN_CENTER);
    // The box and outline reach past the letters; they too stay inside the safe area.
    const auto reach = static_cast<std::int32_t>(std::ceil(StyleReach(caption.Style, pixels)));
    const Box room{safe.X + reach, safe.Y + reach, std::max(safe.Width - 2 * reach, 1),
                   std::max(safe.Height - 2 * reach, 1)};
    const Context context = NewContext();
    const Layout layout =
        NewLayout(context.get(), caption.Text, caption.Font, pixels, room.Width, room.Height, alignment);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout.get(), nullptr, &logical);
    Piece piece{layout.get(), 0, 0};
    switch (column) {
    case 1:
        piece.X = room.X - logical.x;
        break;
    case 2:
        piece.X = room.X + room.Width - logical.width - logical.x;
        break;
    default:
        piece.X = room.X + (room.Width - logical.width) / 2 - logical.x;
        break;
    }
    switch (row) {
    case 0:
        piece.Y = room.Y + room.Height - logical.height - logical.y;
        break;
    case 1:
        piece.Y = room.Y + (room.Height - logical.height) / 2 - logical.y;
        break;
    default:
        piece.Y = room.Y - logical.y;
        break;
    }
    return Render({piece}, {caption.Style, caption.Colour, caption.Box, pixels}, frameWidth, frameHeight);
}

std::shared_ptr<const DrawnText> DrawTitle(const project::Title& title, std::int32_t frameWidth,
                                           std::int32_t frameHeight)
{
    const Box safe = SafeArea(frameWidth, frameHeight);
    const double titlePixels = std::max(1.0, frameHeight * 0.09);
    const double subtitlePixels = std::max(1.0, frameHeight * 0.05);
    const Context context = NewContext();
    const std::int32_t subtitleRoom = title.Subtitle.empty() ? 0 : safe.Height / 3;
    const Layout main = NewLayout(context.get(), title.Text, title.Font, titlePixels, safe.Width,
                                  std::max(safe.Height - subtitleRoom, 1), PANGO_ALIGN_CENTER);
    Layout second;
    if (!title.Subtitle.empty()) {
        project::FontChoice plain = title.Font;
        plain.Bold = false;
        second = NewLayout(context.get(), title.Subtitle, plain, subtitlePixels, safe.Width, subtitleRoom,
                           PANGO_ALIGN_CENTER);
    }
    PangoRectangle mainBox;
    pango_layout_get_pixel_extents(main.get(), nullptr, &mainBox);
    PangoRectangle secondBox{};
    if (second) {
        pango_layout_get_pixel_extents(second.get(), nullptr, &secondBox);
    }
    const auto gap = second ? static_cast<std::int32_t>(std::lround(subtitlePixels * 0.4)) : 0;
    const std::int32_t blockHeight = mainBox.height + gap + secondBox.height;
    const std::int32_t top = safe.Y + (safe.Height - blockHeight) / 2;
    std::vector<Piece> pieces{{main.get(), safe.X + (safe.Width - mainBox.width) / 2 - mainBox.x, top - mainBox.y}};
    if (second) {
        pieces.push_back({second.get(), safe.X + (safe.Width - secondBox.width) / 2 - secondBox.x,
                          top + mainBox.height + gap - secondBox.y});
    }
    Look look{.Style = project::Readability::Plain, .Colour = {255, 255, 255}, .Box = {}, .Pixels = titlePixels};
    const auto& background = title.Background;
    const int luma = (299 * background[0] + 587 * background[1] + 114 * background[2]) / 1000;
    if (title.BlurredBackground) {
        look.Style = project::Readability::Shadow;
    } else if (luma >= 140) {
        look.Colour = {32, 32, 32};
    }
    return Render(pieces, look, frameWidth, frameHeight);
}

void SetFontWarningHandler(std::function<void(const std::string& message)> handler)
{
    const std::lock_guard lock(g_warningMutex);
    g_warningHandler = std::move(handler);
}

}  // namespace kinetar::text
