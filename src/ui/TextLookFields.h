#pragma once

#include <QColor>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <cstdint>

#include "project/TextRecords.h"
#include "ui/UiServices.h"

class QCheckBox;
class QComboBox;

namespace kinetar::ui {

// A button that shows a colour and asks the services' colour dialog for another.
class ColourButton : public QPushButton {
    Q_OBJECT
public:
    ColourButton(const UiServices& services, const QString& name);
    QColor Colour() const { return m_colour; }
    void SetColour(const QColor& colour);
    project::Rgb Rgb() const;
    void SetRgb(const project::Rgb& rgb);

private:
    const UiServices& m_services;
    QColor m_colour = Qt::white;
};

// A font's family (empty: the default sans-serif face) and whether it is bold and italic. The
// families are those fontconfig lists; any other may be typed, and stands in as the text renders.
class FontFields : public QWidget {
    Q_OBJECT
public:
    explicit FontFields(const QString& namePrefix);
    project::FontChoice Font() const;
    void SetFont(const project::FontChoice& font);
    QComboBox* Family() const { return m_family; }

private:
    QComboBox* m_family = nullptr;
    QCheckBox* m_bold = nullptr;
    QCheckBox* m_italic = nullptr;
};

}  // namespace kinetar::ui
