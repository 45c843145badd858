#include <QComboBox>
#include <QLabel>
#include <QSpinBox>

#include "UiTest.h"
#include "avi/codecs/CodecRegistry.h"
#include "ui/CompressorChooser.h"

namespace kinetar::test {
namespace {

constexpr std::uint32_t kMjpg = 0x47504A4D;  // "MJPG"

TEST(CompressorChooser, OffersTheCompressorsOfTheDepthAndPreselectsTheStoredOne)
{
    const auto& codecs = avi::CodecRegistry::Default();
    project::CodecSettings stored = avi::MakeCodecSettings(kMjpg, 3000);
    stored.KeyFrameInterval = 7;  // kept while the same compressor stays chosen
    project::CodecSettings storedAt80 = stored;
    storedAt80.Quality = 8000;
    const auto uncompressed = avi::MakeCodecSettings(avi::kUncompressedFourcc);
    // At 24 bits the stored compressor is offered, below it is not (uncompressed instead).
    const std::tuple<int, bool, project::CodecSettings> rows[] = {
        {1, true, uncompressed}, {4, true, uncompressed}, {8, false, uncompressed}, {24, false, storedAt80}};
    for (const auto& [bits, note, choice] : rows) {
        SCOPED_TRACE(bits);
        ui::CompressorChooser chooser(codecs, bits, stored);
        auto* list = chooser.findChild<QComboBox*>(QStringLiteral("cb_Compressor"));
        QStringList offered, expected;
        for (int i = 0; i < list->count(); ++i) {
            offered << list->itemText(i);
        }
        for (const auto* codec : codecs.ForDepth(bits)) {
            expected << QString::fromStdString(codec->Name);
        }
        EXPECT_EQ(offered, expected);
        EXPECT_EQ(chooser.findChild<QLabel*>(QStringLiteral("lb_Note"))->isVisibleTo(&chooser), note);
        auto* quality = chooser.findChild<QSpinBox*>(QStringLiteral("ud_Quality"));
        EXPECT_EQ(quality->isEnabled(), bits == 24);
        EXPECT_EQ(quality->value(), bits == 24 ? 30 : 0);
        quality->setValue(80);
        EXPECT_EQ(chooser.Choice(), choice);
    }
}

// Only what the destination's kind of file can carry is offered.
TEST(CompressorChooser, OffersWhatTheKindOfFileTakes)
{
    using avi::Container;
    const auto codec = [](const char* name, std::uint32_t fourcc, unsigned depths, unsigned containers) {
        avi::CodecInfo info;
        info.Fourcc = fourcc;
        info.Name = name;
        info.Depths = depths;
        info.Containers = containers;
        return info;
    };
    avi::CodecRegistry codecs;
    codecs.Add(codec("Full", avi::kUncompressedFourcc, avi::kEveryDepth, avi::ContainerBit(Container::Avi)));
    codecs.Add(codec("Shared", 0x31637661, avi::DepthBit(24),  // "avc1"
                     avi::ContainerBit(Container::Mp4) | avi::ContainerBit(Container::Mkv)));
    codecs.Add(codec("Open", 0x30395056, avi::DepthBit(24),  // "VP90"
                     avi::ContainerBit(Container::Mkv) | avi::ContainerBit(Container::WebM)));
    const std::tuple<Container, int, QStringList> rows[] = {
        {Container::Avi, 24, {"Full"}},  {Container::Mp4, 24, {"Shared"}}, {Container::Mkv, 24, {"Shared", "Open"}},
        {Container::WebM, 24, {"Open"}}, {Container::WebM, 8, {}},
    };
    for (const auto& [container, bits, expected] : rows) {
        SCOPED_TRACE(std::string(avi::ContainerName(container)) + " " + std::to_string(bits));
        // The stored choice is offered only where it can go; else the first is selected.
        ui::CompressorChooser chooser(codecs, bits, avi::MakeCodecSettings(0x30395056), nullptr, container);
        auto* list = chooser.findChild<QComboBox*>(QStringLiteral("cb_Compressor"));
        QStringList offered;
        for (int i = 0; i < list->count(); ++i) {
            offered << list->itemText(i);
        }
        EXPECT_EQ(offered, expected);
        EXPECT_EQ(list->currentText(), expected.contains("Open") ? "Open" : expected.value(0));
        EXPECT_EQ(chooser.Selected() == nullptr, expected.isEmpty());
        EXPECT_EQ(chooser.findChild<QLabel*>(QStringLiteral("lb_Note"))->isVisibleTo(&chooser), expected.isEmpty());
    }
}

}  // namespace
}  // namespace kinetar::test
