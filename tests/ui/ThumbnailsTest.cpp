#include <QElapsedTimer>
#include <QListWidget>
#include <QPaintEvent>
#include <QSignalSpy>
#include <QTest>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "UiTest.h"
#include "common/Error.h"
#include "ui/Thumbnails.h"

namespace kinetar::test {
namespace {

using ui::ThumbnailCache;
using Placeholder = ThumbnailCache::Placeholder;

// A reader that keeps what it was asked, can be held at its start, and gives a dark grey picture
// twice as wide as high, or raises for a file whose name begins with "bad".
class HeldReader {
public:
    ThumbnailCache::Reader Reader()
    {
        return [this](const std::string& path) {
            std::unique_lock lock(m_mutex);
            m_asked.push_back(path.substr(path.rfind('/') + 1));
            m_released.wait(lock, [this] { return m_open; });
            if (path.find("/bad") != std::string::npos) {
                throw Error("Unknown file format " + path);
            }
            auto picture = std::make_unique<pictures::DecodedPicture>();
            picture->SetWidth(80);
            picture->SetHeight(40);
            picture->Fill(0x40);
            return picture;
        };
    }
    void Hold() { Open(false); }
    void Release() { Open(true); }
    std::vector<std::string> Asked()
    {
        std::lock_guard lock(m_mutex);
        return m_asked;
    }

private:
    void Open(bool open)
    {
        std::lock_guard lock(m_mutex);
        m_open = open;
        m_released.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_open = true;
    std::vector<std::string> m_asked;
};

class ThumbnailsTest : public ::testing::Test {
protected:
    QString Path(const std::string& name, bool exists = true) const
    {
        if (exists) {
            WriteFile(m_dir.File(name), {});
        }
        return QString::fromStdString(m_dir.File(name));
    }
    // Waits until `count` thumbnails have arrived since the spy was made.
    static void WaitFor(QSignalSpy& ready, int count)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return ready.count() >= count; }));
        EXPECT_EQ(ready.count(), count);
    }
    static bool Same(const QPixmap& left, const QPixmap& right) { return left.toImage() == right.toImage(); }

    TempDir m_dir;
    HeldReader m_reader;
};

TEST_F(ThumbnailsTest, PlaceholdersUntilReadThenThePictureWithoutEverWaiting)
{
    ThumbnailCache cache(m_reader.Reader());
    QSignalSpy ready(&cache, &ThumbnailCache::Ready);
    m_reader.Hold();
    const QString picture = Path("a.bmp"), unreadable = Path("bad.bmp"), missing = Path("gone.bmp", false);
    QElapsedTimer clock;
    clock.start();
    for (int round = 0; round < 5; ++round) {  // asked again while loading: read once
        for (const QString& path : {picture, unreadable, missing}) {
            EXPECT_TRUE(Same(cache.Thumbnail(path), cache.PlaceholderPixmap(Placeholder::Loading)));
        }
    }
    EXPECT_LT(clock.elapsed(), 500) << "the reader is held: asking must not wait for it";
    m_reader.Release();
    WaitFor(ready, 3);
    auto asked = m_reader.Asked();
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked, (std::vector<std::string>{"a.bmp", "bad.bmp"})) << "a missing file is not read";

    const QImage thumbnail = cache.Thumbnail(picture).toImage();
    EXPECT_EQ(thumbnail.size(), QSize(64, 32)) << "fits the box, aspect kept";
    EXPECT_EQ(thumbnail.pixel(32, 16), qRgb(0x40, 0x40, 0x40));
    EXPECT_TRUE(Same(cache.Thumbnail(unreadable), cache.PlaceholderPixmap(Placeholder::Unreadable)));
    EXPECT_TRUE(Same(cache.Thumbnail(missing), cache.PlaceholderPixmap(Placeholder::Missing)));
    // The preview's pictures, scaled: white inside a border of their own colour.
    const std::pair<Placeholder, QRgb> borders[] = {
        {Placeholder::Loading, qRgb(192, 192, 192)},
        {Placeholder::Missing, qRgb(255, 0, 0)},
        {Placeholder::Unreadable, qRgb(255, 0, 255)},
    };
    for (const auto& [kind, border] : borders) {
        const QImage shown = cache.PlaceholderPixmap(kind).toImage();
        EXPECT_EQ(shown.size(), QSize(64, 32));
        EXPECT_EQ(shown.pixel(0, 0), border);
        EXPECT_EQ(shown.pixel(4, 16), qRgb(255, 255, 255));
    }
    EXPECT_EQ(ready.count(), 3) << "nothing read again";
}

