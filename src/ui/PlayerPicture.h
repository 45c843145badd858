#pragma once

#include <QImage>
#include <QWidget>

namespace kinetar::ui {

// The frame on screen, drawn as large as the widget allows, aspect kept, on black.
class PlayerPicture : public QWidget {
public:
    PlayerPicture();
    void SetImage(const QImage& image);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
};

}  // namespace kinetar::ui
