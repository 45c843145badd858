#include "ui/FrameListModel.h"

#include <QMimeData>
#include <algorithm>

#include "project/Slideshow.h"
#include "project/TextRecords.h"
#include "ui/QtConvert.h"
#include "ui/Thumbnails.h"

namespace kinetar::ui {

FrameListModel::FrameListModel(session::ProjectSession& session, QObject* parent)
    : QAbstractListModel(parent), m_session(session), m_rows(session.LineCount())
{
    // Any edit may move the lines after it in time, and the rate moves them all.
    for (const auto signal : {&session::ProjectSession::FramesReset, &session::ProjectSession::HeaderChanged,
                              &session::ProjectSession::ProjectOpened}) {
        connect(&m_session, signal, this, [this] { ForgetTiming(0); });
    }
    connect(&m_session, &session::ProjectSession::FramesInserted, this,
            [this](int first, int) { ForgetTiming(first); });
    connect(&m_session, &session::ProjectSession::FramesRemoved, this, [this] { ForgetTiming(0); });
    connect(&m_session, &session::ProjectSession::FramesMoved, this, [this](int first, int) { ForgetTiming(first); });
    connect(&m_session, &session::ProjectSession::FramesChanged, this, [this](const QList<int>& rows) {
        ForgetTiming(rows.isEmpty() ? 0 : *std::min_element(rows.begin(), rows.end()));
    });
    connect(&m_soundProbe, &session::SoundLengthProbe::Measured, this, [this](int, const QList<qint64>& milliseconds) {
        if (milliseconds.size() == m_probedSounds.size()) {
            m_soundMilliseconds = milliseconds;
            ForgetTiming(0);
        }
    });
    connect(&m_session, &session::ProjectSession::FramesReset, this, &FrameListModel::Reset);
    connect(&m_session, &session::ProjectSession::FramesRemoved, this, &FrameListModel::Reset);
    connect(&m_session, &session::ProjectSession::FramesInserted, this, [this](int first, int count) {
        beginInsertRows({}, first, first + count - 1);
        m_rows = m_session.LineCount();
        endInsertRows();
    });
    connect(&m_session, &session::ProjectSession::FramesMoved, this,
            [this](int first, int last) { emit dataChanged(index(first), index(last)); });
    connect(&m_session, &session::ProjectSession::FramesChanged, this, [this](const QList<int>& rows) {
        for (const int row : rows) {
            emit dataChanged(index(row), index(row));
        }
    });
}

void FrameListModel::Reset()
{
    if (m_rows == m_session.LineCount()) {
        // The same number of lines (an undone move or change): the texts alone, the view stays.
        if (m_rows > 0) {
            emit dataChanged(index(0), index(m_rows - 1));
        }
        return;
    }
    beginResetModel();
    m_rows = m_session.LineCount();
    endResetModel();
}

void FrameListModel::ForgetTiming(int fromRow)
{
    m_timed = false;
    if (fromRow < m_rows) {
        emit dataChanged(index(std::max(fromRow, 0)), index(m_rows - 1), {kTimingRole});
    }
}

void FrameListModel::WorkOutTiming() const
{
    m_timed = true;
    m_timing.clear();
    const project::FrameRate rate = project::GetFrameRate(m_session.Header());
    if (m_rows > kMaxTimedLines || rate.Numerator == 0) {
        return;
    }
    const std::vector<project::FrameRecord> records = m_session.AllRecords();
    const std::int64_t videoFrames = project::VideoFrameCount(records, rate);
    const std::vector<project::SoundCue> cues = project::SoundCues(records, rate);
    QStringList sounds;
    for (const project::SoundCue& cue : cues) {
        sounds << m_session.FileOf(
            FromNativePath(project::GetText(records[static_cast<std::size_t>(cue.Record)].PictureFileName)));
    }
    if (sounds != m_probedSounds) {
        m_probedSounds = sounds;
        m_soundMilliseconds.clear();
        if (!sounds.isEmpty()) {
            m_soundProbe.Measure(sounds);
        }
    }
    const bool measured = m_soundMilliseconds.size() == sounds.size();
    std::vector<std::int64_t> lengths;
    for (const qint64 length : m_soundMilliseconds) {
        lengths.push_back(std::max<qint64>(length, 0) * (project::kSoundSampleRate / 1000));
    }
    const std::vector<std::int64_t> starts = project::SoundStarts(cues, lengths, rate);
    project::Timeline timeline(rate);
    std::size_t sound = 0;
    for (const project::FrameRecord& record : records) {
        if (project::IsSoundRecord(record)) {
            const std::optional<std::int64_t> length =
                measured && m_soundMilliseconds[static_cast<qsizetype>(sound)] >= 0 ? std::optional(lengths[sound])
                                                                                    : std::nullopt;
            const bool heard = cues[sound].Frame < videoFrames;
            m_timing << FromCoreText(project::SoundTimingText(starts[sound], length, heard));
            ++sound;
            continue;
        }
        if (project::IsCaptionRecord(record)) {
            m_timing << QString();  // shown with the picture after it
            continue;
        }
        const std::int64_t start = timeline.Frames();
        timeline.Advance(record.Duration);
        m_timing << FromCoreText(project::PictureTimingText(start, record.Duration, record.Crossfade, rate));
    }
}

int FrameListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

QVariant FrameListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return m_session.LineTextAt(index.row());
    case ThumbnailDelegate::kPathRole:
        return m_session.FileAt(index.row());
    case ThumbnailDelegate::kSoundRole:
        return m_session.SoundAt(index.row());
    case ThumbnailDelegate::kWordsRole:
        return m_session.KindAt(index.row()) == project::kCaptionRecord ||
               m_session.KindAt(index.row()) == project::kTitleRecord;
    case kTimingRole:
        if (!m_timed) {
            WorkOutTiming();
        }
        return index.row() < m_timing.size() ? m_timing[index.row()] : QString();
    default:
        return {};
    }
}

Qt::ItemFlags FrameListModel::flags(const QModelIndex& index) const
{
    // Lines are dropped between lines, never onto one.
    if (!index.isValid()) {
        return Qt::ItemIsDropEnabled;
    }
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QStringList FrameListModel::mimeTypes() const
{
    return {QString::fromLatin1(kLinesMimeType)};
}

QMimeData* FrameListModel::mimeData(const QModelIndexList& indexes) const
{
    if (indexes.isEmpty()) {
        return nullptr;
    }
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kLinesMimeType), {});
    return data;
}

}  // namespace kinetar::ui
