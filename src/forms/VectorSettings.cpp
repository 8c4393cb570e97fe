#include "VectorSettings.h"

#include "IniFile.h"

#include <algorithm>
#include <array>

namespace {
const QString Section = QStringLiteral("Vector");
// UsePage=0|1, BlackAs=white|blanked|0..63, Optimise=0|1, Font=futural,
// TextSize=1..100, TextAlign=left|centre|right, TextColour=white|0..63
const QString UsePageKey = QStringLiteral("UsePage");
const QString BlackAsKey = QStringLiteral("BlackAs");
const QString OptimiseKey = QStringLiteral("Optimise");
const QString FontKey = QStringLiteral("Font");
const QString TextSizeKey = QStringLiteral("TextSize");
const QString AlignKey = QStringLiteral("TextAlign");
const QString TextColourKey = QStringLiteral("TextColour");

const QString WhiteName = QStringLiteral("white");
const QString BlankedName = QStringLiteral("blanked");
const std::array<QString, 3> AlignNames{QStringLiteral("left"), QStringLiteral("centre"),
                                        QStringLiteral("right")};

QString ColourName(int colour)
{
    if (colour == TVectorSettings::Blanked)
        return BlankedName;
    if (colour == TVectorSettings::PaletteWhite)
        return WhiteName;
    return QString::number(colour);
}

int ReadColour(const TIniFile& ini, const QString& key, bool blankedAllowed)
{
    const QString text = ini.ReadString(Section, key, WhiteName).trimmed();
    if (blankedAllowed && text.compare(BlankedName, Qt::CaseInsensitive) == 0)
        return TVectorSettings::Blanked;
    bool number = false;
    const int index = text.toInt(&number);
    return number && index >= 0 && index < 64 ? index : TVectorSettings::PaletteWhite;
}

bool ReadFlag(const TIniFile& ini, const QString& key, bool defaultValue)
{
    const int value = ini.ReadInteger(Section, key, defaultValue ? 1 : 0);
    return value == 0 || value == 1 ? value == 1 : defaultValue;
}
} // namespace

void TVectorSettings::Load(const TIniFile& ini)
{
    const TVectorSettings defaults;
    UsePage = ReadFlag(ini, UsePageKey, defaults.UsePage);
    BlackAs = ReadColour(ini, BlackAsKey, true);
    Optimise = ReadFlag(ini, OptimiseKey, defaults.Optimise);
    Font = ini.ReadString(Section, FontKey, defaults.Font).trimmed();
    if (Font.isEmpty())
        Font = defaults.Font;
    TextSize = std::clamp(ini.ReadInteger(Section, TextSizeKey, defaults.TextSize), MinTextSize, MaxTextSize);
    const QString align = ini.ReadString(Section, AlignKey, AlignNames[size_t(defaults.Align)]).trimmed();
    Align = defaults.Align;
    for (size_t i = 0; i < AlignNames.size(); ++i)
        if (align.compare(AlignNames[i], Qt::CaseInsensitive) == 0)
            Align = int(i);
    TextColour = ReadColour(ini, TextColourKey, false);
}

void TVectorSettings::Save(TIniFile& ini) const
{
    bool present = false;
    for (const QString& key :
         {UsePageKey, BlackAsKey, OptimiseKey, FontKey, TextSizeKey, AlignKey, TextColourKey})
        present = present || ini.ValueExists(Section, key);
    if (!present && *this == TVectorSettings())
        return;
    ini.WriteInteger(Section, UsePageKey, UsePage ? 1 : 0);
    ini.WriteString(Section, BlackAsKey, ColourName(BlackAs));
    ini.WriteInteger(Section, OptimiseKey, Optimise ? 1 : 0);
    // A font name the file's encoding cannot hold keeps the one stored before.
    if (ini.CanHold(Font) && !Font.contains(QLatin1Char('\n')) && !Font.contains(QLatin1Char('\r')))
        ini.WriteString(Section, FontKey, Font);
    ini.WriteInteger(Section, TextSizeKey, TextSize);
    ini.WriteString(Section, AlignKey, AlignNames[size_t(std::clamp(Align, 0, 2))]);
    ini.WriteString(Section, TextColourKey, ColourName(TextColour));
}
