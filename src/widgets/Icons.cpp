#include "Icons.h"

#include <QString>

#include <array>

// The pictures live in a static library: nothing would pull them in.
static void LoadIconResources()
{
    static const bool loaded = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    (void)loaded;
}

namespace {
constexpr std::array<const char*, Icons::ImageCount> ImageFiles{
    "img00_cut",          "img01_copy",    "img02_paste", "img03_undo",
    "img04_redo",         "img05_delete",  "img06_new",   "img07_open",
    "img08_save",         "img09_preview", "img10_form",  "img11_helppointer",
    "img12_find",         "img13_replace", "img14_print", "img15_tilehorizontal",
    "img16_tilevertical", "img17_cascade",
};

QString ResourceName(const char* name)
{
    LoadIconResources();
    return QStringLiteral(":/icons/%1.xpm").arg(QLatin1String(name));
}
} // namespace

namespace Icons {
QIcon ListImage(int index)
{
    if (index < 0 || index >= ImageCount)
        return QIcon();
    return QIcon(QPixmap(ResourceName(ImageFiles[index])));
}

QIcon ProgramIcon()
{
    QIcon icon;
    icon.addPixmap(QPixmap(ResourceName("program16")));
    icon.addPixmap(QPixmap(ResourceName("program32")));
    return icon;
}

QPixmap ProgramPicture()
{
    return QPixmap(ResourceName("program32"));
}
} // namespace Icons
