#include "ui/ViewRectangles.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <utility>

namespace kinetar::ui {

namespace {

// How near a corner the pointer grabs it, in the widget's pixels.
constexpr double kCornerReach = 6.0;
// One wheel notch or key press makes the view this much closer or farther.
constexpr double kZoomStep = 1.1;
// One arrow press moves the view's centre by this fraction of the picture.
constexpr double kMoveStep = 0.01;

const QColor kStartColour(0x2e, 0xcc, 0x40);
const QColor kEndColour(0xff, 0x85, 0x1b);

// Where views of this size may lie along one side of the picture (see FramedView).
std::pair<double, double> Reach(double pictureSize, double viewSize)
{
    if (viewSize <= pictureSize) {
        return {0.0, pictureSize};
    }
    return {std::max(-viewSize / 2, pictureSize - viewSize), std::min(pictureSize - viewSize / 2, 0.0) + viewSize};
}

}  // namespace

avi::ViewRect MotionCanvas(project::FitMode mode, QSize picture, QSize video)
{
    // The fit's own view is the largest: a closer one is smaller and reaches no farther.
    const avi::ViewRect fit = avi::FitView(mode, picture.width(), picture.height(), video.width(), video.height());
    const auto [left, right] = Reach(picture.width(), fit.Width);
    const auto [top, bottom] = Reach(picture.height(), fit.Height);
    return {left, top, right - left, bottom - top};
}

ViewRectangles::ViewRectangles(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MotionViews"));
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Start and end views"));
    setToolTip(
        QStringLiteral("Drag a view to move it; drag a corner or turn the wheel to resize it.\n"
                       "Keyboard: arrows move, + and - resize, Space switches between start and end."));
}

void ViewRectangles::SetPlane(project::FitMode mode, QSize picture, QSize video, const avi::ViewRect& canvas)
{
    m_mode = mode;
    m_picture = picture;
    m_video = video;
    m_canvas = canvas;
    m_chosen = Start;
    update();
}

void ViewRectangles::SetViews(const std::optional<project::Framing>& start, const std::optional<project::Framing>& end)
{
    m_views = {start, end};
    update();
}

QPointF ViewRectangles::ToPlane(QPointF point) const
{
    return {m_canvas.Left + point.x() * m_canvas.Width / std::max(width(), 1),
            m_canvas.Top + point.y() * m_canvas.Height / std::max(height(), 1)};
}

QPointF ViewRectangles::FromPlane(QPointF point) const
{
    if (m_canvas.Width <= 0 || m_canvas.Height <= 0) {
        return {};
    }
    return {(point.x() - m_canvas.Left) * width() / m_canvas.Width,
            (point.y() - m_canvas.Top) * height() / m_canvas.Height};
}

avi::ViewRect ViewRectangles::PlaneRect(View view) const
{
    const auto& framing = m_views[static_cast<std::size_t>(view)];
    if (!framing || m_picture.isEmpty() || m_video.isEmpty()) {
        return {};
    }
    return avi::FramedView(m_mode, m_picture.width(), m_picture.height(), m_video.width(), m_video.height(), *framing);
}

QRectF ViewRectangles::ShownRect(View view) const
{
    const avi::ViewRect rect = PlaneRect(view);
    if (rect.Width <= 0 || rect.Height <= 0) {
        return {};
    }
    return {FromPlane({rect.Left, rect.Top}), FromPlane({rect.Left + rect.Width, rect.Top + rect.Height})};
}

project::Framing ViewRectangles::FramingAround(QPointF centre, double zoom) const
{
    return {std::clamp(centre.x() / m_picture.width(), 0.0, 1.0), std::clamp(centre.y() / m_picture.height(), 0.0, 1.0),
            std::clamp(zoom, project::kMinZoom, project::kMaxZoom)};
}

void ViewRectangles::Change(View view, const project::Framing& framing)
{
    auto& held = m_views[static_cast<std::size_t>(view)];
    if (!held || *held == framing) {
        return;
    }
    held = framing;
    update();
    emit ViewChanged(view, framing);
}

std::optional<ViewRectangles::View> ViewRectangles::ViewAt(QPointF point) const
{
    const View other = m_chosen == Start ? End : Start;
    for (const View view : {m_chosen, other}) {
        if (ShownRect(view).adjusted(-kCornerReach, -kCornerReach, kCornerReach, kCornerReach).contains(point)) {
            return view;
        }
    }
    return std::nullopt;
}

void ViewRectangles::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The chosen view last, so it lies on top.
    const View other = m_chosen == Start ? End : Start;
    for (const View view : {other, m_chosen}) {
        const QRectF rect = ShownRect(view);
        if (rect.isEmpty()) {
            continue;
        }
        const QColor colour = view == Start ? kStartColour : kEndColour;
        const bool chosen = view == m_chosen;
        // A dark edge under the colour keeps the line visible over any picture.
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(0, 0, 0, 160), chosen ? 4.0 : 3.0));
        painter.drawRect(rect);
        painter.setPen(QPen(colour, chosen ? 2.0 : 1.0, view == Start ? Qt::SolidLine : Qt::DashLine));
        painter.drawRect(rect);
        if (chosen) {
            painter.setPen(QPen(Qt::black, 1.0));
            painter.setBrush(colour);
            for (const QPointF corner : {rect.topLeft(), rect.topRight(), rect.bottomLeft(), rect.bottomRight()}) {
                painter.drawRect(QRectF(corner - QPointF(3, 3), QSizeF(6, 6)));
            }
        }
        const QString name = view == Start ? QStringLiteral("Start") : QStringLiteral("End");
        const QRectF label = painter.fontMetrics().boundingRect(name).adjusted(-3, -1, 3, 1);
        const QRectF placed = label.translated(rect.topLeft() - label.topLeft() + QPointF(2, 2));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 160));
        painter.drawRect(placed);
        painter.setPen(colour);
        painter.drawText(placed, Qt::AlignCenter, name);
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette().highlight().color(), 1.0, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

