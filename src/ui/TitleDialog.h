#pragma once

#include <QDialog>
#include <optional>

#include "ui/UiServices.h"

class QDoubleSpinBox;
class QLineEdit;
class QRadioButton;

namespace kinetar::ui {

class ColourButton;
class FontFields;

// A title card's words (a title and an optional second line), how long it shows, its background
// (a colour, or a blurred copy of the picture after it) and its font.
class TitleDialog : public QDialog {
    Q_OBJECT
public:
    TitleDialog(const UiServices& services, const TitleChoices& initial, QWidget* parent);
    TitleChoices Choices() const;

private:
    void ShowBackgroundFields();

    TitleChoices m_initial;
    QLineEdit* m_title = nullptr;
    QLineEdit* m_subtitle = nullptr;
    QDoubleSpinBox* m_duration = nullptr;
    QRadioButton* m_colourBackground = nullptr;
    QRadioButton* m_blurBackground = nullptr;
    ColourButton* m_colour = nullptr;
    FontFields* m_font = nullptr;
};

// The real dialog, as the seam runs it: nothing when the user cancelled.
std::optional<TitleChoices> AskTitleCard(QWidget* parent, const UiServices& services, const TitleChoices& initial);

}  // namespace kinetar::ui
