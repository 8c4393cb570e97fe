#pragma once

#include <QString>

class TIniFile;

// What the vector import and the text frame remember between runs, kept in
// the settings file's own section [Vector]; see the source for its keys.
struct TVectorSettings
{
    // Colours besides the palette's indices 0..63.
    static constexpr int PaletteWhite = -2; // the palette's colour nearest to white
    static constexpr int Blanked = -1;      // drawn blanked: nothing lit

    enum TAlign
    {
        AlignLeft,
        AlignCentre,
        AlignRight
    };

    bool UsePage = false;       // fit the page (the viewBox) instead of the drawing's extent
    int BlackAs = PaletteWhite; // what black lines become: an index, PaletteWhite or Blanked
    bool Optimise = true;       // each frame optimised for the projector
    // The text frame's last choices.
    QString Font = QStringLiteral("futural");
    int TextSize = 10; // height of a line in percent of the field's width
    int Align = AlignCentre;
    int TextColour = PaletteWhite;

    static constexpr int MinTextSize = 1;
    static constexpr int MaxTextSize = 100;

    // Values outside their range read as the default (sizes are clamped).
    void Load(const TIniFile& ini);
    // Written only when the section exists or a value is not the default,
    // so a program that never changed them leaves the file as it was.
    void Save(TIniFile& ini) const;

    friend bool operator==(const TVectorSettings&, const TVectorSettings&) = default;
};
