#include "ui/VideoSettingsForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <limits>

#include "common/Error.h"
#include "project/Slideshow.h"
#include "ui/QtConvert.h"
#include "ui/VideoSettingsWindow.h"

namespace kinetar::ui {

std::int32_t ReadWholeNumber(const QString& text)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok, 10);
    if (!ok || value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
        throw Error("'" + ToNativePath(text) + "' is not a valid integer value");
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t ReadWholeNumberOrZero(const QString& text)
{
    try {
        return ReadWholeNumber(text);
    } catch (const Error&) {
        return 0;
    }
}

QString ExistingFolderOf(const QString& path)
{
    QDir folder = QFileInfo(path).absoluteDir();
    while (!folder.exists() && !folder.isRoot()) {
        folder.setPath(QFileInfo(folder.path()).absolutePath());
    }
    return folder.path();
}

bool AcceptsNumberKey(QChar key)
{
    return (key >= u'0' && key <= u'9') || key.unicode() < 32;
}

bool AcceptsRateKey(QChar key, const QString& rest)
{
    if (key == u'.' || key == u'/') {
        return !rest.contains(key);
    }
    return AcceptsNumberKey(key);
}

void VideoSettingsWindow::TransferSettings(Direction direction, project::ProjectHeader& header)
{
    if (direction == Direction::ToControls) {
        m_widthField->setText(QString::number(header.Width.Get()));
        m_heightField->setText(QString::number(header.Height.Get()));
        m_destinationField->setText(FromNativePath(project::GetText(header.AviFileName)));
        // A code past the list's end selects nothing, which reads back as 255.
        m_depthBox->setCurrentIndex(header.ColorDepth < m_depthBox->count() ? header.ColorDepth : -1);
        const project::FrameRate rate = project::GetFrameRate(header);
        // A rate that is not positive shows as it is stored, so the user sees what to mend.
        m_rateBox->setEditText(rate.Numerator == 0 ? QString::number(header.FramesPerSecond.Get())
                                                   : QString::fromStdString(project::FormatFrameRate(rate)));
        m_playAfterBox->setChecked(header.PlayAfterCreate != 0);
        m_background = QColor(header.Background[0], header.Background[1], header.Background[2]);
        ShowBackground();
        m_smoothBox->setChecked(header.SmoothScaling != 0);
        return;
    }
    // A refused value sends the keyboard to its field once the error has been shown.
    const auto from = [this](QWidget* field, const auto& read) {
        try {
            return read();
        } catch (...) {
            m_fieldAtFault = field;
            throw;
        }
    };
    header.Width = from(m_widthField, [this] { return ReadWholeNumber(m_widthField->text()); });
    header.Height = from(m_heightField, [this] { return ReadWholeNumber(m_heightField->text()); });
    const std::string destination = ToNativePath(m_destinationField->text());
    if (destination.size() > project::kMaxTextLength) {
        m_fieldAtFault = m_destinationField;
        throw Error("The destination AVI file name is " + std::to_string(destination.size()) +
                    " bytes long, more than the project can hold (" + std::to_string(project::kMaxTextLength) +
                    "): " + destination);
    }
    project::SetText(header.AviFileName, destination);
    const project::FrameRate rate = from(m_rateBox, [this] {
        const QString text = m_rateBox->currentText();
        const std::optional<project::FrameRate> parsed = project::ParseFrameRate(text.toStdString());
        if (!parsed) {
            throw Error("'" + ToNativePath(text) + "' is not a valid frame rate");
        }
        return *parsed;
    });
    project::SetFrameRate(header, rate);
    header.ColorDepth = static_cast<std::uint8_t>(m_depthBox->currentIndex());
    header.PlayAfterCreate = m_playAfterBox->isChecked() ? 1 : 0;
    header.Background = {static_cast<std::uint8_t>(m_background.red()), static_cast<std::uint8_t>(m_background.green()),
                         static_cast<std::uint8_t>(m_background.blue())};
    header.SmoothScaling = m_smoothBox->isChecked() ? 1 : 0;
}

bool VideoSettingsWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress) {
        return QDialog::eventFilter(watched, event);
    }
    const QString text = static_cast<QKeyEvent*>(event)->text();
    if (text.isEmpty()) {
        return QDialog::eventFilter(watched, event);
    }
    bool allowed = false;
    if (watched == m_rateBox || watched == m_rateBox->lineEdit()) {
        // A "." or "/" the key replaces does not count against it.
        const QLineEdit* field = m_rateBox->lineEdit();
        QString rest = field->text();
        if (field->hasSelectedText()) {
            rest.remove(field->selectionStart(), field->selectedText().size());
        }
        allowed = AcceptsRateKey(text.front(), rest);
    } else {
        allowed = AcceptsNumberKey(text.front());
    }
    return !allowed || QDialog::eventFilter(watched, event);
}

}  // namespace kinetar::ui
