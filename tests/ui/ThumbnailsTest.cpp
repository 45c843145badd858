#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <thread>

#include "UiTest.h"
#include "pictures/LoadPicture.h"
#include "support/BmpBuilder.h"
#include "support/RgbImage.h"
#include "ui/Thumbnails.h"

namespace kinetar::test {
namespace {

using ui::ThumbnailCache;
using Placeholder = ThumbnailCache::Placeholder;

// Reads with the program's reader, counting the reads, which can be held at their start. The
// pictures are dark grey and twice as wide as high; a file named "bad..." is junk.
class ThumbnailsTest : public ::testing::Test {
protected:
    QString Path(const std::string& name, bool exists = true) const
    {
        if (exists) {
            WriteFile(m_dir.File(name), name.starts_with("bad") ? std::vector<std::uint8_t>{1} : m_picture);
        }
        return QString::fromStdString(m_dir.File(name));
    }
    // Waits for `count` thumbnails in all to have arrived; returns the names in their order.
    QStringList WaitFor(int count)
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return m_ready.count() >= count; }));
        EXPECT_EQ(m_ready.count(), count);
        QStringList names;
        for (const auto& ready : m_ready) {
            names << ready.at(0).toString().section(u'/', -1);
        }
        return names;
    }
    bool Shows(const std::string& name, Placeholder kind)
    {
        return m_cache->Thumbnail(Path(name, false)).toImage() == m_cache->PlaceholderPixmap(kind).toImage();
    }

    TempDir m_dir;
    const std::vector<std::uint8_t> m_picture = Bmp24(SolidImage(80, 40, 0x404040));
    std::atomic<int> m_reads = 0;
    std::atomic<bool> m_held = false;
    std::unique_ptr<ThumbnailCache> m_cache = std::make_unique<ThumbnailCache>([this](const std::string& path) {
        ++m_reads;
        while (m_held) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return pictures::LoadPicture(path);
    });
    QSignalSpy m_ready{m_cache.get(), &ThumbnailCache::Ready};
};

TEST_F(ThumbnailsTest, NeverWaitsForTheReaderCoalescesAndKeepsTheLeastRecentlyUsedOut)
{
    m_held = true;
    Path("a.bmp");
    Path("bad.bmp");
    for (int round = 0; round < 5; ++round) {  // the reader is held: none of this may wait for it
        for (const char* name : {"a.bmp", "bad.bmp", "gone.bmp"}) {
            EXPECT_TRUE(Shows(name, Placeholder::Loading));
        }
    }
    m_held = false;
    WaitFor(3);
    EXPECT_EQ(m_reads, 2) << "once each; a missing file is not read";
    const QImage thumbnail = m_cache->Thumbnail(Path("a.bmp")).toImage();
    EXPECT_EQ(std::pair(thumbnail.size(), thumbnail.pixel(32, 16)), std::pair(QSize(64, 32), qRgb(64, 64, 64)));
    EXPECT_TRUE(Shows("bad.bmp", Placeholder::Unreadable) && Shows("gone.bmp", Placeholder::Missing));
    // The preview's pictures, scaled: their borders are light grey, red and magenta.
    const auto border = [&](Placeholder kind) { return m_cache->PlaceholderPixmap(kind).toImage().pixel(0, 0); };
    EXPECT_EQ(QList({border(Placeholder::Loading), border(Placeholder::Missing), border(Placeholder::Unreadable)}),
              QList({qRgb(192, 192, 192), qRgb(255, 0, 0), qRgb(255, 0, 255)}));

    m_cache->SetThreadCount(1);
    m_cache->SetCapacity(2 * 64 * 32 * 4);  // the last two used: the placeholders
    m_cache->SetPendingLimit(3);
    // a, read again, and b; a used after b stays when c comes, b goes and is read again.
    for (const auto& [name, arrived] :
         {std::pair{"a.bmp", 4}, {"b.bmp", 5}, {"a.bmp", 5}, {"c.bmp", 6}, {"b.bmp", 7}}) {
        m_cache->Thumbnail(Path(name));
        WaitFor(arrived);
    }
    m_held = true;
    for (const char* name : {"p0", "p1", "p2", "p3", "p4", "p5", "p6", "p5"}) {
        m_cache->Thumbnail(Path(std::string(name) + ".bmp"));  // p0 is read at once; p5, painted again, goes first
    }
    m_held = false;
    EXPECT_EQ(WaitFor(11).mid(3),
              QStringList({"a.bmp", "b.bmp", "c.bmp", "b.bmp", "p0.bmp", "p5.bmp", "p6.bmp", "p4.bmp"}));

    // Going away during a read: it waits for that read and starts no other.
    m_held = true;
    m_cache->Thumbnail(Path("q0.bmp"));
    m_cache->Thumbnail(Path("q1.bmp"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_reads == 11; }));
    m_held = false;
    m_cache.reset();
    EXPECT_EQ(m_reads, 11);
}

// Keeps the lines it paints.
struct PaintedLines : ui::ThumbnailDelegate {
    using ThumbnailDelegate::ThumbnailDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        Lines << index.row();
        ThumbnailDelegate::paint(painter, option, index);
    }
    mutable QList<int> Lines;
};

TEST_F(ThumbnailsTest, ALongListAsksOnlyForThePaintedLinesAndRepaintsThemAsTheyArrive)
{
    QListWidget list;
    for (int line = 0; line < 10000; ++line) {
        const std::string name = "f" + std::to_string(line) + ".bmp";
        auto* item = new QListWidgetItem(QString::fromStdString(name), &list);
        item->setData(ui::ThumbnailDelegate::kPathRole, Path(name, line == 0));  // the others are missing
    }
    auto* delegate = new PaintedLines(*m_cache, &list);
    list.setItemDelegate(delegate);
    list.resize(200, 300);
    m_held = true;
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    EXPECT_GE(list.visualRect(list.model()->index(0, 0)).height(), 48);
    const int shown = list.indexAt(list.viewport()->rect().bottomLeft()).row() + 1;
    WaitFor(shown - 1);  // all but the held first line; none out of sight
    QTest::qWait(50);
    delegate->Lines.clear();
    m_held = false;
    WaitFor(shown);
    QTest::qWait(50);
    EXPECT_EQ(delegate->Lines.value(0, -1), 0) << "the first line painted again, with its thumbnail";
    delegate->SetEnabled(false);
    EXPECT_LT(list.visualRect(list.model()->index(0, 0)).height(), 48);
}

}  // namespace
}  // namespace kinetar::test
