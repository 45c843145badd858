#pragma once

#include <QImage>
#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>

#include "avi/frames/FrameFitting.h"
#include "pictures/DecodedPicture.h"
#include "project/ProjectFile.h"
#include "project/Slideshow.h"
#include "session/SoundLength.h"
#include "ui/UiServices.h"

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;

namespace kinetar::session {
class ProjectSession;
}

namespace kinetar::ui {

class CaptionFields;
class MotionFields;
class PreviewPlayer;
class ViewRectangles;

// The frame details beside the list: the picture file name, stretch, fit, duration, crossfade and
// motion of the selected frames, edited and then saved or cancelled, the picture's size and its preview
// as the video will show it; for a sound record its file name and length.
class FrameDetails : public QWidget {
    Q_OBJECT

public:
    FrameDetails(session::ProjectSession& session, UiServices services);

    // Fills the fields from the selected records.
    void ShowSelectedFrames();
    // While on, nothing that could change the selection or the project can be used.
    void SetEditingMode(bool on);
    bool EditingMode() const;
    // Where the user confirms or cancels pending edits.
    void FocusSaveChanges();
    // Reloads the preview and the dimension label from the name field.
    void RefreshPreview();
    // The player in the preview's place.
    PreviewPlayer& Player() { return *m_player; }
    CaptionFields& Caption() { return *m_caption; }

    void OnNameEdited();
    void OnStretchClicked();
    void OnFitChosen();
    // Shared by the duration and crossfade fields.
    void OnSecondsEdited();
    void OnBrowseClicked();
    void OnCancelChangesClicked();
    void OnSaveChangesClicked();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    // The two buttons beside the picture's size, or on a line of their own when that is too narrow.
    void PlaceButtons(bool besideSize);
    void ShowPlaceholder(const char* name);
    // The loaded picture fitted into a frame of the video's size, as the video will show it.
    void ShowFitted();
    // For custom motion: the whole picture and wherever its views may reach, the views over it.
    void ShowMotionCanvas(const avi::FitOptions& options, QSize video);
    void ShowViews();
    void ShowImage(const QImage& image);
    // The caption as the panel holds it, drawn over the fitted frame as the video draws it.
    void DrawCaption(avi::WorkingFrame& frame);
    // A title card's frame in place of a picture; false when the selection is no single title.
    bool ShowTitleCard();
    // A picture's line, by the session's kept kinds: not a caption, a sound or a title.
    bool IsPictureLine(int row) const;
    // The picture the preview shows: the focused line's, or for a caption line the picture it goes
    // on (-1: none).
    int ShownPictureRow() const;
    // The preview scaled down to the panel, aspect kept.
    void ScalePreview();
    // The fit chosen in the panel; nullopt while the selected frames differ in it.
    std::optional<project::FitMode> ChosenFit() const;
    // A seconds field's value to save: nullopt to keep each frame's own, false when the text is no
    // time (reported, the field focused).
    bool ReadSeconds(QLineEdit* field, std::optional<std::uint32_t>& milliseconds);

    // A sound's length in place of the picture's size, once it has been read.
    void ShowSoundLength(int request, const QList<qint64>& milliseconds);

    session::ProjectSession& m_session;
    UiServices m_services;
    // Every selected record names a sound: the picture's fields stand for nothing and are off.
    bool m_soundSelected = false;
    // Every selected record is a sound or a caption: they have no fit and take no time.
    bool m_timelessSelected = false;
    session::SoundLengthProbe m_soundProbe;
    int m_soundRequest = 0;
    // On while the program itself fills the fields, so its writes are not taken for edits.
    bool m_fillingPanel = false;
    // The preview's one picture: every read refills it, as the readers resize it in place.
    pictures::DecodedPicture m_picture;
    // The preview shows m_picture (not a placeholder), so a new fit or video size redraws it.
    bool m_pictureShown = false;
    // The background the shown picture's transparent parts were laid over.
    std::array<std::uint8_t, 3> m_readOver{};
    // On while the stretch box and the fit list follow each other.
    bool m_syncingFit = false;

    QLineEdit* m_nameField = nullptr;
    QPushButton* m_browseButton = nullptr;
    QCheckBox* m_stretchBox = nullptr;
    QComboBox* m_fitBox = nullptr;
    QLineEdit* m_durationField = nullptr;
    QLineEdit* m_crossfadeField = nullptr;
    QPushButton* m_cancelChangesButton = nullptr;
    QPushButton* m_saveChangesButton = nullptr;
    QLabel* m_sizeLabel = nullptr;
    QLabel* m_sizeCaption = nullptr;
    QWidget* m_details = nullptr;
    QWidget* m_buttons = nullptr;
    QHBoxLayout* m_sizeRow = nullptr;
    QHBoxLayout* m_buttonRow = nullptr;
    int m_oneRowWidth = 0;
    QScrollArea* m_previewArea = nullptr;
    QLabel* m_preview = nullptr;
    // The fields whose own undo gives way to the project's while nothing is pending.
    QList<QWidget*> m_typedFields;
    MotionFields* m_motion = nullptr;
    CaptionFields* m_caption = nullptr;
    ViewRectangles* m_viewRectangles = nullptr;
    PreviewPlayer* m_player = nullptr;
};

}  // namespace kinetar::ui
