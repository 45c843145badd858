#pragma once

#include <QDialog>

namespace kinetar::ui {

// What the program is and which pictures it reads.
class AboutWindow : public QDialog {
    Q_OBJECT

public:
    explicit AboutWindow(QWidget* parent = nullptr);
};

}  // namespace kinetar::ui
