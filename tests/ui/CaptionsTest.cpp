#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "UiTest.h"
#include "project/ProjectFile.h"
#include "project/TextRecords.h"
#include "support/BmpBuilder.h"
#include "support/RgbImage.h"
#include "ui/FrameList.h"

namespace kinetar::test {
namespace {

using project::Caption;

// A project written as words, as the list's records read back: a file name for a picture, "c:WORDS"
// for a caption, "t:WORDS" for a title.
std::string Describe(const project::FrameRecord& record)
{
    if (project::IsCaptionRecord(record)) {
        return "c:" + project::GetCaption(record).Text;
    }
    if (project::IsTitleRecord(record)) {
        return "t:" + project::GetTitle(record).Text;
    }
    return std::filesystem::path(project::GetText(record.PictureFileName)).filename().string();
}

class CaptionsTest : public UiTest {
protected:
    // A 320x240 project of black pictures "a.bmp", "b.bmp"...; "c:WORDS" puts a caption record in.
    std::unique_ptr<ui::MainWindow> OpenLayout(const std::vector<std::string>& layout)
    {
        project::ProjectHeader header = project::NewProjectHeader();
        header.Width = 320;
        header.Height = 240;
        std::vector<project::FrameRecord> records;
        for (const std::string& word : layout) {
            if (word.rfind("c:", 0) == 0) {
                Caption caption;
                caption.Text = word.substr(2);
                caption.Position = project::TextPosition::TopLeft;  // a style the edits must keep
                records.push_back(project::NewCaptionRecord(caption));
            } else {
                WriteFile(File(word), Bmp24(SolidImage(320, 240, 0x000000)));
                records.push_back(project::NewFrameRecord(File(word)));
            }
        }
        project::ReplaceProjectFile(File("p.AVIprj"), header, records);
        auto window = Window({QPath("p.AVIprj")});
        window->resize(1000, 900);
        QApplication::processEvents();
        return window;
    }
    static std::vector<std::string> Layout(const ui::MainWindow& window)
    {
        std::vector<project::FrameRecord> records;
        project::ReadProject(window.WorkingCopyPath(), &records);
        std::vector<std::string> words;
        for (const auto& record : records) {
            words.push_back(Describe(record));
        }
        return words;
    }
    static std::vector<Caption> Captions(const ui::MainWindow& window)
    {
        std::vector<project::FrameRecord> records;
        project::ReadProject(window.WorkingCopyPath(), &records);
        std::vector<Caption> captions;
        for (const auto& record : records) {
            if (project::IsCaptionRecord(record)) {
                captions.push_back(project::GetCaption(record));
            }
        }
        return captions;
    }
    // How many pixels of the preview are light: words over the black pictures.
    static int LightPixels(const ui::MainWindow& window)
    {
        const QImage image = Find<QLabel>(window, "Image_Preview")->pixmap().toImage();
        int light = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                light += qGray(image.pixel(x, y)) > 128 ? 1 : 0;
            }
        }
        return light;
    }
    static QPlainTextEdit* Field(const ui::MainWindow& window) { return Find<QPlainTextEdit>(window, "ed_Caption"); }
    static void Save(const ui::MainWindow& window) { Find<QPushButton>(window, "bt_UlozitZmeny")->click(); }
    // Undoes one step and expects the working copy as it was.
    static void ExpectOneUndoStep(ui::MainWindow& window, const std::vector<std::uint8_t>& before)
    {
        Trigger(window, "menu_Zpet");
        EXPECT_EQ(ReadFile(window.WorkingCopyPath()), before);
    }
};

