#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "project/TextRecords.h"

// Captions and title cards laid out and drawn by Pango and Cairo, once per picture and frame size,
// then put on each frame of the picture. Frames are 24-bit: blue, green, red, rows top first.
namespace kinetar::text {

struct Box {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    bool operator==(const Box&) const = default;
};

// Where words may go: 5 % of the frame in from each edge; in a vertical video (9:16 or taller)
// clear of the top 10 % and the bottom 20 %, where phone apps put their controls.
Box SafeArea(std::int32_t frameWidth, std::int32_t frameHeight);

// Words drawn once: Cairo's premultiplied ARGB pixels at their place in the frame.
class DrawnText {
public:
    DrawnText() = default;
    DrawnText(Box place, std::vector<std::uint32_t> pixels, Box ink, int unknownGlyphs)
        : m_place(place), m_pixels(std::move(pixels)), m_ink(ink), m_unknownGlyphs(unknownGlyphs)
    {
    }

    // The pixels' rectangle in the frame, inside it.
    const Box& Place() const { return m_place; }
    // The letters' own ink (shadow, outline and box left out), in the frame.
    const Box& Ink() const { return m_ink; }
    // Characters no installed font has, drawn as boxes.
    int UnknownGlyphs() const { return m_unknownGlyphs; }

    // Blends the words over a frame, as Cairo's OVER does; what lies outside it is left out.
    void PutOn(std::span<std::uint8_t> bgr, std::size_t rowBytes, std::int32_t width, std::int32_t height) const;

private:
    Box m_place;
    std::vector<std::uint32_t> m_pixels;  // m_place.Width x m_place.Height
    Box m_ink;
    int m_unknownGlyphs = 0;
};

// The caption, its templates already filled, laid out in the frame's safe area: wrapped within the
// safe width, cut with an ellipsis where it would run past the safe height.
std::shared_ptr<const DrawnText> DrawCaption(const project::Caption& caption, std::int32_t frameWidth,
                                             std::int32_t frameHeight);

// A title card's words, centred in the safe area: white with a shadow over a picture or a dark
// colour, dark on a light colour.
std::shared_ptr<const DrawnText> DrawTitle(const project::Title& title, std::int32_t frameWidth,
                                           std::int32_t frameHeight);

// Told once per process about each font family that is not installed and what stands in for it.
// Without a handler the warning is dropped.
void SetFontWarningHandler(std::function<void(const std::string& message)> handler);

}  // namespace kinetar::text
