#pragma once

#include "Dialogs.h"
#include "Language.h"
#include "ZLT_Catalog.h"

#include <QList>
#include <QMainWindow>

#include <array>
#include <cstdint>
#include <memory>

class QAction;
class QActionGroup;
class QLabel;
class QMdiArea;
class QMenu;
class QToolBar;
class TFrameCommands;
class TFramePreview;
class TLaserLink;
class TMDIChild;
class TRecentFiles;
class TVectorCommands;

// The main window: the multiple-document frame, its commands, and what all
// windows share (frame clipboard, drag buffer, palette directory, language).
class TMainForm : public QMainWindow
{
    Q_OBJECT

public:
    explicit TMainForm(QWidget* parent = nullptr); // runs FormCreate
    ~TMainForm() override;

    // Shared state.
    std::unique_ptr<TZLT_FrameList> ClipboardFrames; // none until the first Cut or Copy
    std::unique_ptr<TZLT_FrameList> DragFrames;      // none until the first press on a grid
    QString PalettePath;
    int32_t Language = 0; // 1 = Deutsch, any other value English

    // The two file dialogs, shared with the catalog windows' picture commands.
    TFileDialog OpenDialog{TFileDialog::Kind::Open};
    TFileDialog SaveDialog{TFileDialog::Kind::Save};

    // The multiple-document frame and its children, in the frame's order.
    QMdiArea* MdiArea = nullptr;
    // The frame preview pane; it shows the active catalog window's frames.
    TFramePreview* Preview = nullptr;
    // The laser output: streams the frame the preview shows to a projector.
    TLaserLink* Laser = nullptr;
    // The Frames menu, also in the catalog windows' context menus.
    TFrameCommands* Frames = nullptr;
    // Frames from SVG files and from text: the import commands, Text frame.
    TVectorCommands* Vector = nullptr;
    TMDIChild* ActiveMDIChild() const;
    int MDIChildCount() const;
    TMDIChild* MDIChildren(int index) const;

    // The only way a catalog window comes into being; returns the new window.
    // From a file, an existing file of that name is loaded into it; a load
    // that fails leaves no window and raises. A new catalog never reads a file.
    enum class TCatalogSource
    {
        File,
        New
    };
    TMDIChild* OpenCatalogWindow(const QString& fileName, TCatalogSource source = TCatalogSource::File);
    // "noname" + the number of catalog windows plus one + ".cat".
    QString NewCatalogName() const;
    // Called by a closing catalog window while it still counts as a child.
    void CloseMDI();

    // Save and Save As for one catalog window. They raise on write errors.
    // Return true when the catalog was written, false when the user
    // cancelled the file dialog.
    bool SaveCatalog(TMDIChild* child);
    bool SaveCatalogAs(TMDIChild* child);

    void ApplyLanguage();
    void LoadIniSettings();
    void SaveIniSettings();
    static QString IniFileName(); // see SettingsLocation

    // The catalogs opened or saved most recently, listed in the File menu.
    TRecentFiles* RecentFiles = nullptr;
    // Opens an entry of the list; one that no longer exists leaves the list
    // with a message.
    void OpenRecentFile(const QString& fileName);

    // Actions, named as the program's commands.
    QAction* FileNew1 = nullptr;
    QAction* FileOpen1 = nullptr;
    QAction* FileClose1 = nullptr;
    QAction* FileSave1 = nullptr;
    QAction* FileSaveAs1 = nullptr;
    QAction* FileExit1 = nullptr;
    QAction* EditCut1 = nullptr;
    QAction* EditCopy1 = nullptr;
    QAction* EditPaste1 = nullptr;
    QAction* EditUndo1 = nullptr;
    QAction* EditRedo1 = nullptr;
    QAction* WindowCascade1 = nullptr;
    QAction* WindowTileHorizontal1 = nullptr;
    QAction* WindowTileVertical1 = nullptr;
    QAction* WindowMinimizeAll1 = nullptr;
    QAction* WindowArrangeAll1 = nullptr;
    QAction* HelpAbout1 = nullptr;
    QAction* EditSettingsAction1 = nullptr;
    QAction* FileExportPics1 = nullptr;
    QAction* FileImportPicDir1 = nullptr;
    QAction* FileImportIlda1 = nullptr;
    QAction* FileExportIlda1 = nullptr;
    QAction* LaserOutput1 = nullptr;
    QAction* LaserBlackout1 = nullptr;
    QAction* LaserSettings1 = nullptr;

    // Command handlers.
    void FileNew1Execute();
    void FileOpen1Execute();
    void FileSave1Execute();
    void FileSaveAs1Execute();
    void FileExit1Execute();
    void EditCut1Execute();
    void EditCopy1Execute();
    void EditPaste1Execute();
    void EditUndo1Execute();
    void EditRedo1Execute();
    void EditSettingsAction1Execute();
    void HelpAbout1Execute();
    void FileExportPics1Execute();
    void FileImportPicDir1Execute();
    void FileImportIlda1Execute();
    void FileExportIlda1Execute();
    void LaserOutput1Execute();
    void LaserBlackout1Execute();
    void LaserSettings1Execute();

    // Imports an ILDA file into a new catalog window, as File › Import ILDA
    // does after its dialog; returns the window (none after Cancel).
    TMDIChild* ImportIldaFile(const QString& fileName);

    // From the start of the shut-down until it ended or was cancelled.
    bool Ending() const { return FEnding; }

protected:
    void closeEvent(QCloseEvent* event) override; // shut-down: FormCloseQuery of every child, then FormClose

private:
    void FormCreate();
    void FormClose();
    void CreateActions();
    void CreateMenusAndToolBar();
    void UpdateWindowMenu();
    void UpdateWindowActions();
    // Save, Save As and the exports follow whether a catalog window is open.
    void UpdateFileActions();
    // Undo and Redo follow the active catalog window's history.
    void UpdateUndoActions();

    // The catalog windows in the frame's order.
    QList<TMDIChild*> Children() const;

    // The frame's own window commands.
    void CloseActiveChild();
    void CascadeChildren();
    void TileChildrenHorizontally();
    void TileChildrenVertically();
    void TileChildren(Qt::Orientation direction);
    void MinimizeAllChildren();
    void ArrangeIcons();

    // The folder picker with the export (0) or import (1) prompt; an empty
    // string when cancelled or when the folder does not exist (reported).
    QString PickExistingFolder(int prompt);

    std::array<QString, 2> FIniReadError; // why an existing settings file could not be read: English, German
    bool FEnding = false;

    QMenu* File1 = nullptr;
    QMenu* Edit1 = nullptr;
    QMenu* Window1 = nullptr;
    QMenu* Laser1 = nullptr;
    QMenu* Help1 = nullptr;
    QToolBar* ToolBar = nullptr;
};

// The one main window, reachable from every part of the program.
extern TMainForm* MainForm;
