#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <cstdint>
#include <optional>
#include <vector>

#include "project/ProjectFile.h"
#include "project/Slideshow.h"

namespace kinetar::session {

// "3:25.4": a sound's length in minutes, seconds and tenths, hours in front when it has any, as
// the video's length is written.
QString SoundLengthText(std::int64_t milliseconds);

// "music 2:10.0", then "silent from 1:40.0" after the separator when the pictures go on after the
// music: the sound records' lengths (milliseconds, one per sound record in order; below 0 for one
// that cannot be read) placed as the render places them. "music …" while they are not all known.
QString MusicLengthText(const std::vector<project::FrameRecord>& records, project::FrameRate rate,
                        const QList<qint64>& soundMilliseconds, const QString& separator);

// Reads the lengths of sound files on a thread of its own, so a slow disk never stops the window.
class SoundLengthProbe : public QObject {
    Q_OBJECT

public:
    explicit SoundLengthProbe(QObject* parent = nullptr);
    // Waits for the read under way, so its answer never reaches a probe that is gone.
    ~SoundLengthProbe() override;
    SoundLengthProbe(const SoundLengthProbe&) = delete;
    SoundLengthProbe& operator=(const SoundLengthProbe&) = delete;

    // Starts reading the files' lengths; Measured brings them with the number returned here. An
    // answer to an earlier request may still come: compare the numbers.
    int Measure(const QStringList& paths);

signals:
    // One length in milliseconds per path, -1 where the file is no sound or declares no length.
    void Measured(int request, const QList<qint64>& milliseconds);

private:
    QThreadPool m_pool;
    int m_requests = 0;
};

}  // namespace kinetar::session
