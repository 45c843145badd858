#pragma once

#include <QDialog>
#include <vector>

#include "avi/codecs/CodecRegistry.h"
#include "avi/engine/AviEngine.h"
#include "project/ProjectFile.h"

class QComboBox;
class QLabel;
class QSpinBox;

namespace kinetar::ui {

// The dialog a run picks its compressor in: the compressors that take the frame depth and that the
// destination's kind of file can carry, the previous choice preselected (else uncompressed, else
// the first), a quality where the compressor has one.
class CompressorChooser : public QDialog {
    Q_OBJECT

public:
    CompressorChooser(const avi::CodecRegistry& codecs, int bitsPerPixel, const project::CodecSettings& previous,
                      QWidget* parent = nullptr, avi::Container container = avi::Container::Avi);

    // The compressor variables of what is selected now: the previous record kept where the same
    // compressor stays selected, only its quality taken from the dialog.
    project::CodecSettings Choice() const;
    const avi::CodecInfo* Selected() const;

private:
    void OnCompressorChosen();

    std::vector<const avi::CodecInfo*> m_offered;
    int m_bitsPerPixel;
    project::CodecSettings m_previous;
    QComboBox* m_compressorBox = nullptr;
    QLabel* m_noteLabel = nullptr;
    QSpinBox* m_qualityBox = nullptr;
};

// The chooser service a run of the engine asks: the dialog shown modally over `owner`. Cancel
// answers false, which stops the run.
avi::CompressorChooser MakeCompressorChooser(QWidget* owner, const avi::CodecRegistry* codecs = nullptr,
                                             avi::Container container = avi::Container::Avi);

}  // namespace kinetar::ui
