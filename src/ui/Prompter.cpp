#include "ui/Prompter.h"

#include <QPushButton>

namespace kinetar::ui {

namespace {

std::unique_ptr<Prompter>& Installed()
{
    static std::unique_ptr<Prompter> prompter = std::make_unique<Prompter>();
    return prompter;
}

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

}  // namespace

QMessageBox::StandardButton Prompter::Ask(QWidget* parent, const Prompt& prompt)
{
    QMessageBox box(prompt.Icon, prompt.Caption,
                    QString(prompt.Text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), prompt.Buttons, parent);
    for (QAbstractButton* button : box.buttons()) {
        button->setText(ButtonText(box.standardButton(button)));
    }
    if (prompt.Buttons.testFlag(QMessageBox::Cancel)) {
        box.setEscapeButton(QMessageBox::Cancel);
    } else if (prompt.Buttons.testFlag(QMessageBox::No)) {
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setEscapeButton(QMessageBox::Ok);
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

Prompter& Prompter::Current()
{
    return *Installed();
}

std::unique_ptr<Prompter> Prompter::Replace(std::unique_ptr<Prompter> prompter)
{
    if (!prompter) {
        prompter = std::make_unique<Prompter>();
    }
    std::swap(prompter, Installed());
    return prompter;
}

}  // namespace kinetar::ui
