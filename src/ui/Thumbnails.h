#pragma once

#include <QCache>
#include <QPixmap>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStyledItemDelegate>
#include <QThreadPool>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "pictures/DecodedPicture.h"

class QAbstractItemView;

namespace kinetar::ui {

// What a sound's line and its preview show: a note, as large as fits the box.
QPixmap SoundNotePixmap(const QSize& box);

// Small pictures of the frames' files, read by the program's own readers on worker threads and
// kept in a least-recently-used cache. Asking never waits for a file.
class ThumbnailCache : public QObject {
    Q_OBJECT

public:
    // Reads one picture file, raising an Error when it cannot; called on worker threads.
    using Reader = std::function<std::unique_ptr<pictures::DecodedPicture>(const std::string& path)>;
    // The box a thumbnail fits in, its aspect kept.
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;

    // Without a reader the files are read with LoadPicture.
    explicit ThumbnailCache(Reader reader = {}, QObject* parent = nullptr);
    // Drops the waiting requests and waits for the reads under way.
    ~ThumbnailCache() override;
    ThumbnailCache(const ThumbnailCache&) = delete;
    ThumbnailCache& operator=(const ThumbnailCache&) = delete;

    // The file's thumbnail when it has been read (a placeholder for a missing or unreadable file),
    // else the loading placeholder, the file being queued for reading.
    QPixmap Thumbnail(const QString& path);
    // Reads the file again when it is next asked for, as it may have changed.
    void Forget(const QString& path);
    // The bytes of thumbnails kept; at least one thumbnail's worth.
    void SetCapacity(qsizetype bytes);
    // How many files may wait for a thread; past it the oldest requests are dropped, as their lines
    // have been scrolled away (they are asked for again when painted again).
    void SetPendingLimit(int count);
    void SetThreadCount(int count) { m_pool.setMaxThreadCount(count); }

    enum class Placeholder { Loading, Missing, Unreadable };
    const QPixmap& PlaceholderPixmap(Placeholder kind) const;

signals:
    // A thumbnail has arrived; asking for it now gives it.
    void Ready(const QString& path);

private:
    struct Shared;
    struct Outcome;
    void Request(const QString& path);
    void StartReads();
    void Deliver(const QString& path, const Outcome& outcome);

    Reader m_reader;
    QThreadPool m_pool;
    QCache<QString, QPixmap> m_thumbnails;
    std::deque<QString> m_waiting;  // newest first
    QSet<QString> m_waitingSet;
    QSet<QString> m_reading;
    int m_pendingLimit = 128;
    std::shared_ptr<Shared> m_shared;
    QPixmap m_placeholders[3];
};

// Paints a frame list's lines with the thumbnail of their picture before the text. Only painted
// lines are asked for, so a long list costs nothing until it is scrolled.
class ThumbnailDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    // A line's picture path; a line without one uses its text.
    static constexpr int kPathRole = Qt::UserRole;
    // True for a line that names a sound: it shows a note, and its file is never read as a picture.
    static constexpr int kSoundRole = Qt::UserRole + 1;
    // True for a caption's or a title's line: it shows a sign for words, and no file is read.
    static constexpr int kWordsRole = Qt::UserRole + 3;  // after the list model's timing

    // When the parent is a view, its lines are repainted as their thumbnails arrive.
    ThumbnailDelegate(ThumbnailCache& cache, QObject* parent);

    // Off: plain text lines.
    void SetEnabled(bool enabled);
    bool Enabled() const { return m_enabled; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    void ThumbnailReady(const QString& path);

    ThumbnailCache& m_cache;
    QPointer<QAbstractItemView> m_view;
    QPixmap m_note;
    QPixmap m_words;
    bool m_enabled = true;
};

}  // namespace kinetar::ui
