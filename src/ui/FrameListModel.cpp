#include "ui/FrameListModel.h"

#include <QMimeData>

#include "ui/Thumbnails.h"

namespace kinetar::ui {

FrameListModel::FrameListModel(session::ProjectSession& session, QObject* parent)
    : QAbstractListModel(parent), m_session(session), m_rows(session.LineCount())
{
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
