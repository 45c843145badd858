#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QScrollArea>
#include <algorithm>
#include <cmath>

#include "avi/engine/FrameText.h"
#include "avi/engine/VideoSettings.h"
#include "avi/frames/FrameFitting.h"
#include "avi/frames/MovingView.h"
#include "common/Error.h"
#include "pictures/LoadPicture.h"
#include "pictures/PictureFile.h"
#include "session/ProjectSession.h"
#include "text/Templates.h"
#include "ui/CaptionFields.h"
#include "ui/FrameDetails.h"
#include "ui/FrameSummary.h"
#include "ui/Messages.h"
#include "ui/MotionFields.h"
#include "ui/QtConvert.h"
#include "ui/Thumbnails.h"
#include "ui/ViewRectangles.h"

// The details panel's preview: the picture read and fitted as the video will show it, a
// placeholder for what cannot be shown, a sound's length.

namespace kinetar::ui {

namespace {

// A preview needs no more pixels than a large screen shows: a larger video is drawn smaller.
constexpr double kMaxPreviewPixels = 3840.0 * 2160.0;
// The whole picture under the views is drawn smaller still: it is seen at the panel's size.
constexpr double kMaxCanvasPixels = 2048.0 * 1536.0;

}  // namespace

void FrameDetails::RefreshPreview()
{
    m_sizeCaption->setText(QStringLiteral("Dimension of picture:"));
    m_sizeLabel->setText(QStringLiteral("none"));
    m_pictureShown = false;
    m_soundRequest = 0;  // a length still being read is for another file
    if (ShowTitleCard()) {
        return;
    }
    // A caption line alone shows the picture it goes on, with its words.
    const int shown = ShownPictureRow();
    const bool captionLine =
        shown >= 0 && shown != m_session.Selection().Current && m_session.Selection().Rows.size() == 1;
    const std::vector<project::FrameRecord> shownRecords =
        captionLine ? m_session.Records({shown}) : std::vector<project::FrameRecord>{};
    const QString text = shownRecords.empty() ? m_nameField->text()
                                              : FromNativePath(project::GetText(shownRecords.front().PictureFileName));
    m_preview->setVisible(!text.isEmpty());
    if (text.isEmpty()) {
        return;
    }
    if (text == kDifferentNames) {
        ShowPlaceholder("MULTYSELECT");
        return;
    }
    const QString named = m_session.FileOf(text);
    if (!IsExistingFile(named)) {
        ShowPlaceholder("FILENOTFOUND");
        return;
    }
    if (m_soundSelected) {
        // Never read as a picture; its length comes when the sound library has read it.
        m_sizeCaption->setText(QStringLiteral("Sound:"));
        m_sizeLabel->setText(QStringLiteral("\u2026"));
        ShowImage(SoundNotePixmap(QSize(ThumbnailCache::kWidth, ThumbnailCache::kHeight) * 2).toImage());
        m_soundRequest = m_soundProbe.Measure({named});
        return;
    }
    const std::string path = ToNativePath(named);
    // As the video shows it: what is transparent shows the background colour.
    pictures::PictureRequest request;
    const project::ProjectHeader header = m_session.Header();
    request.Background = {header.Background[0], header.Background[1], header.Background[2], 0};
    m_readOver = header.Background;
    try {
        const pictures::PictureFile file(path);
        if (!pictures::ReadPicture(file.Bytes(), path, m_picture, request)) {
            ShowPlaceholder("BADFORMAT");
            return;
        }
    } catch (const Error& error) {
        ShowPlaceholder("BADFORMAT");
        m_services.ReportError(window(), msg::kErrorReading + FromCoreText(error.what()) + msg::kCorrectOrRemove);
        return;
    }
    m_sizeLabel->setText(FormatPictureSize(m_picture.Width(), m_picture.Height()));
    m_pictureShown = true;
    ShowFitted();
}

void FrameDetails::ShowSoundLength(int request, const QList<qint64>& milliseconds)
{
    if (request != m_soundRequest || milliseconds.size() != 1) {
        return;
    }
    m_sizeLabel->setText(milliseconds.front() < 0 ? QStringLiteral("length unknown")
                                                  : session::SoundLengthText(milliseconds.front()));
}

void FrameDetails::ShowPlaceholder(const char* name)
{
    // Read into the preview's picture like any file, through the program's own reader.
    QFile resource(QStringLiteral(":/kinetar/placeholders/") + QString::fromLatin1(name) + QStringLiteral(".bmp"));
    resource.open(QIODevice::ReadOnly);
    const QByteArray bytes = resource.readAll();
    pictures::ReadPicture(
        {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())}, name,
        m_picture);
    ShowImage(ToImage(m_picture));
}