TEST_F(CaptionsTest, TheCaptionFieldPutsInChangesAndTakesOutACaptionRecordAsOneStep)
{
    struct Row {
        const char* name;
        std::vector<std::string> layout;
        std::vector<int> selected;
        const char* shown;  // what the field shows
        const char* typed;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"words on a picture without a caption", {"a.bmp", "b.bmp"}, {1}, "", "Hello", {"a.bmp", "c:Hello", "b.bmp"}},
        {"words on the first picture", {"a.bmp", "b.bmp"}, {0}, "", "First", {"c:First", "a.bmp", "b.bmp"}},
        {"new words", {"a.bmp", "c:Old", "b.bmp"}, {2}, "Old", "New", {"a.bmp", "c:New", "b.bmp"}},
        {"cleared words", {"a.bmp", "c:Old", "b.bmp"}, {2}, "Old", "", {"a.bmp", "b.bmp"}},
        {"a caption line edits itself",
         {"a.bmp", "c:Old", "b.bmp"},
         {1},
         "Old",
         "Two\nlines",
         {"a.bmp", "c:Two\nlines", "b.bmp"}},
        {"a cleared caption line goes", {"c:Old", "a.bmp"}, {0}, "Old", "", {"a.bmp"}},
        {"cleared words take every caption of the picture", {"c:One", "c:Two", "a.bmp"}, {2}, "One", "", {"a.bmp"}},
        {"new words change the first caption only",
         {"c:One", "c:Two", "a.bmp"},
         {2},
         "One",
         "Uno",
         {"c:Uno", "c:Two", "a.bmp"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto window = OpenLayout(row.layout);
        Select(*window, row.selected);
        EXPECT_EQ(Field(*window)->toPlainText().toStdString(), row.shown);
        const auto before = ReadFile(window->WorkingCopyPath());
        Field(*window)->setPlainText(QString::fromStdString(row.typed));
        Save(*window);
        EXPECT_EQ(Layout(*window), row.expected);
        EXPECT_EQ(Lines(*window).size(), static_cast<qsizetype>(row.expected.size()));
        for (const Caption& caption : Captions(*window)) {
            // A new caption starts at the bottom; an edited one keeps its place.
            EXPECT_EQ(caption.Position,
                      std::string(row.shown).empty() ? project::TextPosition::Bottom : project::TextPosition::TopLeft);
        }
        // The details still show the picture they showed, with its new words.
        EXPECT_EQ(Field(*window)->toPlainText().toStdString(), row.typed);
        ExpectOneUndoStep(*window, before);
        EXPECT_EQ(Layout(*window), row.layout);
    }
}

// Words too long for a record are refused before anything is written; the edit stays open.
TEST_F(CaptionsTest, WordsTooLongToStoreAreRefusedAndNothingChanges)
{
    auto window = OpenLayout({"a.bmp", "c:Old", "b.bmp"});
    Select(*window, {0, 2});
    const auto before = ReadFile(window->WorkingCopyPath());
    Field(*window)->setPlainText(QString(261, QLatin1Char('x')));
    Answer({QMessageBox::Ok});
    Save(*window);
    EXPECT_EQ(TakeOnlyAsked(),
              "The caption is 261 bytes long; together they may take up to 259 bytes, a text alone 260.");
    EXPECT_EQ(ReadFile(window->WorkingCopyPath()), before);
    EXPECT_TRUE(window->Session().PendingChanges());
    EXPECT_FALSE(window->Session().History().CanUndo());
}

TEST_F(CaptionsTest, SeveralPicturesTakeOneCaptionEditTogether)
{
    auto window = OpenLayout({"a.bmp", "c:Mine", "b.bmp", "c.bmp"});
    Select(*window, {0, 2, 3});
    EXPECT_EQ(Field(*window)->toPlainText(), QString());
    EXPECT_EQ(Field(*window)->placeholderText(), "various");
    const auto before = ReadFile(window->WorkingCopyPath());

    // The style alone: each caption keeps its words, and a picture without words gets none.
    Caption style;
    style.Position = project::TextPosition::Middle;
    style.Size = 80;
    style.Style = project::Readability::Box;
    m_captionStyleAnswer = style;
    Find<QPushButton>(*window, "bt_CaptionStyle")->click();
    ASSERT_EQ(m_captionStylesShown.size(), 1U);
    EXPECT_EQ(m_captionStylesShown[0].Text, "");  // the first picture has no caption yet
    Save(*window);
    EXPECT_EQ(Layout(*window), (std::vector<std::string>{"a.bmp", "c:Mine", "b.bmp", "c.bmp"}));
    Caption kept = style;
    kept.Text = "Mine";
    EXPECT_EQ(Captions(*window), std::vector<Caption>{kept});
    const auto styled = ReadFile(window->WorkingCopyPath());

    // The words alone: every selected picture gets them, the edited caption keeps its style.
    Select(*window, {0, 2, 3});
    Field(*window)->setPlainText("Trip {index}");
    Save(*window);
    EXPECT_EQ(Layout(*window), (std::vector<std::string>{"c:Trip {index}", "a.bmp", "c:Trip {index}", "b.bmp",
                                                         "c:Trip {index}", "c.bmp"}));
    const std::vector<Caption> captions = Captions(*window);
    ASSERT_EQ(captions.size(), 3U);
    EXPECT_EQ(captions[1].Position, project::TextPosition::Middle);
    EXPECT_EQ(captions[0].Position, project::TextPosition::Bottom);
    // The same pictures stay selected, on their new lines.
    EXPECT_EQ(window->Session().Selection().Rows, (QList<int>{1, 3, 5}));

    ExpectOneUndoStep(*window, styled);
    ExpectOneUndoStep(*window, before);
}

TEST_F(CaptionsTest, TheWordsMenuPutsATemplateWordAtTheCursor)
{
    auto window = OpenLayout({"a.bmp"});
    Select(*window, {0});
    QPlainTextEdit* field = Field(*window);
    field->setPlainText("Taken  here");
    QTextCursor cursor = field->textCursor();
    cursor.setPosition(6);
    field->setTextCursor(cursor);
    auto* menu = Find<QMenu>(*window, "captionWordsMenu");
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 4);
    actions[0]->trigger();
    EXPECT_EQ(field->toPlainText(), "Taken {date} here");
    EXPECT_EQ(window->focusWidget(), field);
    EXPECT_TRUE(window->Session().PendingChanges());
}

