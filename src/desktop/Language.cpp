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

QString DecimalText(double value, int decimals)
{
    QString text = QString::number(value, 'f', decimals);
    if (IsGerman())
        text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}
