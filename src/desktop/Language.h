#pragma once

#include <QLocale>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>

// What every window needs to speak the user's language. The choice itself
// is a field of its owner (the main window: 1 = Deutsch, any other value
// English), which hands it over here, so a dialog need not know its owner.

// Texts follow *choice from now on; null (no owner): English.
void FollowLanguageChoice(const int32_t* choice);

// True while the program speaks German.
bool IsGerman();

// The column of a window's text table: 0 English, 1 German.
inline int TextColumn()
{
    return IsGerman() ? 1 : 0;
}

// One row of a text table: English, German.
using TTextRow = std::array<const char16_t*, 2>;

// The row's text in the current language.
inline QString Tr(const TTextRow& row)
{
    return QString::fromUtf16(row[size_t(TextColumn())]);
}

// The number conventions of the language, whatever the system's locale:
// German "30.000" and "2,7", English "30,000" and "2.7".
QLocale NumberLocale();

// A whole number in the language's conventions ("30,000", "30.000").
QString NumberText(qint64 value);

// A number with decimals in the language's conventions ("2.7", "2,7";
// "2,184.5", "2.184,5").
QString DecimalText(double value, int decimals);