TEST_F(ThumbnailsTest, LeastRecentlyUsedGoFirst)
{
    ThumbnailCache cache(m_reader.Reader());
    cache.SetThreadCount(1);
    cache.SetCapacity(2 * 64 * 32 * 4);  // two thumbnails
    QSignalSpy ready(&cache, &ThumbnailCache::Ready);
    const QString a = Path("a.bmp"), b = Path("b.bmp"), c = Path("c.bmp");
    cache.Thumbnail(a);
    cache.Thumbnail(b);
    WaitFor(ready, 2);
    EXPECT_FALSE(Same(cache.Thumbnail(a), cache.PlaceholderPixmap(Placeholder::Loading)));  // a used after b
    cache.Thumbnail(c);
    WaitFor(ready, 3);
    EXPECT_FALSE(Same(cache.Thumbnail(a), cache.PlaceholderPixmap(Placeholder::Loading)));
    EXPECT_FALSE(Same(cache.Thumbnail(c), cache.PlaceholderPixmap(Placeholder::Loading)));
    EXPECT_TRUE(Same(cache.Thumbnail(b), cache.PlaceholderPixmap(Placeholder::Loading))) << "b was dropped";
    WaitFor(ready, 4);
    EXPECT_EQ(m_reader.Asked(), (std::vector<std::string>{"a.bmp", "b.bmp", "c.bmp", "b.bmp"}));
}

TEST_F(ThumbnailsTest, NewestRequestsFirstAndOnlySoManyWait)
{
    auto cache = std::make_unique<ThumbnailCache>(m_reader.Reader());
    cache->SetThreadCount(1);
    cache->SetPendingLimit(3);
    QSignalSpy ready(cache.get(), &ThumbnailCache::Ready);
    m_reader.Hold();
    for (int line = 0; line < 7; ++line) {
        cache->Thumbnail(Path("p" + std::to_string(line) + ".bmp"));
    }
    cache->Thumbnail(Path("p5.bmp"));  // painted again: to the front
    m_reader.Release();
    WaitFor(ready, 4);
    EXPECT_EQ(m_reader.Asked(), (std::vector<std::string>{"p0.bmp", "p5.bmp", "p6.bmp", "p4.bmp"}));

    // Going away while a read is under way: it waits for that read and starts no other.
    m_reader.Hold();
    for (const char* name : {"q0.bmp", "q1.bmp", "q2.bmp"}) {
        cache->Thumbnail(Path(name));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_reader.Asked().size() == 5; }));
    std::thread release([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        m_reader.Release();
    });
    cache.reset();
    release.join();
    EXPECT_EQ(m_reader.Asked().size(), 5U);
    EXPECT_EQ(m_reader.Asked().back(), "q0.bmp");
}

// Counts the viewport's paints that cover a rectangle.
class PaintCounter : public QObject {
public:
    PaintCounter(QWidget* viewport, QRect rect) : m_rect(rect) { viewport->installEventFilter(this); }
    int Count = 0;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && static_cast<QPaintEvent*>(event)->region().contains(m_rect)) {
            ++Count;
        }
        return false;
    }

private:
    QRect m_rect;
};

TEST_F(ThumbnailsTest, ALongListAsksOnlyForThePaintedLines)
{
    ThumbnailCache cache(m_reader.Reader());
    QSignalSpy ready(&cache, &ThumbnailCache::Ready);
    QListWidget list;
    list.setUniformItemSizes(true);
    for (int line = 0; line < 10000; ++line) {
        const std::string name = "f" + std::to_string(line) + ".bmp";
        auto* item = new QListWidgetItem(QString::fromStdString(name), &list);
        item->setData(ui::ThumbnailDelegate::kPathRole, Path(name, line == 0));  // the others are missing
    }
    auto* delegate = new ui::ThumbnailDelegate(cache, &list);
    list.setItemDelegate(delegate);
    list.resize(200, 300);
    m_reader.Hold();
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    const QRect first = list.visualRect(list.model()->index(0, 0));
    EXPECT_GE(first.height(), 48);
    int shown = 0;
    while (list.visualRect(list.model()->index(shown, 0)).top() < list.viewport()->height()) {
        ++shown;
    }
    WaitFor(ready, shown - 1);  // all but the held first line
    QTest::qWait(50);
    PaintCounter paints(list.viewport(), first);
    m_reader.Release();
    WaitFor(ready, shown);
    QTest::qWait(50);
    EXPECT_EQ(ready.count(), shown) << "the lines out of sight are not read";
    EXPECT_EQ(paints.Count, 1) << "the first line is painted again with its thumbnail";

    list.scrollToBottom();
    const QString last = Path("f9999.bmp", false);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return std::any_of(ready.begin(), ready.end(), [&](const auto& signal) { return signal.at(0) == last; });
    }));
    QTest::qWait(100);  // the rest of the page
    EXPECT_LE(ready.count(), 2 * shown + 1);

    delegate->SetEnabled(false);
    QApplication::processEvents();
    EXPECT_LT(list.visualRect(list.model()->index(9999, 0)).height(), 48);
    const auto before = ready.count();
    cache.Forget(last);
    list.viewport()->repaint();
    QTest::qWait(50);
    EXPECT_EQ(ready.count(), before) << "plain lines read nothing";
}

}  // namespace
}  // namespace kinetar::test
