#pragma once

#include <QAbstractListModel>

#include "session/ProjectSession.h"
#include "session/SoundLength.h"

namespace kinetar::ui {

// The frame list's lines as a model over the session: row i is frame record i of the working copy,
// read only when the row is shown, so a list of millions of frames costs no more than a short one.
class FrameListModel : public QAbstractListModel {
    Q_OBJECT

public:
    // What a drag of lines carries: nothing but its kind, as the list moves its own selection.
    static constexpr const char* kLinesMimeType = "application/x-kinetar-frame-lines";

    FrameListModel(session::ProjectSession& session, QObject* parent);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction | Qt::MoveAction; }
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

    // A line's timing: when a picture appears and for how long, when a sound starts and for how
    // long it plays, or that it is never heard.
    static constexpr int kTimingRole = Qt::UserRole + 2;
    // Lists longer than this say no timing: it would mean reading every record on each edit.
    static constexpr int kMaxTimedLines = 100'000;

private:
    void Reset();
    // The timing of every line, worked out again after an edit, on the first line asked for.
    void ForgetTiming(int fromRow);
    void WorkOutTiming() const;

    session::ProjectSession& m_session;
    int m_rows = 0;
    mutable bool m_timed = false;
    mutable QStringList m_timing;
    // Sound lines' lengths, read on a thread of their own; the timing shows them when they come.
    mutable session::SoundLengthProbe m_soundProbe;
    mutable QStringList m_probedSounds;
    mutable QList<qint64> m_soundMilliseconds;
};

}  // namespace kinetar::ui
