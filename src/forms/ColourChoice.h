#pragma once

#include <QComboBox>

class TZLT_Pal;

// A drop-down list of colours for a new drawing: the palette's colour
// nearest to white first, then (if offered) blanked, then the palette's 64
// colours, each with its swatch. The values are those of TVectorSettings:
// PaletteWhite, Blanked or an index 0..63.
class TColourChoice : public QComboBox
{
    Q_OBJECT

public:
    TColourChoice(const TZLT_Pal& palette, bool offerBlanked, QWidget* parent = nullptr);
    void ApplyLanguage();

    int Colour() const;
    // A value not on the list chooses the first entry.
    void SetColour(int colour);
};
