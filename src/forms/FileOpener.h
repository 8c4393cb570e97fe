#pragma once

#include <QString>
#include <QStringList>

class TMDIChild;

// Opens files that come from outside the program: named on its command
// line, handed over by a second start, or dropped from a file manager.
namespace FileOpener {

enum class TFileKind
{
    Catalog, // .cat
    Picture, // .pic
    Ilda,    // .ild, or any other name but .pal whose file starts with "ILDA"
    Palette, // .pal: chosen in a catalog window, never opened on its own
    Unknown
};

// The kind by the name's extension, whatever its case, or by the file's
// start for ILDA files.
TFileKind KindOf(const QString& fileName);

// Opens each file by its kind, in the order given: a catalog in a window of
// its own, as File Open does; a PIC file as a new catalog holding its frame
// in slot 0; an ILDA file imported into a new window, as File › Import
// ILDA does. The files that cannot
// be opened are listed with the reason in one message, and the others still
// open. Returns the files that failed.
QStringList OpenFiles(const QStringList& fileNames);

// Files dropped on a catalog window's grid at slot (-1: beside the cells):
// PIC files go into the catalog from that slot on through the paste path
// (with the overwrite-or-insert question); the others open as OpenFiles
// opens them. One message lists what failed; returns the failed files.
QStringList DropFiles(TMDIChild* child, int slot, const QStringList& fileNames);

// OpenFiles as soon as no modal dialog or job holds the commands back;
// files that arrive meanwhile wait in order.
void OpenFilesWhenFree(const QStringList& fileNames);

// Files handed over by a second start: brings the main window to the front
// and opens them from the event loop (none: the window only comes to the
// front). They count as waiting from this call on.
void FilesHandedOver(const QStringList& fileNames);

// Whether files are waiting to be opened (the program does not end then).
bool FilesWaiting();

} // namespace FileOpener
