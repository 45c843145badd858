#include <QComboBox>
#include <QLabel>
#include <QSpinBox>

#include "ChooserAnswer.h"
#include "UiTest.h"
#include "avi/frames/FrameDIB.h"
#include "avi/frames/FrameFitting.h"
#include "ui/CompressorChooser.h"

namespace kinetar::test {
namespace {

constexpr std::uint32_t kDib = avi::kUncompressedFourcc;
constexpr std::uint32_t kMjpg = 0x47504A4D;  // "MJPG"

TEST(CompressorChooser, OffersTheCompressorsOfTheDepthAndPreselectsTheStoredOne)
{
    const auto& codecs = avi::CodecRegistry::Default();
    project::CodecSettings stored = avi::MakeCodecSettings(kMjpg, 3000);
    stored.KeyFrameInterval = 7;  // kept while the same compressor stays chosen
    struct Row {
        int bits;
        std::string preselected;
        bool note;
    };
    const Row rows[] = {{1, avi::kUncompressedName, true},
                        {4, avi::kUncompressedName, true},
                        {8, avi::kUncompressedName, false},
                        {24, codecs.Find(kMjpg)->Name, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bits);
        ui::CompressorChooser chooser(codecs, row.bits, stored);
        auto* list = chooser.findChild<QComboBox*>(QStringLiteral("cb_Compressor"));
        QStringList expected;
        for (const auto* codec : codecs.ForDepth(row.bits)) {
            expected << QString::fromStdString(codec->Name);
        }
        EXPECT_EQ(chooser.windowTitle(), "Select compression type...");
        QStringList offered;
        for (int i = 0; i < list->count(); ++i) {
            offered << list->itemText(i);
        }
        EXPECT_EQ(offered, expected);
        EXPECT_EQ(list->currentText().toStdString(), row.preselected);
        EXPECT_EQ(chooser.findChild<QLabel*>(QStringLiteral("lb_Note"))->isVisibleTo(&chooser), row.note);
        auto* quality = chooser.findChild<QSpinBox*>(QStringLiteral("ud_Quality"));
        if (row.bits == 24) {
            EXPECT_EQ(quality->value(), 30);
            quality->setValue(80);
            project::CodecSettings expectedChoice = stored;
            expectedChoice.Quality = 8000;
            EXPECT_EQ(chooser.Choice(), expectedChoice);
        } else {
            EXPECT_FALSE(quality->isEnabled());
            EXPECT_EQ(chooser.Choice(), avi::MakeCodecSettings(kDib));
        }
    }
}

TEST(CompressorChooser, EnterTakesTheSelectionEscapeCancels)
{
    const auto format = avi::GetFrameDIB(avi::WorkingFrame(8, 8), 24);
    const auto choose = ui::MakeCompressorChooser(nullptr);
    project::CodecSettings variables = avi::MakeCodecSettings(kDib);
    {
        ChooserAnswer answer(kMjpg, 0);  // 0: the compressor's own default quality
        EXPECT_TRUE(choose(variables, *format));
        EXPECT_EQ(answer.Shown, 1);
        EXPECT_EQ(variables, avi::MakeCodecSettings(kMjpg, avi::kQualityDefault));
    }
    ChooserAnswer cancel(std::nullopt);
    EXPECT_FALSE(choose(variables, *format));
    EXPECT_EQ(cancel.Shown, 1);
    EXPECT_EQ(variables, avi::MakeCodecSettings(kMjpg, avi::kQualityDefault));
}

}  // namespace
}  // namespace kinetar::test
