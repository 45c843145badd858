#pragma once

#include <QDoubleSpinBox>
#include <QObject>
#include <array>
#include <optional>
#include <vector>

#include "project/Motion.h"
#include "project/ProjectFile.h"
#include "session/ProjectSession.h"

class QComboBox;
class QLabel;
class QWidget;

namespace kinetar::ui {

// The motion of the selected pictures as the panel shows it; each value is nullopt while the
// frames differ in it. A frame without custom motion counts with the still view (centre, zoom 1).
struct MotionSummary {
    std::optional<project::MotionKind> Kind;
    std::optional<project::Easing> Ease;
    std::array<std::optional<double>, 3> Start, End;  // X, Y, zoom
};
// Sounds have no motion and are left out. The easing counts only among the moving pictures.
MotionSummary SummariseMotion(const std::vector<project::FrameRecord>& records);

// A number of a view. While the selected frames differ in it, it says "various", standing one step
// below its range: a step up or a typed number leaves that state, a step back down returns to it.
class ViewNumberBox : public QDoubleSpinBox {
public:
    ViewNumberBox(const char* name, const QString& accessibleName, double minimum, double maximum, double step);
    void ShowValue(double value);
    void ShowVarious();
    bool Various() const;

private:
    double m_minimum;
};

// The details panel's motion: the kind, the easing and the two views' numbers, and what saving
// them writes. The panel places the widgets.
class MotionFields : public QObject {
    Q_OBJECT

public:
    enum Index { kNone, kAutomatic, kCustom };

    MotionFields();

    QLabel* KindLabel() const { return m_kindLabel; }
    QComboBox* KindBox() const { return m_kindBox; }
    QComboBox* EasingBox() const { return m_easingBox; }
    // The views' numbers under their headings; shown only while the list says Custom or various.
    QWidget* Views() const { return m_views; }
    // The number boxes and the text fields inside them, where a key press may land.
    QList<QWidget*> TypingWidgets() const;

    // Fills the fields without taking it for an edit.
    void Show(const MotionSummary& summary);
    void SetEnabled(bool on);
    // The list shows Custom.
    bool Custom() const;
    // A view as far as the frames share all its numbers (or the user set them).
    std::optional<project::Framing> View(int view) const;
    // A view set by the user elsewhere (the rectangles).
    void SetView(int view, const project::Framing& framing);
    // What saving writes: what the frames share or the user set.
    project::MotionEdit Edit() const;

signals:
    // The user changed the kind or the easing.
    void KindEdited();
    // The user changed a view's number (also through SetView).
    void ViewsEdited();

private:
    void ShowNumbers();
    void OnKindChosen();
    void OnNumberEdited(int view, int part);
    // The rows of numbers follow the list.
    void ShowOrHideViews();

    QLabel* m_kindLabel = nullptr;
    QComboBox* m_kindBox = nullptr;
    QComboBox* m_easingBox = nullptr;
    QWidget* m_views = nullptr;
    std::array<std::array<ViewNumberBox*, 3>, 2> m_numbers{};
    // The views' exact numbers: boxes show them rounded, and an untouched frame keeps its bytes.
    std::array<std::array<std::optional<double>, 3>, 2> m_values{};
    // No selected frame had custom motion: choosing Custom proposes a gentle zoom.
    bool m_noCustomViews = true;
    // Off while every selected frame is a sound.
    bool m_enabled = true;
    bool m_filling = false;
};

}  // namespace kinetar::ui