void ViewRectangles::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPointF point = event->position();
    const std::optional<View> view = ViewAt(point);
    if (!view) {
        return;
    }
    m_chosen = *view;
    m_dragged = view;
    const QRectF shown = ShownRect(*view);
    const avi::ViewRect rect = PlaneRect(*view);
    m_resizing = false;
    // A corner grabbed resizes the view about the opposite corner.
    const std::pair<QPointF, QPointF> corners[] = {
        {shown.topLeft(), {rect.Left + rect.Width, rect.Top + rect.Height}},
        {shown.topRight(), {rect.Left, rect.Top + rect.Height}},
        {shown.bottomLeft(), {rect.Left + rect.Width, rect.Top}},
        {shown.bottomRight(), {rect.Left, rect.Top}},
    };
    for (const auto& [corner, opposite] : corners) {
        if (std::abs(point.x() - corner.x()) <= kCornerReach && std::abs(point.y() - corner.y()) <= kCornerReach) {
            m_resizing = true;
            m_grab = opposite;
            break;
        }
    }
    if (!m_resizing) {
        m_grab = QPointF(rect.Left + rect.Width / 2, rect.Top + rect.Height / 2) - ToPlane(point);
    }
    update();
}

void ViewRectangles::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragged || !m_views[static_cast<std::size_t>(*m_dragged)]) {
        return;
    }
    const View view = *m_dragged;
    const QPointF pointer = ToPlane(event->position());
    const double zoom = m_views[static_cast<std::size_t>(view)]->Zoom;
    if (!m_resizing) {
        Change(view, FramingAround(pointer + m_grab, zoom));
        return;
    }
    // The view keeps its shape: the larger of the two extents the pointer gives decides its size.
    const avi::ViewRect fit =
        avi::FitView(m_mode, m_picture.width(), m_picture.height(), m_video.width(), m_video.height());
    const double wanted =
        std::max(std::abs(pointer.x() - m_grab.x()), std::abs(pointer.y() - m_grab.y()) * fit.Width / fit.Height);
    const double closer = std::clamp(fit.Width / std::max(wanted, 1e-9), project::kMinZoom, project::kMaxZoom);
    const double towardsX = pointer.x() >= m_grab.x() ? 0.5 : -0.5;
    const double towardsY = pointer.y() >= m_grab.y() ? 0.5 : -0.5;
    const QPointF centre(m_grab.x() + towardsX * fit.Width / closer, m_grab.y() + towardsY * fit.Height / closer);
    Change(view, FramingAround(centre, closer));
}

void ViewRectangles::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragged.reset();
    }
}

void ViewRectangles::wheelEvent(QWheelEvent* event)
{
    const View view = ViewAt(event->position()).value_or(m_chosen);
    const auto& framing = m_views[static_cast<std::size_t>(view)];
    if (!framing || m_picture.isEmpty() || event->angleDelta().y() == 0) {
        event->ignore();
        return;
    }
    m_chosen = view;
    // Turned away from the user: closer, as a picture viewer zooms.
    const double notches = event->angleDelta().y() / 120.0;
    const avi::ViewRect rect = PlaneRect(view);
    Change(view, FramingAround({rect.Left + rect.Width / 2, rect.Top + rect.Height / 2},
                               framing->Zoom * std::pow(kZoomStep, notches)));
    update();
    event->accept();
}

void ViewRectangles::keyPressEvent(QKeyEvent* event)
{
    const auto& framing = m_views[static_cast<std::size_t>(m_chosen)];
    if (event->key() == Qt::Key_Space) {
        m_chosen = m_chosen == Start ? End : Start;
        update();
        return;
    }
    if (!framing || m_picture.isEmpty()) {
        QWidget::keyPressEvent(event);
        return;
    }
    // From where the view is drawn, which may differ from its stored centre near an edge.
    const avi::ViewRect rect = PlaneRect(m_chosen);
    QPointF centre(rect.Left + rect.Width / 2, rect.Top + rect.Height / 2);
    double zoom = framing->Zoom;
    const double stepX = kMoveStep * m_picture.width();
    const double stepY = kMoveStep * m_picture.height();
    switch (event->key()) {
    case Qt::Key_Left:
        centre.rx() -= stepX;
        break;
    case Qt::Key_Right:
        centre.rx() += stepX;
        break;
    case Qt::Key_Up:
        centre.ry() -= stepY;
        break;
    case Qt::Key_Down:
        centre.ry() += stepY;
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoom *= kZoomStep;
        break;
    case Qt::Key_Minus:
        zoom /= kZoomStep;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    Change(m_chosen, FramingAround(centre, zoom));
}

}  // namespace kinetar::ui