// The preview draws the words as the video will, before they are saved.
TEST_F(CaptionsTest, ThePreviewShowsTheCaptionAsItIsTyped)
{
    auto window = OpenLayout({"a.bmp"});
    Select(*window, {0});
    const auto lightPixels = [&] { return LightPixels(*window); };
    EXPECT_EQ(lightPixels(), 0);
    Field(*window)->setPlainText("HI");
    EXPECT_GT(lightPixels(), 10);
    Field(*window)->setPlainText("");
    EXPECT_EQ(lightPixels(), 0);
}

// A caption's own line shows the picture it goes on, with its words.
TEST_F(CaptionsTest, ACaptionLineShowsThePictureItGoesOnWithItsWords)
{
    auto window = OpenLayout({"c:HELLO", "a.bmp"});
    Select(*window, {0});
    EXPECT_GT(LightPixels(*window), 10);
    Select(*window, {1});
    EXPECT_GT(LightPixels(*window), 10);
}

TEST_F(CaptionsTest, AddTitlePutsACardBeforeTheSelectedPictureAndItsCaption)
{
    struct Row {
        const char* name;
        std::vector<int> selected;
        bool answered;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"before a captioned picture", {2}, true, {"a.bmp", "t:Our trip", "c:Sea", "b.bmp"}},
        {"before the first picture", {0}, true, {"t:Our trip", "a.bmp", "c:Sea", "b.bmp"}},
        {"at the end when nothing is selected", {}, true, {"a.bmp", "c:Sea", "b.bmp", "t:Our trip"}},
        {"nothing when cancelled", {2}, false, {"a.bmp", "c:Sea", "b.bmp"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto window = OpenLayout({"a.bmp", "c:Sea", "b.bmp"});
        Select(*window, row.selected);
        window->Frames().setFocus();
        const auto before = ReadFile(window->WorkingCopyPath());
        m_titleAnswer.reset();
        if (row.answered) {
            m_titleAnswer = ui::TitleChoices{{"Our trip", "June 2024", {0x20, 0x30, 0x40}, false, {}}, 2500};
        }
        Trigger(*window, "addTitleAction");
        EXPECT_EQ(Layout(*window), row.expected);
        EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(&window->Frames()));
        if (!row.answered) {
            EXPECT_EQ(ReadFile(window->WorkingCopyPath()), before);
            continue;
        }
        std::vector<project::FrameRecord> records;
        project::ReadProject(window->WorkingCopyPath(), &records);
        const auto title = std::find_if(records.begin(), records.end(), project::IsTitleRecord);
        ASSERT_NE(title, records.end());
        EXPECT_EQ(project::GetTitle(*title), m_titleAnswer->Title);
        EXPECT_EQ(title->Duration, 2500U);
        // The new card is selected, its line says what it is.
        const int line = static_cast<int>(title - records.begin());
        EXPECT_EQ(window->Session().Selection().Rows, QList<int>{line});
        EXPECT_EQ(Lines(*window)[line], "Title: Our trip / June 2024");
        ExpectOneUndoStep(*window, before);
    }
}

