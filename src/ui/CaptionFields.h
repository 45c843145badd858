#pragma once

#include <QObject>
#include <QString>
#include <optional>
#include <vector>

#include "project/TextRecords.h"
#include "session/ProjectSession.h"
#include "ui/UiServices.h"

class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace kinetar::ui {

// The details panel's words: the caption of the selected pictures (or of selected caption lines),
// its style dialog and the words filled in when the video is made; and for a selected title card,
// the button that edits its words. The panel places the widgets and saves the caption with its other
// fields; a title's dialog saves at once, as one step.
class CaptionFields : public QObject {
    Q_OBJECT

public:
    CaptionFields(session::ProjectSession& session, const UiServices& services, QWidget* dialogParent);

    QLabel* Label() const { return m_label; }
    // The caption field with its buttons beside it.
    QWidget* Row() const { return m_row; }
    QPlainTextEdit* Field() const { return m_field; }
    QPushButton* TitleButton() const { return m_titleButton; }

    // Fills the fields from these lines without taking it for an edit.
    void Show(const QList<int>& rows);
    // What saving writes: nothing while the user has changed neither the words nor the style.
    std::optional<session::CaptionEdit> Edit() const;
    // The caption the preview draws on the picture with the focus, pending edits included.
    std::optional<project::Caption> Shown() const;

    void OnStyleClicked();
    void OnTitleClicked();

signals:
    // The user typed words or chose a style.
    void Edited();
    // The title's window was closed, saved or not: the details are filled again.
    void TitleEdited();

private:
    void InsertWord(const QString& word);

    session::ProjectSession& m_session;
    const UiServices& m_services;
    QWidget* m_dialogParent;
    // What the selection holds: the first caption's looks (a new caption's when none), whether
    // the words differ among them.
    project::Caption m_first;
    bool m_hasCaption = false;
    bool m_various = false;
    bool m_filling = false;
    bool m_textEdited = false;
    std::optional<project::Caption> m_style;
    int m_title = -1;  // the one selected title card's line

    QLabel* m_label = nullptr;
    QWidget* m_row = nullptr;
    QPlainTextEdit* m_field = nullptr;
    QPushButton* m_styleButton = nullptr;
    QPushButton* m_wordsButton = nullptr;
    QMenu* m_wordsMenu = nullptr;
    QPushButton* m_titleButton = nullptr;
};

}  // namespace kinetar::ui
