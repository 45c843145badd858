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

// Only what the destination's kind of file can carry is offered; the stored choice where it can go.
TEST(CompressorChooser, OffersWhatTheKindOfFileTakes)
{
    using avi::Container;
    avi::CodecRegistry codecs;
    const auto bit = [](Container container) { return avi::ContainerBit(container); };
    codecs.Add({avi::kUncompressedFourcc, "Full", avi::kEveryDepth, {}, false, true, bit(Container::Avi)});
    codecs.Add({1, "Shared", avi::DepthBit(24), {}, false, true, bit(Container::Mp4) | bit(Container::Mkv)});
    codecs.Add({2, "Open", avi::DepthBit(24), {}, false, true, bit(Container::Mkv) | bit(Container::WebM)});
    const std::tuple<Container, int, QStringList, QString> rows[] = {{Container::Avi, 24, {"Full"}, "Full"},
                                                                     {Container::Mp4, 24, {"Shared"}, "Shared"},
                                                                     {Container::Mkv, 24, {"Shared", "Open"}, "Open"},
                                                                     {Container::WebM, 8, {}, ""}};
    for (const auto& [container, bits, expected, selected] : rows) {
        SCOPED_TRACE(avi::ContainerName(container));
        ui::CompressorChooser chooser(codecs, bits, avi::MakeCodecSettings(2), nullptr, container);
        auto* list = chooser.findChild<QComboBox*>(QStringLiteral("cb_Compressor"));
        QStringList offered;
        for (int i = 0; i < list->count(); ++i) {
            offered << list->itemText(i);
        }
        EXPECT_EQ(offered, expected);
        EXPECT_EQ(list->currentText(), selected);
        EXPECT_EQ(chooser.findChild<QLabel*>(QStringLiteral("lb_Note"))->isVisibleTo(&chooser), expected.isEmpty());
    }
}

}  // namespace
}  // namespace kinetar::test
