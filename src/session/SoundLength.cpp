#include "session/SoundLength.h"

#include "avi/audio/SoundFile.h"
#include "project/Slideshow.h"
#include "session/PathText.h"

namespace kinetar::session {

QString SoundLengthText(std::int64_t milliseconds)
{
    // The video's length text at a rate of 1000 frames a second, without its frames.
    const std::string text = project::VideoLengthText(milliseconds, {1000, 1});
    return QString::fromStdString(text.substr(0, text.find(" \u2014 ")));
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
