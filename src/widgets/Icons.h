#pragma once

#include <QIcon>
#include <QPixmap>

// The program's own pictures, shipped in its resources.
namespace Icons {
// Positions in the image list of the menus and the toolbar.
enum Image
{
    Cut = 0,
    Copy = 1,
    Paste = 2,
    Undo = 3,
    Redo = 4,
    Delete = 5,
    New = 6,
    Open = 7,
    Save = 8,
    Preview = 9,
    Form = 10,
    HelpPointer = 11,
    Find = 12,
    Replace = 13,
    Print = 14,
    TileHorizontal = 15,
    TileVertical = 16,
    Cascade = 17,
    ImageCount = 18
};

// One 16 x 16 image of the image list (index 0 to 17).
QIcon ListImage(int index);
// The icon of the main window and the catalog windows (16 x 16 and 32 x 32).
QIcon ProgramIcon();
// The About box's 32 x 32 picture.
QPixmap ProgramPicture();
} // namespace Icons
