#include "ColourChoice.h"

#include "Language.h"
#include "VectorImport.h"
#include "VectorSettings.h"
#include "ZLT_Palette.h"

#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace {
constexpr TTextRow WhiteText{u"white (the palette's nearest)", u"Weiß (die nächste der Palette)"};
constexpr TTextRow BlankedText{u"blanked (not drawn)", u"dunkel getastet (nicht gezeichnet)"};

QIcon Swatch(const QColor& colour, bool crossed)
{
    QPixmap swatch(24, 14);
    swatch.fill(colour);
    QPainter painter(&swatch);
    painter.setPen(Qt::gray);
    painter.drawRect(0, 0, 23, 13);
    if (crossed)
        painter.drawLine(0, 13, 23, 0);
    painter.end();
    return QIcon(swatch);
}

} // namespace

TColourChoice::TColourChoice(const TZLT_Pal& palette, bool offerBlanked, QWidget* parent) : QComboBox(parent)
{
    setIconSize(QSize(24, 14));
    const TZLT_PalEntry& white = palette.ColorOf(uint8_t(Vector::NearestColour(palette, 255, 255, 255)));
    addItem(Swatch(QColor(white.Red, white.Green, white.Blue), false), QString(), TVectorSettings::PaletteWhite);
    if (offerBlanked)
        addItem(Swatch(Qt::black, true), QString(), TVectorSettings::Blanked);
    for (int i = 0; i < TZLT_Pal::EntryCount; ++i) {
        const TZLT_PalEntry& entry = palette.ColorOf(uint8_t(i));
        addItem(Swatch(QColor(entry.Red, entry.Green, entry.Blue), false), QString::number(i), i);
    }
    setMaxVisibleItems(16);
    ApplyLanguage();
}

void TColourChoice::ApplyLanguage()
{
    setItemText(findData(TVectorSettings::PaletteWhite), Tr(WhiteText));
    const int blanked = findData(TVectorSettings::Blanked);
    if (blanked >= 0)
        setItemText(blanked, Tr(BlankedText));
}

int TColourChoice::Colour() const
{
    return currentData().toInt();
}

void TColourChoice::SetColour(int colour)
{
    setCurrentIndex(std::max(0, findData(colour)));
}
