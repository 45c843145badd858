#include "ui/Prompter.h"

#include <QApplication>
#include <QGridLayout>
#include <QPushButton>
#include <QSpacerItem>

namespace kinetar::ui {

namespace {

// Each button gets an underlined letter, so a box can be answered from the keyboard alone.
QString ButtonText(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Yes:
        return QStringLiteral("&Yes");
    case QMessageBox::No:
        return QStringLiteral("&No");
    case QMessageBox::Cancel:
        return QStringLiteral("&Cancel");
    default:
        return QStringLiteral("&OK");
    }
}

// A box sized for a short text would cut its caption in the title bar; room for the caption and
// the title bar's buttons keeps it whole.
void MakeRoomForCaption(QMessageBox& box, const QString& caption)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr) {
        return;
    }
    QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    titleFont.setBold(true);
    const int width = QFontMetrics(titleFont).horizontalAdvance(caption) + 140;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

}  // namespace

QMessageBox::StandardButton ShowMessageBox(QWidget* parent, const Prompt& prompt)
{
    QMessageBox box(prompt.Icon, prompt.Caption,
                    QString(prompt.Text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), prompt.Buttons, parent);
    for (QAbstractButton* button : box.buttons()) {
        const auto standard = box.standardButton(button);
        button->setText(prompt.ButtonTexts.value(standard, ButtonText(standard)));
    }
    if (prompt.Default != QMessageBox::NoButton) {
        box.setDefaultButton(prompt.Default);
    }
    if (prompt.Buttons.testFlag(QMessageBox::Cancel)) {
        box.setEscapeButton(QMessageBox::Cancel);
    } else if (prompt.Buttons.testFlag(QMessageBox::No)) {
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setEscapeButton(QMessageBox::Ok);
    }
    MakeRoomForCaption(box, prompt.Caption);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace kinetar::ui
