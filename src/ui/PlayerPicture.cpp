#include "ui/PlayerPicture.h"

#include <QPainter>

namespace kinetar::ui {

PlayerPicture::PlayerPicture()
{
    setObjectName(QStringLiteral("PlayerPicture"));
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(32, 18);
}

void PlayerPicture::SetImage(const QImage& image)
{
    m_image = image;
    update();
}

void PlayerPicture::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (m_image.isNull()) {
        return;
    }
    const QSize shown = m_image.size().scaled(size(), Qt::KeepAspectRatio);
    painter.drawImage(QRect(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown), m_image);
}

}  // namespace kinetar::ui
