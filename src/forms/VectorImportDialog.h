#pragma once

#include "VectorSettings.h"

#include <QDialog>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class TColourChoice;
class TZLT_Pal;

// The options of an import of vector graphics, asked after the files are
// chosen: the page or the drawing's extent, what black lines become, and
// whether the frames are optimised for the projector.
class TVectorImportDialog : public QDialog
{
    Q_OBJECT

public:
    // files: how many were chosen, which the dialog tells.
    TVectorImportDialog(const TZLT_Pal& palette, const TVectorSettings& settings, int files,
                        QWidget* parent = nullptr);
    void ApplyLanguage();

    QLabel* LabelFiles = nullptr;
    QCheckBox* CheckUsePage = nullptr;
    QLabel* LabelBlackAs = nullptr;
    TColourChoice* ComboBlackAs = nullptr;
    QCheckBox* CheckOptimise = nullptr;
    QDialogButtonBox* Buttons = nullptr;

    // The settings with the dialog's choices.
    TVectorSettings Settings() const;

private:
    TVectorSettings FSettings;
    int FFiles;
};
