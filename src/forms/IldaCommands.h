#pragma once

#include <QString>

class TIniFile;
class TMDIChild;

// The commands that exchange frames with ILDA files (.ild), the format every
// other laser program reads and writes: the main window's import into a new
// catalog and export of a whole catalog, and the catalog window's save of
// its selected frames and import at its selection. Long files show the
// progress dialog; Cancel leaves nothing half done. Errors raise, for the
// error guard; a reader's warning is shown once the frames are in.
namespace IldaCommands {

// Reads the file, then opens a new catalog window (as File New does) whose
// slots 0, 1, 2, ... hold its frames in the default colours. Returns the
// window; a failed or cancelled read opens none and returns nullptr (or
// raises, for a failure).
TMDIChild* ImportIntoNewWindow(const QString& fileName);

// File › Import ILDA: asks for the file, then ImportIntoNewWindow.
void ImportFile();

// File › Export ILDA: every used frame of the window, in slot order and in
// the window's colours, into a file chosen in the save dialog, whose filter
// picks one of the kinds of ILDA file (ExportKind).
void ExportCatalog(TMDIChild& child);

// Context menu: the used frames of the selected slots into an ILDA file.
void SaveSelection(TMDIChild& child);

// Context menu: a file's frames placed at the leftmost selected slot through
// the paste path, with its overwrite-or-insert question.
void ImportAtSelection(TMDIChild& child);

// The file's frames placed from slot on, as ImportAtSelection places them.
void ImportFileAt(TMDIChild& child, const QString& fileName, int slot);

// The kinds of ILDA file the export dialogs offer, in the order of their
// filters: true colour 3D (format 4), true colour 2D (5), indexed 3D with
// palette (2 + 0), indexed 2D with palette (2 + 1), indexed 2D in the
// standard colours (1). The dialogs offer the kind last chosen first; it
// lives in the settings' [Ilda] section.
constexpr int ExportKindCount = 5;
int ExportKind();
void SetExportKind(int kind);
void LoadSettings(const TIniFile& ini);
void SaveSettings(TIniFile& ini);

} // namespace IldaCommands
