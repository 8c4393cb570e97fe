#include "Language.h"

namespace {
const int32_t* Choice = nullptr;
} // namespace

void FollowLanguageChoice(const int32_t* choice)
{
    Choice = choice;
}

bool IsGerman()
{
    return Choice != nullptr && *Choice == 1;
}

QLocale NumberLocale()
{
    return IsGerman() ? QLocale(QLocale::German, QLocale::Germany) : QLocale(QLocale::English, QLocale::UnitedStates);
}

QString NumberText(qint64 value)
{
    return NumberLocale().toString(value);
}

QString DecimalText(double value, int decimals)
{
    return NumberLocale().toString(value, 'f', decimals);
}
