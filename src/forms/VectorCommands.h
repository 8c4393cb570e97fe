#pragma once

#include "Optimiser.h"
#include "VectorSettings.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

class QAction;
class QMainWindow;
class QMdiArea;
class QMenu;
class TFramePreview;
class TIniFile;
class TMDIChild;
class TZLT_Frame;
class TZLT_Pal;

namespace Vector {
enum class TVectorProblem;
struct TVectorFrame;
} // namespace Vector

// Frames from vector graphics and from text: File › Import vector graphics
// into a new catalog window, the same at the selection from the grid's
// context menu, and Frames › Text frame. Several files become the frames of
// one animation, placed alike; files that cannot be imported are named in
// one message with their reasons and change nothing, the others are
// imported. The options live in the settings' [Vector] section.
class TVectorCommands : public QObject
{
    Q_OBJECT

public:
    // frames: the Frames menu, which gets Text frame at its end.
    TVectorCommands(QMainWindow* mainWindow, QMdiArea* area, TFramePreview* preview, QMenu* frames);

    QAction* FileImportVector1 = nullptr;  // the File menu
    QAction* FileImportVectorFolder1 = nullptr; // the File menu: a folder's SVG files
    QAction* ImportVectorAction = nullptr; // the grid's context menu
    QAction* TextFrame1 = nullptr;         // the Frames menu

    TVectorSettings Settings;

    // The import commands at the end of the File menu's imports.
    void AddToFileMenu(QMenu* file);
    // Import vector graphics among the context menu's imports; Text frame
    // at its end, after the Frames commands.
    void AddToContextMenu(QMenu* popup);
    void AddTextToContextMenu(QMenu* popup);
    void ApplyLanguage();
    void LoadSettings(const TIniFile& ini);
    void SaveSettings(TIniFile& ini) const;

    void FileImportVector1Execute();
    void FileImportVectorFolder1Execute();
    void ImportVectorActionExecute();
    void TextFrame1Execute();

    // The files, sorted by name, as frames 0, 1, ... of a new catalog
    // window; none opens when no file could be imported. Returns the window.
    TMDIChild* ImportIntoNewWindow(const QStringList& files, const TVectorSettings& settings);
    // The files, sorted by name, placed from slot on through the paste path,
    // with its overwrite-or-insert question, as one step.
    void ImportFilesAt(TMDIChild& child, const QStringList& files, int slot, const TVectorSettings& settings);

    // The scanner the frames are optimised for: the settings' profile at
    // the projector's point rate.
    static TScannerProfile Scanner();
    // The reason a file or a text gave no frame, in the language chosen.
    static QString ProblemText(Vector::TVectorProblem problem);
    // Files in the order their names sort (the locale's, without regard to case).
    static QStringList SortedByName(QStringList files);
    // The one message for the refused files; empty when none was refused.
    static QString RefusedMessage(const std::vector<Vector::TVectorFrame>& frames);

private:
    QStringList AskForFiles();
    bool AskForOptions(const TZLT_Pal& palette, int files, TVectorSettings& settings);
    void ShowTextPreview(TMDIChild& child, const QString& text, const TVectorSettings& settings);
    void UpdateActions();

    QMainWindow* FMainWindow;
    QMdiArea* FArea;
    TFramePreview* FPreview;
    std::unique_ptr<TZLT_Frame> FStandIn; // the text frame the preview shows
};
