#include "NumberFormats.h"

#include "Language.h"

#include <QApplication>
#include <QLocale>
#include <QWidget>

namespace NumberFormats {

void Apply()
{
    const QLocale locale = NumberLocale();
    QLocale::setDefault(locale);
    // A window takes the default only when it is made; its child widgets
    // follow the window's locale, and spin boxes show their value anew.
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows)
        window->setLocale(locale);
}

} // namespace NumberFormats
