#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "session/ProjectSession.h"
#include "ui/CaptionFields.h"
#include "ui/FrameDetails.h"
#include "ui/FrameSummary.h"
#include "ui/Messages.h"
#include "ui/MotionFields.h"
#include "ui/QtConvert.h"

// The details panel's edits: what its fields hold read, checked and saved as one step, or dropped.

namespace kinetar::ui {

bool FrameDetails::ReadSeconds(QLineEdit* field, std::optional<std::uint32_t>& milliseconds)
{
    const QString text = field->text().trimmed();
    if (text.isEmpty()) {
        // Several frames' differing values stay unless the user has edited the field.
        const bool keep = field->placeholderText() == kDifferentValues && !field->isModified();
        milliseconds = keep ? std::nullopt : std::optional<std::uint32_t>(0);
        return true;
    }
    milliseconds = project::ParseSeconds(text.toStdString());
    if (!milliseconds) {
        m_services.ReportError(window(), msg::kNotSeconds.arg(text).arg(project::kMaxMilliseconds / 1000));
        field->setFocus();
        field->selectAll();
        return false;
    }
    return true;
}

void FrameDetails::OnBrowseClicked()
{
    if (m_session.Selection().Rows.isEmpty()) {
        return;
    }
    SharedFileDialog& dialogs = *m_services.SharedDialog;
    dialogs.PrepareFileDialog(kPicturesMode);
    dialogs.OpenDialog.AllowMultiSelect = false;
    dialogs.OpenDialog.FileName = m_session.FileOf(m_nameField->text());
    if (m_services.RunSharedDialog(window())) {
        m_nameField->setText(dialogs.OpenDialog.FileName);
    }
}

void FrameDetails::OnCancelChangesClicked()
{
    if (m_session.Selection().Rows.isEmpty()) {
        return;
    }
    SetEditingMode(false);
    m_session.SetSelection(m_session.Selection());
}

void FrameDetails::OnSaveChangesClicked()
{
    const QList<int> selected = m_session.Selection().Rows;
    if (selected.isEmpty()) {
        return;
    }
    const QString name = m_nameField->text();
    // The field is off while captions or titles are selected: their words are no file's name.
    const bool keepNames = name == kDifferentNames || !m_nameField->isEnabled();
    const std::string nativeName = ToNativePath(name);
    if (!keepNames && nativeName.size() > project::kMaxTextLength) {
        // Nothing is stored and the edit stays open for a shorter name.
        m_services.ReportError(window(), msg::kNameTooLong.arg(project::kMaxTextLength) + name);
        return;
    }
    session::DetailsEdit edit;
    if (!ReadSeconds(m_durationField, edit.Frame.Duration) || !ReadSeconds(m_crossfadeField, edit.Frame.Crossfade)) {
        return;
    }
    if (!keepNames) {
        edit.Name = nativeName;
    }
    edit.Caption = m_caption->Edit();
    if (m_timelessSelected) {
        // The picture's fields are off: a sound or caption record keeps its other bytes as they are.
        m_session.SaveDetails(selected, {edit.Name, {}, edit.Caption});
        SetEditingMode(false);
        RefreshPreview();
        return;
    }
    const Qt::CheckState stretch = m_stretchBox->checkState();
    if (stretch != Qt::PartiallyChecked) {
        edit.Frame.Stretch = stretch == Qt::Checked ? 1 : 0;
    }
    edit.Frame.Fit = ChosenFit();
    edit.Frame.Motion = m_motion->Edit();
    m_session.SaveDetails(selected, edit);
    SetEditingMode(false);
    RefreshPreview();
}

}  // namespace kinetar::ui
