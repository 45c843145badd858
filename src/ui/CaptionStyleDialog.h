#pragma once

#include <QDialog>
#include <array>
#include <optional>

#include "project/TextRecords.h"
#include "ui/UiServices.h"

class QButtonGroup;
class QComboBox;
class QDoubleSpinBox;
class QSpinBox;

namespace kinetar::ui {

class ColourButton;
class FontFields;

// How a caption looks: its font, size, colour, one of nine places, and what keeps it readable
// (a shadow, an outline or a box of a colour and opacity). Its words are left as they are.
class CaptionStyleDialog : public QDialog {
    Q_OBJECT
public:
    CaptionStyleDialog(const UiServices& services, const project::Caption& initial, QWidget* parent);
    project::Caption Chosen() const;

private:
    void ShowBoxFields();

    project::Caption m_initial;
    FontFields* m_font = nullptr;
    QDoubleSpinBox* m_size = nullptr;
    ColourButton* m_colour = nullptr;
    QButtonGroup* m_position = nullptr;
    QComboBox* m_readability = nullptr;
    ColourButton* m_boxColour = nullptr;
    QSpinBox* m_boxOpacity = nullptr;
};

// The real dialog, as the seam runs it: nothing when the user cancelled.
std::optional<project::Caption> AskCaptionStyle(QWidget* parent, const UiServices& services,
                                                const project::Caption& initial);

}  // namespace kinetar::ui
