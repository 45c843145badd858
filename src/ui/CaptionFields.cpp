#include "ui/CaptionFields.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>
#include <array>

#include "ui/CommandGuard.h"
#include "ui/FrameSummary.h"

namespace kinetar::ui {

namespace {

struct TemplateWord {
    const char* Word;
    const char* Meaning;
};
constexpr std::array<TemplateWord, 4> kTemplateWords{{
    {"{date}", "the day the photo was taken"},
    {"{name}", "the picture's file name"},
    {"{index}", "the picture's place, from 1"},
    {"{count}", "how many pictures there are"},
}};

}  // namespace

CaptionFields::CaptionFields(session::ProjectSession& session, const UiServices& services, QWidget* dialogParent)
    : m_session(session), m_services(services), m_dialogParent(dialogParent)
{
    m_field = new QPlainTextEdit;
    m_field->setObjectName(QStringLiteral("ed_Caption"));
    // Tab goes on to the next control, as in every other field; Enter starts a new line.
    m_field->setTabChangesFocus(true);
    m_field->setFixedHeight(m_field->fontMetrics().lineSpacing() * 3 + 12);
    m_field->setMinimumWidth(60);
    m_label = new QLabel(QStringLiteral("Capti&on:"));
    m_label->setBuddy(m_field);
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_styleButton = new QPushButton(QStringLiteral("St&yle..."));
    m_styleButton->setObjectName(QStringLiteral("bt_CaptionStyle"));
    m_wordsButton = new QPushButton(QStringLiteral("Auto te&xt"));
    m_wordsButton->setObjectName(QStringLiteral("bt_CaptionWords"));
    m_wordsButton->setToolTip(QStringLiteral("Words filled in for each picture when the video is made"));
    m_wordsMenu = new QMenu(m_wordsButton);
    m_wordsMenu->setObjectName(QStringLiteral("captionWordsMenu"));
    for (const TemplateWord& word : kTemplateWords) {
        const QString text = QString::fromLatin1(word.Word);
        QAction* action = m_wordsMenu->addAction(text + QStringLiteral("\t") + QString::fromLatin1(word.Meaning));
        connect(action, &QAction::triggered, this, [this, text] { InsertWord(text); });
    }
    m_wordsButton->setMenu(m_wordsMenu);
    m_titleButton = new QPushButton(QStringLiteral("Edit tit&le..."));
    m_titleButton->setObjectName(QStringLiteral("bt_EditTitle"));
    m_titleButton->hide();

    m_row = new QWidget;
    auto* row = new QHBoxLayout(m_row);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    row->addWidget(m_field, 1);
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(2);
    buttons->addWidget(m_styleButton);
    buttons->addWidget(m_wordsButton);
    buttons->addWidget(m_titleButton);
    buttons->addStretch(1);
    row->addLayout(buttons);

    connect(m_field, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_filling) {
            m_textEdited = true;
            emit Edited();
        }
    });
    connect(m_styleButton, &QPushButton::clicked, this,
            Guarded(m_dialogParent, m_services, [this] { OnStyleClicked(); }));
    connect(m_titleButton, &QPushButton::clicked, this,
            Guarded(m_dialogParent, m_services, [this] { OnTitleClicked(); }));
}

void CaptionFields::Show(const QList<int>& rows)
{
    m_filling = true;
    const auto endFilling = qScopeGuard([this] { m_filling = false; });
    const std::vector<std::optional<project::Caption>> captions = m_session.CaptionsOfSelection(rows);
    m_first = {};
    m_hasCaption = false;
    m_various = false;
    m_textEdited = false;
    m_style.reset();
    for (std::size_t i = 0; i < captions.size(); ++i) {
        const std::string text = captions[i] ? captions[i]->Text : std::string();
        if (i == 0) {
            m_first = captions[i].value_or(project::Caption{});
            m_first.Text = text;
            m_hasCaption = captions[i].has_value();
        } else if (text != m_first.Text) {
            m_various = true;
        }
    }
    const bool any = !captions.empty();
    m_field->setEnabled(any);
    m_styleButton->setEnabled(any);
    m_wordsButton->setEnabled(any);
    m_field->setPlaceholderText(m_various ? kDifferentValues : QString());
    m_field->setPlainText(m_various ? QString() : QString::fromStdString(m_first.Text));
    m_title = rows.size() == 1 && m_session.KindAt(rows.front()) == project::kTitleRecord ? rows.front() : -1;
    m_titleButton->setVisible(m_title >= 0);
}

std::optional<session::CaptionEdit> CaptionFields::Edit() const
{
    if (!m_textEdited && !m_style) {
        return std::nullopt;
    }
    session::CaptionEdit edit;
    if (m_textEdited) {
        edit.Text = m_field->toPlainText().toStdString();
    }
    edit.Style = m_style;
    return edit;
}

std::optional<project::Caption> CaptionFields::Shown() const
{
    project::Caption caption = m_style.value_or(m_first);
    caption.Text = m_various && !m_textEdited ? m_first.Text : m_field->toPlainText().toStdString();
    // The panel may be off for a moment while the selection changes: the field's own state counts.
    if (!m_field->isEnabledTo(m_row) || caption.Text.empty()) {
        return std::nullopt;
    }
    return caption;
}

void CaptionFields::InsertWord(const QString& word)
{
    m_field->insertPlainText(word);
    m_field->setFocus();
}

void CaptionFields::OnStyleClicked()
{
    const std::optional<project::Caption> chosen =
        m_services.AskCaptionStyle(m_dialogParent, m_services, m_style.value_or(m_first));
    m_styleButton->setFocus();
    if (chosen) {
        m_style = chosen;
        emit Edited();
    }
}

void CaptionFields::OnTitleClicked()
{
    const int row = m_title;
    const std::vector<project::FrameRecord> records = m_session.Records({row});
    if (row < 0 || records.empty() || !project::IsTitleRecord(records.front())) {
        return;
    }
    project::FrameRecord record = records.front();
    const std::optional<TitleChoices> chosen =
        m_services.AskTitle(m_dialogParent, m_services, {project::GetTitle(record), record.Duration});
    if (chosen) {
        project::SetTitle(record, chosen->Title);
        record.Duration = chosen->Duration;
        m_session.ReplaceRecords({row}, {record});
    }
    emit TitleEdited();
}

}  // namespace kinetar::ui
