#include "Language.h"

#include <QAction>

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

void SetHint(QAction* action, const QString& hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    action->setToolTip(bar < 0 ? hint : hint.left(bar));
    action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

QString DecimalText(double value, int decimals)
{
    QString text = QString::number(value, 'f', decimals);
    if (IsGerman())
        text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}
