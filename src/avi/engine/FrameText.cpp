#include "avi/engine/FrameText.h"

#include <optional>
#include <vector>

#include "avi/frames/TitleCard.h"
#include "pictures/LoadPicture.h"
#include "pictures/PhotoDate.h"
#include "project/TextRecords.h"
#include "text/Templates.h"
#include "text/TextDrawing.h"

namespace kinetar::avi {

Captions DrawCaptions(std::span<const project::FrameRecord> captionRecords, const project::FrameRecord& picture,
                      std::int64_t pictureIndex, std::int64_t pictureCount, std::int32_t frameWidth,
                      std::int32_t frameHeight)
{
    Captions captions;
    const bool isPicture = project::IsPictureRecord(picture);
    const std::string path = isPicture ? project::GetText(picture.PictureFileName) : std::string();
    std::optional<std::string> date;
    for (const project::FrameRecord& record : captionRecords) {
        project::Caption caption = project::GetCaption(record);
        text::TemplateValues values{.Date = {},
                                    .Name = path.empty() ? std::string() : project::FileNameWithoutExtension(path),
                                    .Index = isPicture ? pictureIndex + 1 : 0,
                                    .Count = pictureCount};
        // The file is read for its date once, and only when a caption asks for it.
        if (text::UsesDate(caption.Text) && !path.empty()) {
            if (!date) {
                const pictures::CalendarDate day = pictures::PhotoDate(path);
                date = day.Year == 0 ? std::string() : text::FormatDay(day.Year, day.Month, day.Day);
            }
            values.Date = *date;
        }
        caption.Text = text::FillTemplates(caption.Text, values);
        captions.push_back(text::DrawCaption(caption, frameWidth, frameHeight));
    }
    return captions;
}

std::unique_ptr<pictures::DecodedPicture> LoadFramePicture(const project::FrameRecord& record,
                                                           const project::ProjectHeader& header,
                                                           const std::string& nextPicturePath,
                                                           const pictures::PictureRequest& request,
                                                           std::int32_t frameWidth, std::int32_t frameHeight)
{
    if (project::IsTitleRecord(record)) {
        return MakeTitleCard(project::GetTitle(record), header, nextPicturePath, frameWidth, frameHeight);
    }
    return pictures::LoadPicture(project::GetText(record.PictureFileName), request);
}

std::string NextPicturePath(const project::FrameRecordReader& records, std::int32_t index)
{
    project::FrameRecord record;
    for (std::int32_t i = index; i < records.Count() && records.Read(i, record); ++i) {
        if (project::IsPictureRecord(record)) {
            return project::GetText(record.PictureFileName);
        }
    }
    return {};
}

}  // namespace kinetar::avi
