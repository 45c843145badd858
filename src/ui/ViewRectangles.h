#pragma once

#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QWidget>
#include <array>
#include <optional>

#include "avi/frames/MovingView.h"
#include "project/Motion.h"
#include "project/Slideshow.h"

namespace kinetar::ui {

// The part of a picture's plane that holds the picture and every view its fit allows at any centre
// and zoom, so a view never leaves the preview and the preview holds still while views move.
avi::ViewRect MotionCanvas(project::FitMode mode, QSize picture, QSize video);

// The start and end views of a custom motion, drawn over the preview of the whole picture. A view
// is moved by dragging it, resized by dragging a corner or by the wheel; with the keyboard, the
// arrows move the chosen view, + and - resize it and Space chooses the other one.
class ViewRectangles : public QWidget {
    Q_OBJECT

public:
    enum View { Start, End };

    explicit ViewRectangles(QWidget* parent);

    // What the views are views of: the picture's size, the video's and its fit; the canvas is the
    // part of the picture's plane the widget shows.
    void SetPlane(project::FitMode mode, QSize picture, QSize video, const avi::ViewRect& canvas);
    // A view whose numbers the selected frames do not share is not drawn.
    void SetViews(const std::optional<project::Framing>& start, const std::optional<project::Framing>& end);
    // Where a view is drawn, in the widget's coordinates; empty while it is not drawn.
    QRectF ShownRect(View view) const;
    // The view the keyboard and the wheel outside both views act on.
    View Chosen() const { return m_chosen; }

signals:
    // The user moved or resized a view.
    void ViewChanged(View view, const project::Framing& framing);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPointF ToPlane(QPointF point) const;
    QPointF FromPlane(QPointF point) const;
    avi::ViewRect PlaneRect(View view) const;
    // The framing whose view is centred there at that zoom.
    project::Framing FramingAround(QPointF centre, double zoom) const;
    void Change(View view, const project::Framing& framing);
    // The view under the point, the chosen one first.
    std::optional<View> ViewAt(QPointF point) const;

    project::FitMode m_mode = project::FitMode::Letterbox;
    QSize m_picture;
    QSize m_video;
    avi::ViewRect m_canvas;
    std::array<std::optional<project::Framing>, 2> m_views;
    View m_chosen = Start;
    // A drag under way: the view, and either the offset of its centre from the pointer (moving) or
    // the corner that stays in place (resizing), in the picture's plane.
    std::optional<View> m_dragged;
    bool m_resizing = false;
    QPointF m_grab;
};

}  // namespace kinetar::ui
