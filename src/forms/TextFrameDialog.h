#pragma once

#include "VectorSettings.h"

#include <QDialog>
#include <QStringList>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QPlainTextEdit;
class QSpinBox;
class TColourChoice;
class TZLT_Pal;

// Frames › Text frame: a text of one or more lines drawn in a single-stroke
// font, its colour, size and alignment. Changed() follows every change, so
// the preview can show the frame as the user types.
class TTextFrameDialog : public QDialog
{
    Q_OBJECT

public:
    // fonts: the names to choose from; settings: the last choices.
    TTextFrameDialog(const TZLT_Pal& palette, const QStringList& fonts, const TVectorSettings& settings,
                     QWidget* parent = nullptr);
    void ApplyLanguage();

    QLabel* LabelText = nullptr;
    QPlainTextEdit* EditText = nullptr;
    QLabel* LabelFont = nullptr;
    QComboBox* ComboFont = nullptr;
    QLabel* LabelColour = nullptr;
    TColourChoice* ComboColour = nullptr;
    QLabel* LabelSize = nullptr;
    QSpinBox* SpinSize = nullptr;
    QLabel* LabelAlign = nullptr;
    QComboBox* ComboAlign = nullptr;
    QDialogButtonBox* Buttons = nullptr;

    QString Text() const;
    // The settings with the dialog's font, size, alignment and colour.
    TVectorSettings Settings() const;

signals:
    void Changed();

private:
    TVectorSettings FSettings;
};
