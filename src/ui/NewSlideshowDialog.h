#pragma once

#include <QDialog>
#include <QStringList>

#include "project/PictureDefaults.h"
#include "ui/UiServices.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;

namespace kinetar::ui {

// One dialog for a slideshow's settings: size, rate, how long each picture shows, its fit,
// crossfade and motion, the background, and optionally pictures and music. Files are chosen
// through the services' file dialogs and the colour through its colour dialog.
class NewSlideshowDialog : public QDialog {
    Q_OBJECT
public:
    NewSlideshowDialog(const UiServices& services, QWidget* parent);
    SlideshowChoices Choices() const;

private:
    void ChooseBackground();
    void ChoosePictures();
    void ChooseMusic();
    void ShowBackground();

    const UiServices& m_services;
    QComboBox* m_size = nullptr;
    QComboBox* m_rate = nullptr;
    QDoubleSpinBox* m_duration = nullptr;
    QComboBox* m_fit = nullptr;
    QDoubleSpinBox* m_crossfade = nullptr;
    QComboBox* m_motion = nullptr;
    QPushButton* m_background = nullptr;
    QColor m_backgroundColor = Qt::black;
    QLabel* m_picturesText = nullptr;
    QLabel* m_musicText = nullptr;
    QStringList m_pictures;
    QStringList m_music;
};

// The real dialog, as the seam runs it: nothing when the user cancelled.
std::optional<SlideshowChoices> AskNewSlideshow(QWidget* parent, const UiServices& services);

}  // namespace kinetar::ui
