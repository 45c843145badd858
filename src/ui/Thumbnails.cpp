#include "ui/Thumbnails.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QPainter>
#include <algorithm>
#include <mutex>

#include "pictures/LoadPicture.h"
#include "ui/FrameListModel.h"
#include "ui/QtConvert.h"

namespace kinetar::ui {

// What the reads under way need of the cache: it is told once the cache is gone, so a late result
// is dropped.
struct ThumbnailCache::Shared {
    std::mutex Mutex;
    ThumbnailCache* Owner = nullptr;
};

struct ThumbnailCache::Outcome {
    Placeholder Failure = Placeholder::Loading;  // Loading: no failure, the picture is read
    QImage Picture;
};

namespace {

const QSize kBox(ThumbnailCache::kWidth, ThumbnailCache::kHeight);

QImage Shrunk(const QImage& image)
{
    return image.scaled(kBox, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// Read like the preview's placeholders, through the program's own reader.
QPixmap PlaceholderFromResource(const char* name)
{
    QFile resource(QStringLiteral(":/kinetar/placeholders/") + QString::fromLatin1(name) + QStringLiteral(".bmp"));
    resource.open(QIODevice::ReadOnly);
    const QByteArray bytes = resource.readAll();
    const auto picture = pictures::LoadPicture(
        {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())}, name);
    return QPixmap::fromImage(Shrunk(ToImage(*picture)));
}

qsizetype Cost(const QPixmap& pixmap)
{
    return qsizetype{pixmap.width()} * pixmap.height() * 4;
}

}  // namespace

QPixmap SoundNotePixmap(const QSize& box)
{
    return QIcon(QStringLiteral(":/kinetar/icons/sound-note.svg")).pixmap(box);
}

ThumbnailCache::ThumbnailCache(Reader reader, QObject* parent)
    : QObject(parent),
      m_reader(reader ? std::move(reader)
                      : [](const std::string& path) {
                            // A photo is decoded only as large as the thumbnail needs (JPEG at an
                            // eighth of its size, say), which keeps a list of camera photos quick.
                            pictures::PictureRequest request;
                            request.TargetWidth = kWidth;
                            request.TargetHeight = kHeight;
                            return pictures::LoadPicture(path, request);
                        }),
      m_shared(std::make_shared<Shared>())
{
    m_shared->Owner = this;
    // Two threads keep the list filling without taking the machine from the rest of the program.
    m_pool.setMaxThreadCount(2);
    SetCapacity(16 * 1024 * 1024);
    m_placeholders[static_cast<int>(Placeholder::Loading)] = PlaceholderFromResource("LOADING");
    m_placeholders[static_cast<int>(Placeholder::Missing)] = PlaceholderFromResource("FILENOTFOUND");
    m_placeholders[static_cast<int>(Placeholder::Unreadable)] = PlaceholderFromResource("BADFORMAT");
}

ThumbnailCache::~ThumbnailCache()
{
    {
        const std::lock_guard lock(m_shared->Mutex);
        m_shared->Owner = nullptr;
    }
    m_waiting.clear();
    m_pool.clear();
    m_pool.waitForDone();  // the reads under way use the reader, which may go with the cache
}

const QPixmap& ThumbnailCache::PlaceholderPixmap(Placeholder kind) const
{
    return m_placeholders[static_cast<int>(kind)];
}

QPixmap ThumbnailCache::Thumbnail(const QString& path)
{
    if (const QPixmap* thumbnail = m_thumbnails.object(path)) {
        return *thumbnail;
    }
    Request(path);
    return PlaceholderPixmap(Placeholder::Loading);
}

void ThumbnailCache::Forget(const QString& path)
{
    m_thumbnails.remove(path);
}

void ThumbnailCache::SetCapacity(qsizetype bytes)
{
    m_thumbnails.setMaxCost(std::max<qsizetype>(bytes, qsizetype{kWidth} * kHeight * 4));
}

void ThumbnailCache::SetPendingLimit(int count)
{
    m_pendingLimit = std::max(count, 1);
}

void ThumbnailCache::Request(const QString& path)
{
    if (m_reading.contains(path)) {
        return;
    }
    if (m_waitingSet.contains(path)) {
        // Asked again: painted again, so it moves to the front.
        m_waiting.erase(std::find(m_waiting.begin(), m_waiting.end(), path));
    } else {
        m_waitingSet.insert(path);
    }
    m_waiting.push_front(path);
    while (m_waiting.size() > static_cast<std::size_t>(m_pendingLimit)) {
        m_waitingSet.remove(m_waiting.back());
        m_waiting.pop_back();
    }
    StartReads();
}

void ThumbnailCache::StartReads()
{
    while (!m_waiting.empty() && m_reading.size() < m_pool.maxThreadCount()) {
        const QString path = m_waiting.front();
        m_waiting.pop_front();
        m_waitingSet.remove(path);
        m_reading.insert(path);
        m_pool.start([shared = m_shared, reader = m_reader, path] {
            Outcome outcome;
            const QFileInfo file(path);
            if (!file.exists()) {
                outcome.Failure = Placeholder::Missing;
            } else if (file.isFile()) {  // a pipe or a device could keep the thread forever
                try {
                    outcome.Picture = Shrunk(ToImage(*reader(ToNativePath(path))));
                } catch (...) {  // whatever the reader raises, the file is unreadable to us
                }
            }
            if (file.exists() && outcome.Picture.isNull()) {
                outcome.Failure = Placeholder::Unreadable;
            }
            const std::lock_guard lock(shared->Mutex);
            if (ThumbnailCache* owner = shared->Owner) {
                QMetaObject::invokeMethod(
                    owner, [owner, path, outcome] { owner->Deliver(path, outcome); }, Qt::QueuedConnection);
            }
        });
    }
}

void ThumbnailCache::Deliver(const QString& path, const Outcome& outcome)
{
    m_reading.remove(path);
    auto* thumbnail = new QPixmap(outcome.Failure == Placeholder::Loading ? QPixmap::fromImage(outcome.Picture)
                                                                          : PlaceholderPixmap(outcome.Failure));
    m_thumbnails.insert(path, thumbnail, Cost(*thumbnail));
    StartReads();
    emit Ready(path);
}

ThumbnailDelegate::ThumbnailDelegate(ThumbnailCache& cache, QObject* parent)
    : QStyledItemDelegate(parent),
      m_cache(cache),
      m_view(qobject_cast<QAbstractItemView*>(parent)),
      m_note(SoundNotePixmap(kBox)),
      m_words(QIcon(QStringLiteral(":/kinetar/icons/words.svg")).pixmap(kBox))
{
    connect(&m_cache, &ThumbnailCache::Ready, this, &ThumbnailDelegate::ThumbnailReady);
}

void ThumbnailDelegate::SetEnabled(bool enabled)
{
    if (enabled == m_enabled) {
        return;
    }
    m_enabled = enabled;
    emit sizeHintChanged({});  // the view lays its lines out again
}

namespace {

QString PathOf(const QModelIndex& index)
{
    const QVariant path = index.data(ThumbnailDelegate::kPathRole);
    return path.isValid() ? path.toString() : index.data(Qt::DisplayRole).toString();
}

}  // namespace

void ThumbnailDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (m_enabled) {
        // Sizes the line; paint puts the thumbnail in, so laying lines out reads no file.
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->decorationSize = kBox;
        option->icon = QIcon(m_cache.PlaceholderPixmap(ThumbnailCache::Placeholder::Loading));
    }
}

void ThumbnailDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem line = option;
    initStyleOption(&line, index);
    // A name too long for the line loses its middle, so its start and its extension stay.
    line.textElideMode = Qt::ElideMiddle;
    if (m_enabled) {
        line.icon = QIcon(index.data(kSoundRole).toBool()   ? m_note
                          : index.data(kWordsRole).toBool() ? m_words
                                                            : m_cache.Thumbnail(PathOf(index)));
    }
    const QWidget* widget = option.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    const QString timing = index.data(FrameListModel::kTimingRole).toString();
    if (timing.isEmpty()) {
        style->drawControl(QStyle::CE_ItemViewItem, &line, painter, widget);
        return;
    }
    // The timing in a quieter colour: under the name where the line has room for two (with
    // thumbnails), else at its right end when the whole name leaves room; the name comes first.
    const QString name = line.text;
    line.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &line, painter, widget);
    line.text = name;
    const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &line, widget).adjusted(2, 0, -2, 0);
    const QFontMetrics& metrics = line.fontMetrics;
    const bool selected = (line.state & QStyle::State_Selected) != 0;
    const QPalette::ColorGroup group =
        (line.state & QStyle::State_Enabled) != 0 ? QPalette::Normal : QPalette::Disabled;
    QColor colour = line.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    QColor quieter = colour;
    quieter.setAlphaF(0.6F);
    painter->save();
    painter->setFont(line.font);
    const auto draw = [&](const QRect& rect, const QString& words, Qt::Alignment alignment, Qt::TextElideMode elide,
                          const QColor& pen) {
        painter->setPen(pen);
        painter->drawText(rect, alignment | Qt::AlignVCenter, metrics.elidedText(words, elide, rect.width()));
    };
    if (text.height() >= 2 * metrics.height()) {
        const int middle = text.center().y();
        draw({text.left(), middle - metrics.height(), text.width(), metrics.height()}, name, Qt::AlignLeft,
             Qt::ElideMiddle, colour);
        draw({text.left(), middle, text.width(), metrics.height()}, timing, Qt::AlignLeft, Qt::ElideRight, quieter);
    } else {
        const int room = text.width() - metrics.horizontalAdvance(name) - 8;
        const bool timed = room >= metrics.horizontalAdvance(QStringLiteral("0:00.0"));
        draw(text.adjusted(0, 0, timed ? -(room + 8) : 0, 0), name, Qt::AlignLeft, Qt::ElideMiddle, colour);
        if (timed) {
            draw(text.adjusted(text.width() - room, 0, 0, 0), timing, Qt::AlignRight, Qt::ElideRight, quieter);
        }
    }
    painter->restore();
}

void ThumbnailDelegate::ThumbnailReady(const QString& path)
{
    if (m_view == nullptr || !m_enabled) {
        return;
    }
    // Only the lines in sight can show it.
    const QRect area = m_view->viewport()->rect();
    QModelIndex index = m_view->indexAt(area.topLeft());
    if (!index.isValid()) {
        m_view->viewport()->update();
        return;
    }
    for (; index.isValid() && m_view->visualRect(index).top() <= area.bottom();
         index = index.siblingAtRow(index.row() + 1)) {
        if (PathOf(index) == path) {
            m_view->update(index);
        }
    }
}

}  // namespace kinetar::ui
