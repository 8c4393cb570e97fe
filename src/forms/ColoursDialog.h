#pragma once

#include "FrameCommands.h"
#include "ZLT_Palette.h"

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QRadioButton;

// Frames › Colours: every lit point of the selected frames set to one
// palette colour, one colour replaced by another, or a gradient over each
// frame's lit points from one colour to another. The colours are offered
// as swatches of the window's palette.
class TColoursDialog : public TFrameDialog
{
    Q_OBJECT

public:
    explicit TColoursDialog(const TZLT_Pal& palette, QWidget* parent = nullptr);
    void ApplyLanguage();

    QRadioButton* RadioSet = nullptr;
    QRadioButton* RadioReplace = nullptr;
    QRadioButton* RadioGradient = nullptr;
    QLabel* LabelFrom = nullptr;
    QLabel* LabelTo = nullptr;
    // Palette indices 0..63 with their swatches: the colour to set, to
    // replace or to start from (A), and the one to put or end with (B).
    QComboBox* ComboA = nullptr;
    QComboBox* ComboB = nullptr;
    QDialogButtonBox* Buttons = nullptr;

    std::vector<FrameTools::TOperation> Operations() const override;

private:
    void FollowFields();
};
