#include "session/SoundLength.h"

#include <algorithm>

#include "avi/audio/SoundFile.h"
#include "project/MusicFit.h"
#include "project/Slideshow.h"
#include "session/PathText.h"

namespace kinetar::session {

QString SoundLengthText(std::int64_t milliseconds)
{
    // The video's length text at a rate of 1000 frames a second, without its frames.
    const std::string text = project::VideoLengthText(milliseconds, {1000, 1});
    return QString::fromStdString(text.substr(0, text.find(" \u2014 ")));
}

QString MusicLengthText(const std::vector<project::FrameRecord>& records, project::FrameRate rate,
                        const QList<qint64>& soundMilliseconds, const QString& separator)
{
    std::vector<std::int32_t> sounds;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (project::IsSoundRecord(records[i])) {
            sounds.push_back(static_cast<std::int32_t>(i));
        }
    }
    if (static_cast<std::size_t>(soundMilliseconds.size()) != sounds.size()) {
        return QStringLiteral("music \u2026");
    }
    qint64 total = 0;
    for (const qint64 length : soundMilliseconds) {
        total += std::max<qint64>(length, 0);
    }
    QString text = QStringLiteral("music ") + SoundLengthText(total);
    if (rate.Numerator == 0) {
        return text;
    }
    const std::int64_t musicEnd = project::MusicEndSample(records, rate, [&](std::int32_t record) {
        const auto at = std::lower_bound(sounds.begin(), sounds.end(), record) - sounds.begin();
        return std::optional<std::int64_t>(std::max<qint64>(soundMilliseconds[at], 0) *
                                           (project::kSoundSampleRate / 1000));
    });
    if (musicEnd < project::SampleAtFrame(project::VideoFrameCount(records, rate), rate)) {
        text += separator + QStringLiteral("silent from ") + QString::fromStdString(project::SampleTimeText(musicEnd));
    }
    return text;
}

SoundLengthProbe::SoundLengthProbe(QObject* parent) : QObject(parent)
{
    // One at a time, in the order asked: a later answer is never overtaken by an earlier one.
    m_pool.setMaxThreadCount(1);
}

SoundLengthProbe::~SoundLengthProbe()
{
    m_pool.clear();
    m_pool.waitForDone();
}

int SoundLengthProbe::Measure(const QStringList& paths)
{
    const int request = ++m_requests;
    std::vector<std::string> files;
    files.reserve(static_cast<std::size_t>(paths.size()));
    for (const QString& path : paths) {
        files.push_back(ToNativePath(path));
    }
    m_pool.start([this, request, files = std::move(files)] {
        QList<qint64> lengths;
        for (const std::string& file : files) {
            lengths << avi::SoundMilliseconds(file).value_or(-1);
        }
        QMetaObject::invokeMethod(
            this, [this, request, lengths] { emit Measured(request, lengths); }, Qt::QueuedConnection);
    });
    return request;
}

}  // namespace kinetar::session
