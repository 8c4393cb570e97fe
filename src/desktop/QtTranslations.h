#pragma once

#include <QString>

// Qt's own texts in the user's language: the standard buttons of message
// boxes, the file dialogs, the names of keys in menus ("Entf"), the context
// menus of text fields. They come from Qt's translation (qtbase_de), which
// is installed while German is chosen and removed on a switch to English.
namespace QtTranslations {

// Installs Qt's German texts when german, else removes them. False when
// German is wanted but Qt's translation cannot be loaded (Qt then speaks
// English).
bool Apply(bool german);

// Where Qt's translations are looked for: Qt's own folder.
QString Folder();

} // namespace QtTranslations