void FrameDetails::ShowFitted()
{
    if (!m_pictureShown) {
        return;
    }
    const project::ProjectHeader header = m_session.Header();
    const auto records = m_session.Records({ShownPictureRow()});
    const project::FrameRecord record = records.empty() ? project::FrameRecord{} : records.front();
    avi::FitOptions options = avi::FitOptionsFor(header, record);
    // A caption line's fields are off: its picture shows with the picture's own fit.
    if (!m_timelessSelected) {
        options.Mode = ChosenFit().value_or(options.Mode);
    }

    // A size the video cannot have is proposed from the picture when the video is made.
    std::int32_t width = header.Width;
    std::int32_t height = header.Height;
    const auto possible = [](std::int32_t side) { return side >= avi::kMinVideoSide && side <= avi::kMaxVideoSide; };
    if (!possible(width) || !possible(height)) {
        width = m_picture.Width();
        height = m_picture.Height();
    }
    if (m_motion->Custom()) {
        ShowMotionCanvas(options, QSize(width, height));
        return;
    }
    const bool captioned = m_caption->Shown().has_value();
    if (width == m_picture.Width() && height == m_picture.Height() && !captioned) {
        ShowImage(ToImage(m_picture));  // fitting would copy it as it is
        return;
    }
    const double pixels = static_cast<double>(width) * height;
    if (pixels > kMaxPreviewPixels) {
        const double scale = std::sqrt(kMaxPreviewPixels / pixels);
        width = std::max(1, static_cast<std::int32_t>(std::lround(width * scale)));
        height = std::max(1, static_cast<std::int32_t>(std::lround(height * scale)));
    }
    avi::WorkingFrame frame(width, height);
    avi::FitPicture(m_picture, options, frame);
    DrawCaption(frame);
    ShowImage(ToImage(frame));
}

void FrameDetails::DrawCaption(avi::WorkingFrame& frame)
{
    const std::optional<project::Caption> caption = m_caption->Shown();
    const int row = ShownPictureRow();
    const auto records = m_session.Records({row});
    if (!caption || row < 0 || records.empty() || !project::IsPictureRecord(records.front())) {
        return;
    }
    project::FrameRecord captionRecord;
    try {
        captionRecord = project::NewCaptionRecord(*caption);
    } catch (const Error&) {
        return;  // words too long to store are refused when they are saved
    }
    // The picture's place and the count only when the words ask for them: they take every record.
    std::int64_t index = 0;
    std::int64_t count = 0;
    if (caption->Text.find("{index}") != std::string::npos || caption->Text.find("{count}") != std::string::npos) {
        for (int line = 0; line < m_session.LineCount(); ++line) {
            if (IsPictureLine(line)) {
                index += line < row ? 1 : 0;
                ++count;
            }
        }
    }
    project::FrameRecord picture = records.front();
    // The name field's picture while its name is being edited; a caption line's picture as it is.
    const QString name =
        m_nameField->isEnabled() ? m_nameField->text() : FromNativePath(project::GetText(picture.PictureFileName));
    project::SetText(picture.PictureFileName, ToNativePath(m_session.FileOf(name)));
    avi::PutCaptions(avi::DrawCaptions({&captionRecord, 1}, picture, index, count, frame.Width(), frame.Height()),
                     frame);
}

