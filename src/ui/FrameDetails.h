#pragma once

#include <QImage>
#include <QWidget>

#include "pictures/DecodedPicture.h"
#include "project/ProjectFile.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;

namespace kinetar::ui {

class MainWindow;

// The frame details beside the list: the picture file name and stretch setting of the selected
// frames, edited and then saved or cancelled, the picture's size and its preview.
class FrameDetails : public QWidget {
    Q_OBJECT

public:
    explicit FrameDetails(MainWindow& window);

    // Fills the name and the stretch box from the selected records.
    void ShowSelectedFrames();
    // While on, nothing that could change the selection or the project can be used.
    void SetEditingMode(bool on);
    bool EditingMode() const { return m_editing; }
    // Reloads the preview and the dimension label from the name field.
    void RefreshPreview();

    void ed_PictFileNameChange();
    void ch_StretchPictureClick();
    void Button2Click();
    void bt_ZrusitZmenyClick();
    void bt_UlozitZmenyClick();

private:
    void CreateControls();
    void ShowPlaceholder(const char* name);
    void ShowPicture();

    MainWindow& m_window;
    bool m_editing = false;
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
    QScrollArea* ScrollBox_Picture = nullptr;
    QLabel* Image_Preview = nullptr;
};

// A selected record folded into the summary of several: the name becomes two blanks when the names
// differ (letter case aside), the stretch 255 when the values differ.
void MergeFrameSummary(project::FrameRecord& summary, const project::FrameRecord& record);

QString FormatPictureSize(int width, int height);

}  // namespace kinetar::ui
