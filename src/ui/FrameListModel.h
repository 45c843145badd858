#pragma once

#include <QAbstractListModel>

#include "session/ProjectSession.h"

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

private:
    void Reset();

    session::ProjectSession& m_session;
    int m_rows = 0;
};

}  // namespace kinetar::ui