bool FrameDetails::IsPictureLine(int row) const
{
    return m_session.RoleAt(row) == project::RecordRole::Frame && m_session.KindAt(row) != project::kTitleRecord;
}

int FrameDetails::ShownPictureRow() const
{
    const int current = m_session.Selection().Current;
    if (current < 0 || current >= m_session.LineCount() || m_session.KindAt(current) != project::kCaptionRecord) {
        return current;
    }
    int row = current;
    while (row < m_session.LineCount() && m_session.RoleAt(row) != project::RecordRole::Frame) {
        ++row;
    }
    return row < m_session.LineCount() && m_session.KindAt(row) != project::kTitleRecord ? row : -1;
}

bool FrameDetails::ShowTitleCard()
{
    const QList<int>& rows = m_session.Selection().Rows;
    const int row = m_session.Selection().Current;
    if (rows.size() != 1 || row < 0 || m_session.KindAt(row) != project::kTitleRecord) {
        return false;
    }
    const project::ProjectHeader header = m_session.Header();
    const std::vector<project::FrameRecord> card = m_session.Records({row});
    if (card.empty()) {
        return false;
    }
    // The picture a blurred background is made of: the first one after the card.
    std::string next;
    for (int line = row + 1; line < m_session.LineCount() && next.empty(); ++line) {
        if (IsPictureLine(line)) {
            const std::vector<project::FrameRecord> picture = m_session.Records({line});
            if (!picture.empty()) {
                next =
                    ToNativePath(m_session.FileOf(FromNativePath(project::GetText(picture.front().PictureFileName))));
            }
        }
    }
    const auto possible = [](std::int32_t side) { return side >= avi::kMinVideoSide && side <= avi::kMaxVideoSide; };
    const std::int32_t width = possible(header.Width) ? std::int32_t{header.Width} : 1280;
    const std::int32_t height = possible(header.Height) ? std::int32_t{header.Height} : 720;
    m_preview->setVisible(true);
    try {
        m_picture = std::move(*avi::LoadFramePicture(card.front(), header, next, {}, width, height));
    } catch (const Error&) {
        ShowPlaceholder("BADFORMAT");
        return true;
    }
    m_sizeLabel->setText(FormatPictureSize(m_picture.Width(), m_picture.Height()));
    m_pictureShown = true;
    ShowFitted();
    return true;
}

void FrameDetails::ShowMotionCanvas(const avi::FitOptions& options, QSize video)
{
    const QSize picture(m_picture.Width(), m_picture.Height());
    const avi::ViewRect canvas = MotionCanvas(options.Mode, picture, video);
    const double scale = std::min(1.0, std::sqrt(kMaxCanvasPixels / (canvas.Width * canvas.Height)));
    avi::WorkingFrame frame(std::max(1, static_cast<std::int32_t>(std::lround(canvas.Width * scale))),
                            std::max(1, static_cast<std::int32_t>(std::lround(canvas.Height * scale))));
    avi::DrawView(m_picture, canvas, options.Background, frame);
    ShowImage(ToImage(frame));
    m_viewRectangles->SetPlane(options.Mode, picture, video, canvas);
    ShowViews();
    m_viewRectangles->show();
}

void FrameDetails::ShowViews()
{
    m_viewRectangles->SetViews(m_motion->View(ViewRectangles::Start), m_motion->View(ViewRectangles::End));
}

void FrameDetails::ShowImage(const QImage& image)
{
    m_viewRectangles->hide();
    m_preview->setPixmap(QPixmap::fromImage(image, Qt::NoFormatConversion));
    ScalePreview();
}

void FrameDetails::ScalePreview()
{
    const QSize whole = m_preview->pixmap().size();
    const QSize room = m_previewArea->viewport()->size();
    if (whole.isEmpty()) {
        return;
    }
    QSize shown = whole;
    if ((whole.width() > room.width() || whole.height() > room.height()) && !room.isEmpty()) {
        shown = whole.scaled(room, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    }
    m_preview->resize(shown);
    m_viewRectangles->setGeometry(m_preview->rect());
}

}  // namespace kinetar::ui
