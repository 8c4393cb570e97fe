#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace QtTranslations {

namespace {
// Loaded once, on the first switch to German; owned by the application.
QTranslator* German = nullptr;
bool Installed = false;
} // namespace

QString Folder()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

bool Apply(bool german)
{
    QCoreApplication* application = QCoreApplication::instance();
    if (!application)
        return false;
    if (!german) {
        if (Installed)
            QCoreApplication::removeTranslator(German);
        Installed = false;
        return true;
    }
    if (Installed)
        return true;
    if (!German) {
        auto* translator = new QTranslator(application);
        if (!translator->load(QStringLiteral("qtbase_de"), Folder())) {
            delete translator;
            return false;
        }
        German = translator;
        // A new application object (tests make several) gets it anew.
        QObject::connect(application, &QObject::destroyed, [] {
            German = nullptr;
            Installed = false;
        });
    }
    Installed = QCoreApplication::installTranslator(German);
    return Installed;
}

} // namespace QtTranslations
