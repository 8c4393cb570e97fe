#pragma once

#include "FrameCommands.h"

#include <array>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class QLabel;

// Frames › Transform: move, scale and rotate the selected frames about a
// pivot. Each value is one value for every frame, or with its "to" box
// ticked a ramp from the first to the last value across the selected used
// frames, so a selection becomes an animation.
class TTransformDialog : public TFrameDialog
{
    Q_OBJECT

public:
    // The rows of values, in the order of their fields.
    enum TRow
    {
        MoveX,
        MoveY,
        ScaleX,
        ScaleY,
        Rotate,
        RowCount
    };

    explicit TTransformDialog(QWidget* parent = nullptr);
    void ApplyLanguage();

    std::array<QLabel*, RowCount> Labels{};
    std::array<QDoubleSpinBox*, RowCount> First{};
    std::array<QCheckBox*, RowCount> Ramps{};
    std::array<QDoubleSpinBox*, RowCount> Last{};
    QLabel* LabelPivot = nullptr;
    // Each frame's centre, the origin, the centre of all selected frames, a point.
    QComboBox* ComboPivot = nullptr;
    QLabel* LabelPivotX = nullptr;
    QLabel* LabelPivotY = nullptr;
    QDoubleSpinBox* PivotX = nullptr;
    QDoubleSpinBox* PivotY = nullptr;
    QDialogButtonBox* Buttons = nullptr;

    std::vector<FrameTools::TOperation> Operations() const override;

private:
    void FollowFields();
};
