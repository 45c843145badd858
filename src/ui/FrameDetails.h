#pragma once

#include <QImage>
#include <QWidget>

#include "pictures/DecodedPicture.h"
#include "project/ProjectFile.h"
#include "ui/UiServices.h"

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;

namespace kinetar::ui {

class ProjectSession;

// The frame details beside the list: the picture file name and stretch setting of the selected
// frames, edited and then saved or cancelled, the picture's size and its preview.
class FrameDetails : public QWidget {
    Q_OBJECT

public:
    FrameDetails(ProjectSession& session, UiServices services);

    // Fills the name and the stretch box from the selected records.
    void ShowSelectedFrames();
    // While on, nothing that could change the selection or the project can be used.
    void SetEditingMode(bool on);
    bool EditingMode() const;
    // Where the user confirms or cancels pending edits.
    void FocusSaveChanges();
    // Reloads the preview and the dimension label from the name field.
    void RefreshPreview();

    void ed_PictFileNameChange();
    void ch_StretchPictureClick();
    void Button2Click();
    void bt_ZrusitZmenyClick();
    void bt_UlozitZmenyClick();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    // The two buttons beside the picture's size, or on a line of their own when that is too narrow.
    void PlaceButtons(bool besideSize);
    void ShowPlaceholder(const char* name);
    void ShowPicture();

    ProjectSession& m_session;
    UiServices m_services;
    // On while the program itself fills the fields, so its writes are not taken for edits.
    bool m_fillingPanel = false;
    // The preview's one picture: every read refills it, as the readers resize it in place.
    pictures::DecodedPicture m_picture;

    QLineEdit* ed_PictFileName = nullptr;
    QPushButton* Button2 = nullptr;
    QCheckBox* ch_StretchPicture = nullptr;
    QPushButton* bt_ZrusitZmeny = nullptr;
    QPushButton* bt_UlozitZmeny = nullptr;
    QLabel* lb_RozmerySnimku = nullptr;
    QWidget* m_details = nullptr;
    QWidget* m_buttons = nullptr;
    QHBoxLayout* m_sizeRow = nullptr;
    QHBoxLayout* m_buttonRow = nullptr;
    int m_oneRowWidth = 0;
    QScrollArea* ScrollBox_Picture = nullptr;
    QLabel* Image_Preview = nullptr;
};

// A selected record folded into the summary of several: the name becomes two blanks when the names
// differ (letter case aside), the stretch 255 when the values differ.
void MergeFrameSummary(project::FrameRecord& summary, const project::FrameRecord& record);

QString FormatPictureSize(int width, int height);

}  // namespace kinetar::ui