TEST_F(CaptionsTest, ASelectedTitleCardsWordsAndTimeAreEditedThroughItsDialog)
{
    auto window = OpenLayout({"a.bmp"});
    m_titleAnswer = ui::TitleChoices{{"Start", "", {0, 0, 0}, false, {}}, 3000};
    Select(*window, {0});
    Trigger(*window, "addTitleAction");
    Select(*window, {0});
    auto* edit = Find<QPushButton>(*window, "bt_EditTitle");
    EXPECT_TRUE(edit->isVisible());
    EXPECT_FALSE(Find<QWidget>(*window, "ed_PictFileName")->isEnabled());
    const auto before = ReadFile(window->WorkingCopyPath());
    m_titleAnswer = ui::TitleChoices{{"The end", "Thanks", {255, 255, 255}, true, {"Serif", true, false}}, 1500};
    edit->setFocus();
    edit->click();
    EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(&window->Frames()));
    ASSERT_EQ(m_titlesShown.size(), 2U);
    EXPECT_EQ(m_titlesShown[1].Title.Text, "Start");
    EXPECT_EQ(m_titlesShown[1].Duration, 3000U);
    std::vector<project::FrameRecord> records;
    project::ReadProject(window->WorkingCopyPath(), &records);
    ASSERT_EQ(records.size(), 2U);
    EXPECT_EQ(project::GetTitle(records[0]), m_titleAnswer->Title);
    EXPECT_EQ(records[0].Duration, 1500U);
    EXPECT_EQ(Lines(*window)[0], "Title: The end / Thanks");
    ExpectOneUndoStep(*window, before);
    // While the fields hold an edit, the title's window waits for it to be saved or cancelled.
    Find<QLineEdit>(*window, "ed_DobaZobrazeni")->setText("9");
    EXPECT_FALSE(edit->isEnabled());
    Find<QPushButton>(*window, "bt_ZrusitZmeny")->click();
    EXPECT_TRUE(edit->isEnabled());
    // A picture has no title to edit.
    Select(*window, {1});
    EXPECT_FALSE(edit->isVisible());
}

TEST_F(CaptionsTest, APictureMovesAndGoesWithItsCaption)
{
    auto window = OpenLayout({"c:A", "a.bmp", "c:B", "b.bmp", "c.bmp"});
    Select(*window, {3});
    const auto before = ReadFile(window->WorkingCopyPath());
    QTest::keyClick(&window->Frames(), Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(Layout(*window), (std::vector<std::string>{"c:B", "b.bmp", "c:A", "a.bmp", "c.bmp"}));
    EXPECT_EQ(window->Session().Selection().Rows, QList<int>{1});
    ExpectOneUndoStep(*window, before);

    // Dropped between a caption and its picture, a picture goes in front of the caption.
    Select(*window, {4});
    window->Frames().MoveSelectedTo(3);
    EXPECT_EQ(Layout(*window), (std::vector<std::string>{"c:A", "a.bmp", "c.bmp", "c:B", "b.bmp"}));
    ExpectOneUndoStep(*window, before);

    // Removed, a picture takes its caption along rather than leave it on the next one.
    Select(*window, {1});
    Answer({QMessageBox::Yes});
    Trigger(*window, "menu_Snimek_Odebrat");
    EXPECT_EQ(Layout(*window), (std::vector<std::string>{"c:B", "b.bmp", "c.bmp"}));
    ExpectOneUndoStep(*window, before);
}

TEST_F(CaptionsTest, EveryCaptionControlIsReachedByTabAndTheFieldByItsKey)
{
    auto window = OpenLayout({"a.bmp"});
    Select(*window, {0});
    QWidget* name = Find<QWidget>(*window, "ed_PictFileName");
    name->setFocus();
    QStringList reached;
    for (int step = 0; step < 60 && reached.size() < 3; ++step) {
        QWidget* now = QApplication::focusWidget();
        QTest::keyClick(now, Qt::Key_Tab);
        const QString at = QApplication::focusWidget()->objectName();
        if (at == "ed_Caption" || at == "bt_CaptionStyle" || at == "bt_CaptionWords") {
            reached << at;
        }
    }
    EXPECT_EQ(reached, (QStringList{"ed_Caption", "bt_CaptionStyle", "bt_CaptionWords"}));
    window->Frames().setFocus();
    QTest::keyClick(window.get(), Qt::Key_O, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), Field(*window));
    // Enter in the field starts a new line rather than leaving it.
    QTest::keyClicks(Field(*window), "a");
    QTest::keyClick(Field(*window), Qt::Key_Return);
    QTest::keyClicks(Field(*window), "b");
    EXPECT_EQ(Field(*window)->toPlainText(), "a\nb");
}

}  // namespace
}  // namespace kinetar::test
