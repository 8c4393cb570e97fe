#include "MAIN.h"

#include "ActionTexts.h"
#include "CHILDWIN.h"
#include "CatalogLoading.h"
#include "CatalogSaving.h"
#include "FileDrop.h"
#include "FileOpener.h"
#include "FrameCommands.h"
#include "FramePreview.h"
#include "Guard.h"
#include "Icons.h"
#include "IldaCommands.h"
#include "IniFile.h"
#include "KeepInArea.h"
#include "LaserLink.h"
#include "Overwrite.h"
#include "NumberFormats.h"
#include "ZLT_Memory.h"
#include "Progress.h"
#include "QtTranslations.h"
#include "RecentFiles.h"
#include "ZLT_FileNames.h"
#include "Settings.h"
#include "VectorCommands.h"
#include "SettingsLocation.h"
#include "ZLT_Files.h"
#include "about.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <array>

TMainForm* MainForm = nullptr;

namespace {
const QString CatalogFilter = QStringLiteral("ZLT Catalog files (*.cat)|*.cat");
const QString CatalogExt = QStringLiteral("cat");
const QString IniSection = QStringLiteral("Application");
const QString DefaultPalettePath = QStringLiteral("C:\\laser\\");

// The main window's texts: English, German.

// Undo and Redo, plain and with the step's name (%1).
constexpr TTextRow UndoCaption{u"&Undo", u"&Rückgängig"};
constexpr TTextRow RedoCaption{u"&Redo", u"&Wiederherstellen"};
constexpr TTextRow UndoStepCaption{u"&Undo %1", u"&Rückgängig: %1"};
constexpr TTextRow RedoStepCaption{u"&Redo %1", u"&Wiederherstellen: %1"};
constexpr TTextRow UndoHint{u"Undo|Undoes the last change of the catalog",
                            u"Rückgängig|Macht die letzte Änderung des Katalogs rückgängig"};
constexpr TTextRow RedoHint{u"Redo|Makes the last undone change again",
                            u"Wiederherstellen|Stellt die zuletzt rückgängig gemachte Änderung wieder her"};

const std::array<TActionText<TMainForm>, 25> ActionTable{{
    {&TMainForm::FileNew1, {u"&New", u"&Neu"}, {u"New|Create a new file", u"Neu|Neue Datei erstellen"}},
    {&TMainForm::FileOpen1, {u"&Open", u"Ö&ffnen"}, {u"Open|Open a file", u"Öffnen|Datei öffnen"}},
    {&TMainForm::FileClose1,
     {u"&Close", u"&Schließen"},
     {u"Close|Close current file", u"Schließen|Aktuelle Datei schließen"}},
    {&TMainForm::FileSave1,
     {u"&Save", u"&Speichern"},
     {u"Save|Save current file", u"Speichern|Aktuelle Datei speichern"}},
    {&TMainForm::FileSaveAs1,
     {u"Save &As...", u"Speichern &unter..."},
     {u"Save As|Save current file with different name",
      u"Speichern unter|Datei unter einem anderen Namen speichern"}},
    {&TMainForm::FileImportPicDir1,
     {u"&Import PIC directory...", u"PIC Verzeichnis &importieren..."},
     {u"Import PIC directory|Imports all PIC files from a directory into a CAT file",
      u"PIC Verzeichnis importieren|Importiert alle PIC Dateien eines Verzeichnisses in eine CAT Datei"}},
    {&TMainForm::FileExportPics1,
     {u"Export &PIC files...", u"&PIC Dateien exportieren..."},
     {u"Export PIC files|Saves all used frames as PIC files",
      u"PIC Dateien exportieren|Speichert alle benutzten Frames als PIC Dateien"}},
    {&TMainForm::FileImportIlda1,
     {u"Import I&LDA file...", u"I&LDA Datei importieren..."},
     {u"Import ILDA file|Imports the frames of an ILDA file into a new catalog",
      u"ILDA Datei importieren|Importiert die Frames einer ILDA Datei in einen neuen Katalog"}},
    {&TMainForm::FileExportIlda1,
     {u"Export IL&DA file...", u"IL&DA Datei exportieren..."},
     {u"Export ILDA file|Saves all used frames as an ILDA file",
      u"ILDA Datei exportieren|Speichert alle benutzten Frames als ILDA Datei"}},
    {&TMainForm::FileExit1, {u"E&xit", u"&Beenden"}, {u"Exit|Exit application", u"Beenden|Programm beenden"}},
    {&TMainForm::EditCut1,
     {u"Cut", u"&Ausschneiden"},
     {u"Cut|Cuts the selection and puts it on the Clipboard",
      u"Ausschneiden|Markiertes Objekt in die Zwischenablage verschieben"}},
    {&TMainForm::EditCopy1,
     {u"&Copy", u"&Kopieren"},
     {u"Copy|Copies the selection and puts it on the Clipboard",
      u"Kopieren|Markiertes Objekt in die Zwischenablage kopieren"}},
    {&TMainForm::EditPaste1,
     {u"&Paste", u"&Einfügen"},
     {u"Paste|Inserts Clipboard contents", u"Einfügen|Inhalt der Zwischenablage einfügen"}},
    {&TMainForm::EditUndo1, UndoCaption, UndoHint},
    {&TMainForm::EditRedo1, RedoCaption, RedoHint},
    {&TMainForm::EditSettingsAction1,
     {u"&Settings...", u"E&instellungen..."},
     {u"Settings|Set various options", u"Einstellungen|Verschiedene Optionen ändern"}},
    {&TMainForm::WindowCascade1, {u"&Cascade", u"&Überlappend"}, {u"Cascade", u"Überlappend"}},
    {&TMainForm::WindowTileHorizontal1,
     {u"Tile &Horizontally", u"&Horizontal anordnen"},
     {u"Tile Horizontally", u"Horizontal anordnen"}},
    {&TMainForm::WindowTileVertical1,
     {u"Tile &Vertically", u"&Vertikal anordnen"},
     {u"Tile Vertically", u"Vertikal anordnen"}},
    {&TMainForm::WindowMinimizeAll1,
     {u"&Minimize All", u"Alle ver&kleinern"},
     {u"Minimize All", u"Alle verkleinern"}},
    {&TMainForm::WindowArrangeAll1, {u"&Arrange All", u"&Alle anordnen"}, {u"Arrange All", u"Alle anordnen"}},
    {&TMainForm::LaserOutput1,
     {u"Laser &output", u"Laser-&Ausgabe"},
     {u"Laser output|Starts and stops the output of the shown frame to the projector",
      u"Laser-Ausgabe|Startet und beendet die Ausgabe des gezeigten Frames an den Projektor"}},
    {&TMainForm::LaserBlackout1,
     {u"&Blackout", u"&Blackout"},
     {u"Blackout|Stops the laser output at once", u"Blackout|Beendet die Laser-Ausgabe sofort"}},
    {&TMainForm::LaserSettings1,
     {u"&Projector settings...", u"&Projektor-Einstellungen..."},
     {u"Projector settings|Sets the projector's address, service and point rate",
      u"Projektor-Einstellungen|Legt Adresse, Dienst und Punktrate des Projektors fest"}},
    {&TMainForm::HelpAbout1,
     {u"&About...", u"&Info..."},
     {u"About|Displays program information, version number, and copyright",
      u"Info|Anzeige von Programminformationen, Versionsnummer und Copyright-Vermerk"}},
}};

// File, Edit, Window, Laser, Help: caption and hint.
const std::array<std::array<std::array<const char16_t*, 2>, 2>, 5> MenuTable{{
    {{{u"&File", u"&Datei"}, {u"File related commands", u"Dateibefehle"}}},
    {{{u"&Edit", u"&Bearbeiten"}, {u"Edit commands", u"Anweisungen zur Bearbeitung"}}},
    {{{u"&Window", u"&Fenster"}, {u"Window related commands", u"Fensterbezogene Anweisungen"}}},
    {{{u"&Laser", u"&Laser"}, {u"Laser output commands", u"Befehle der Laser-Ausgabe"}}},
    {{{u"&Help", u"&Hilfe"}, {u"Help topics", u"Hilfethemen"}}},
}};

// Prompts of the folder picker: export, import.
const std::array<std::array<const char16_t*, 2>, 2> FolderPrompts{{
    {u"Save PIC files to:", u"Speichere PIC Dateien nach:"},
    {u"Open PIC files from:", u"Öffne PIC Dateien von:"},
}};

// Messages of the main window: English, German.
enum MessageTextId
{
    SettingsUnreadableText, // %1: why the file could not be read
    RecentFileMissingText   // %1: the file
};
constexpr std::array<TTextRow, 2> MessageTexts{{
    {u"The settings could not be read, so Trevasc used its default settings and left the settings file "
     u"as it was.\n\n%1",
     u"Die Einstellungen konnten nicht gelesen werden. Trevasc hat daher die Standardeinstellungen "
     u"benutzt und die Einstellungsdatei unverändert gelassen.\n\n%1"},
    {u"The file %1 no longer exists. It has been removed from the list of recent files.",
     u"Die Datei %1 existiert nicht mehr. Sie wurde aus der Liste der zuletzt benutzten Dateien entfernt."},
}};

// A title with a path separator or a drive designator names a chosen file.
bool HasDirectory(const QString& fileName)
{
    return fileName.contains(QLatin1Char('/')) || fileName.contains(QLatin1Char('\\')) ||
           (fileName.size() >= 2 && fileName[1] == QLatin1Char(':'));
}
} // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent)
{
    // Every window reaches the main window by name, already while it is created.
    MainForm = this;
    FollowLanguageChoice(&Language);
    setWindowTitle(QStringLiteral("Trevasc"));
    setWindowIcon(Icons::ProgramIcon());

    MdiArea = new QMdiArea(this);
    MdiArea->setObjectName(QStringLiteral("MdiArea"));
    MdiArea->setBackground(QApplication::palette().brush(QPalette::Dark));
    setCentralWidget(MdiArea);
    new TKeepInArea(MdiArea);
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->setSizeGripEnabled(true);

    RecentFiles = new TRecentFiles(this);
    new TFileDrop(this);
    CreateActions();
    // The preview starts hidden at the right; the settings may show it elsewhere.
    Preview = new TFramePreview(this);
    addDockWidget(Qt::RightDockWidgetArea, Preview);
    Preview->hide();
    addAction(Preview->ToggleAction);
    Laser = new TLaserLink(Preview, statusBar(), this);
    Laser->Attach(LaserOutput1, LaserBlackout1);
    SetProgressActions({LaserBlackout1}); // Esc in a job's progress dialog too
    Frames = new TFrameCommands(this, MdiArea, Preview);
    Vector = new TVectorCommands(this, MdiArea, Preview, Frames->Frames1);
    CreateMenusAndToolBar();
    connect(MdiArea, &QMdiArea::subWindowActivated, this, [this] {
        UpdateWindowActions();
        UpdateUndoActions();
    });
    connect(MdiArea, &QMdiArea::subWindowActivated, Preview,
            [this] { RunGuarded([this] { Preview->SetWindow(ActiveMDIChild()); }); });

    // The windowing system's usual size for a new main window.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        resize(area.width() * 3 / 4, area.height() * 3 / 4);
    }

    FormCreate();
}

TMainForm::~TMainForm()
{
    // The catalog windows go first, while the main window is still whole.
    const auto windows = MdiArea->subWindowList();
    for (QMdiSubWindow* window : windows)
        delete window;
    if (MainForm == this) {
        MainForm = nullptr;
        FollowLanguageChoice(nullptr);
    }
}

void TMainForm::CreateActions()
{
    struct ActionRow
    {
        QAction* TMainForm::*Field;
        const char* Name;
        const char* Category;
        const char* Shortcut;
        int Image; // -1: none
        bool Enabled;
        void (TMainForm::*Handler)();
    };
    // The action list: one row per command, in list order.
    static const ActionRow rows[] = {
        {&TMainForm::FileNew1, "FileNew1", "File", "Ctrl+N", Icons::New, true, &TMainForm::FileNew1Execute},
        {&TMainForm::FileOpen1, "FileOpen1", "File", "Ctrl+O", Icons::Open, true,
         &TMainForm::FileOpen1Execute},
        {&TMainForm::FileClose1, "FileClose1", "File", nullptr, -1, false, &TMainForm::CloseActiveChild},
        {&TMainForm::FileSave1, "FileSave1", "File", "Ctrl+S", Icons::Save, false,
         &TMainForm::FileSave1Execute},
        {&TMainForm::FileSaveAs1, "FileSaveAs1", "File", nullptr, -1, true, &TMainForm::FileSaveAs1Execute},
        {&TMainForm::FileExit1, "FileExit1", "File", nullptr, -1, true, &TMainForm::FileExit1Execute},
        {&TMainForm::EditCut1, "EditCut1", "Edit", "Ctrl+X", Icons::Cut, true, &TMainForm::EditCut1Execute},
        {&TMainForm::EditCopy1, "EditCopy1", "Edit", "Ctrl+C", Icons::Copy, true,
         &TMainForm::EditCopy1Execute},
        {&TMainForm::EditPaste1, "EditPaste1", "Edit", "Ctrl+V", Icons::Paste, true,
         &TMainForm::EditPaste1Execute},
        {&TMainForm::EditUndo1, "EditUndo1", "Edit", "Ctrl+Z", Icons::Undo, false,
         &TMainForm::EditUndo1Execute},
        {&TMainForm::EditRedo1, "EditRedo1", "Edit", "Ctrl+Shift+Z; Ctrl+Y", Icons::Redo, false,
         &TMainForm::EditRedo1Execute},
        {&TMainForm::WindowCascade1, "WindowCascade1", "Window", nullptr, Icons::Cascade, false,
         &TMainForm::CascadeChildren},
        {&TMainForm::WindowTileHorizontal1, "WindowTileHorizontal1", "Window", nullptr, Icons::TileHorizontal,
         false, &TMainForm::TileChildrenHorizontally},
        {&TMainForm::WindowTileVertical1, "WindowTileVertical1", "Window", nullptr, Icons::TileVertical,
         false, &TMainForm::TileChildrenVertically},
        {&TMainForm::WindowMinimizeAll1, "WindowMinimizeAll1", "Window", nullptr, -1, false,
         &TMainForm::MinimizeAllChildren},
        {&TMainForm::WindowArrangeAll1, "WindowArrangeAll1", "Window", nullptr, -1, false,
         &TMainForm::ArrangeIcons},
        {&TMainForm::HelpAbout1, "HelpAbout1", "Help", nullptr, -1, true, &TMainForm::HelpAbout1Execute},
        {&TMainForm::EditSettingsAction1, "EditSettingsAction1", "Edit", nullptr, -1, true,
         &TMainForm::EditSettingsAction1Execute},
        {&TMainForm::FileExportPics1, "FileExportPics1", "File", nullptr, -1, true,
         &TMainForm::FileExportPics1Execute},
        {&TMainForm::FileImportPicDir1, "FileImportPicDir1", "File", nullptr, -1, true,
         &TMainForm::FileImportPicDir1Execute},
        {&TMainForm::FileImportIlda1, "FileImportIlda1", "File", nullptr, -1, true,
         &TMainForm::FileImportIlda1Execute},
        {&TMainForm::FileExportIlda1, "FileExportIlda1", "File", nullptr, -1, false,
         &TMainForm::FileExportIlda1Execute},
        {&TMainForm::LaserOutput1, "LaserOutput1", "Laser", "Ctrl+L", -1, true,
         &TMainForm::LaserOutput1Execute},
        {&TMainForm::LaserBlackout1, "LaserBlackout1", "Laser", "Esc", -1, true,
         &TMainForm::LaserBlackout1Execute},
        {&TMainForm::LaserSettings1, "LaserSettings1", "Laser", nullptr, -1, true,
         &TMainForm::LaserSettings1Execute},
    };
    for (const ActionRow& row : rows) {
        auto* action = new QAction(this);
        action->setObjectName(QString::fromLatin1(row.Name));
        action->setProperty("category", QString::fromLatin1(row.Category));
        if (row.Shortcut)
            action->setShortcuts(
                QKeySequence::listFromString(QString::fromLatin1(row.Shortcut), QKeySequence::PortableText));
        if (row.Image >= 0)
            action->setIcon(Icons::ListImage(row.Image));
        action->setEnabled(row.Enabled);
        const auto handler = row.Handler;
        connect(action, &QAction::triggered, this,
                [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
        this->*row.Field = action;
    }
    // The initial texts of the two picture commands before any language applies.
    FileExportPics1->setText(QStringLiteral("Export &all frames as PIC files..."));
    FileImportPicDir1->setText(QStringLiteral("&Import a dir with PIC files..."));
}

void TMainForm::CreateMenusAndToolBar()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));
    File1 = bar->addMenu(QString());
    File1->setObjectName(QStringLiteral("File1"));
    File1->addActions({FileNew1, FileOpen1, FileClose1, FileSave1, FileSaveAs1});
    File1->addSeparator();
    File1->addActions({FileImportPicDir1, FileExportPics1, FileImportIlda1, FileExportIlda1});
    Vector->AddToFileMenu(File1);
    File1->addSeparator();
    File1->addAction(FileExit1);
    RecentFiles->ShowInMenu(
        File1, FileExit1, [this](const QString& fileName) { RunCommand([&] { OpenRecentFile(fileName); }); });

    Edit1 = bar->addMenu(QString());
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->addActions({EditCut1, EditCopy1, EditPaste1, EditUndo1, EditRedo1});
    Edit1->addSeparator();
    Edit1->addAction(EditSettingsAction1);

    bar->addMenu(Frames->Frames1);

    Window1 = bar->addMenu(QString());
    Window1->setObjectName(QStringLiteral("Window1"));
    connect(Window1, &QMenu::aboutToShow, this, &TMainForm::UpdateWindowMenu);
    UpdateWindowMenu();

    Laser1 = bar->addMenu(QString());
    Laser1->setObjectName(QStringLiteral("Laser1"));
    Laser1->addActions({LaserOutput1, LaserBlackout1});
    Laser1->addSeparator();
    Laser1->addActions({LaserSettings1, Frames->ScannerProfile1});

    Help1 = bar->addMenu(QString());
    Help1->setObjectName(QStringLiteral("Help1"));
    Help1->addAction(HelpAbout1);

    ToolBar = addToolBar(QStringLiteral("ToolBar"));
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setIconSize(QSize(16, 16));
    ToolBar->setMovable(false);
    ToolBar->setFloatable(false);
    ToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    ToolBar->addActions({FileNew1, FileOpen1, FileSave1});
    ToolBar->addSeparator()->setObjectName(QStringLiteral("ToolButton3"));
    ToolBar->addActions({EditCut1, EditCopy1, EditPaste1, EditUndo1, EditRedo1});
    // A hidden separator takes no room, so Cascade follows Redo directly.
    QAction* hidden = ToolBar->addSeparator();
    hidden->setObjectName(QStringLiteral("ToolButton7"));
    hidden->setVisible(false);
    ToolBar->addActions({WindowCascade1, WindowTileHorizontal1, WindowTileVertical1});
    ToolBar->addAction(LaserOutput1);
}

void TMainForm::FormCreate()
{
    FileSave1->setEnabled(false);
    FileSaveAs1->setEnabled(false);
    FileExportPics1->setEnabled(false);
    FileExportIlda1->setEnabled(false);
    FileImportPicDir1->setEnabled(true);
    Language = 0;
    LoadIniSettings();
    QtTranslations::Apply(IsGerman());
    ApplyLanguage();
    Preview->ApplyLanguage();
}

void TMainForm::FormClose()
{
    SaveIniSettings();
}

void TMainForm::ApplyLanguage()
{
    const int column = TextColumn();
    NumberFormats::Apply();
    ApplyActionTexts(*this, ActionTable);
    const std::array<QMenu*, 5> menus{File1, Edit1, Window1, Laser1, Help1};
    for (size_t i = 0; i < menus.size(); ++i) {
        menus[i]->setTitle(QString::fromUtf16(MenuTable[i][0][column]));
        const QString hint = QString::fromUtf16(MenuTable[i][1][column]);
        menus[i]->menuAction()->setStatusTip(hint);
        menus[i]->menuAction()->setToolTip(hint);
    }
    UpdateUndoActions(); // their captions name the step
    Laser->ApplyLanguage();
    Frames->ApplyLanguage();
    Vector->ApplyLanguage();
}

// --- catalog windows ------------------------------------------------------

TMDIChild* TMainForm::ActiveMDIChild() const
{
    // The current window stays current while another application is active.
    return qobject_cast<TMDIChild*>(MdiArea->currentSubWindow());
}

int TMainForm::MDIChildCount() const
{
    return int(Children().size());
}

TMDIChild* TMainForm::MDIChildren(int index) const
{
    const QList<TMDIChild*> children = Children();
    return index >= 0 && index < children.size() ? children[index] : nullptr;
}

QList<TMDIChild*> TMainForm::Children() const
{
    QList<TMDIChild*> children;
    const auto windows = MdiArea->subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow* window : windows)
        if (auto* child = qobject_cast<TMDIChild*>(window))
            children << child;
    return children;
}

TMDIChild* TMainForm::OpenCatalogWindow(const QString& fileName, TCatalogSource source)
{
    // A made-up name is never looked up: a file of that name in the working
    // folder belongs to someone else. Anything but a directory counts as a
    // file; the loader refuses what it cannot read. It reads before the
    // window exists, so a failure or Cancel leaves no window behind: one
    // would be empty and modified, and its Save would replace the user's
    // file with an empty catalog.
    std::unique_ptr<TZLT_Cat> loaded;
    if (source == TCatalogSource::File && ZLT_Files::FileExists(fileName)) {
        try {
            loaded = CatalogLoading::Load(fileName, this);
        } catch (const EZLT_Ilda_Content&) {
            // Its frames go into a new catalog, whose Save asks for a name,
            // so the ILDA file is never written over with a catalog.
            return ImportIldaFile(fileName);
        }
    }

    auto* child = new TMDIChild;
    child->setWindowTitle(fileName);
    MdiArea->addSubWindow(child);
    // Destruction comes after the window has left the frame's list.
    connect(child, &QObject::destroyed, this, &TMainForm::UpdateWindowActions, Qt::QueuedConnection);
    connect(child, &QObject::destroyed, this, &TMainForm::UpdateUndoActions, Qt::QueuedConnection);
    // The closed window's frames and history leave the process.
    connect(child, &QObject::destroyed, this, [] { ZLT_Memory::ReturnFreed(); }, Qt::QueuedConnection);
    connect(child, &TMDIChild::SlotsChanged, this, &TMainForm::UpdateUndoActions);
    child->show();
    child->setGeometry(0, child->y(), MdiArea->viewport()->width(), child->height());
    MdiArea->setActiveSubWindow(child);
    UpdateWindowActions();

    if (loaded) {
        for (int slot = 0; slot < TZLT_Cat::SlotCount; ++slot)
            std::swap(child->Cat.Frames.GetFrame(slot).AllPoints(), loaded->Frames.GetFrame(slot).AllPoints());
        child->Modified = false;
        child->CatalogChanged();
        RecentFiles->Add(fileName);
    }
    UpdateFileActions();
    return child;
}

void TMainForm::UpdateFileActions()
{
    const bool any = MDIChildCount() > 0;
    FileSave1->setEnabled(any);
    FileSaveAs1->setEnabled(any);
    FileExportPics1->setEnabled(any);
    FileExportIlda1->setEnabled(any);
}

void TMainForm::CloseMDI()
{
    if (MDIChildCount() == 1) {
        FileSave1->setEnabled(false);
        FileSaveAs1->setEnabled(false);
        FileExportPics1->setEnabled(false);
        FileExportIlda1->setEnabled(false);
    }
}

void TMainForm::UpdateUndoActions()
{
    const TMDIChild* child = ActiveMDIChild();
    const THistory* history = child ? &child->History : nullptr;
    const auto show = [](QAction* action, bool can, const TTextRow& caption, const TTextRow& stepCaption,
                         const TTextRow& step, const TTextRow& hint) {
        action->setEnabled(can);
        SetHint(action, Tr(hint));
        if (!can) {
            action->setText(Tr(caption));
            return;
        }
        action->setText(Tr(stepCaption).replace(QStringLiteral("%1"), Tr(step)));
        action->setToolTip(action->text().remove(QLatin1Char('&')));
    };
    const bool canUndo = history && history->CanUndo();
    const bool canRedo = history && history->CanRedo();
    show(EditUndo1, canUndo, UndoCaption, UndoStepCaption, canUndo ? history->UndoName() : TTextRow{},
         UndoHint);
    show(EditRedo1, canRedo, RedoCaption, RedoStepCaption, canRedo ? history->RedoName() : TTextRow{},
         RedoHint);
}

void TMainForm::UpdateWindowActions()
{
    const bool any = !Children().isEmpty();
    FileClose1->setEnabled(ActiveMDIChild() != nullptr);
    for (QAction* action :
         {WindowCascade1, WindowTileHorizontal1, WindowTileVertical1, WindowMinimizeAll1, WindowArrangeAll1})
        action->setEnabled(any);
}

void TMainForm::UpdateWindowMenu()
{
    Window1->clear();
    Window1->addActions(
        {WindowCascade1, WindowTileHorizontal1, WindowTileVertical1, WindowMinimizeAll1, WindowArrangeAll1});
    Window1->addSeparator();
    Window1->addAction(Preview->ToggleAction);
    const QList<TMDIChild*> children = Children();
    if (children.isEmpty())
        return;
    Window1->addSeparator();
    TMDIChild* active = ActiveMDIChild();
    for (int i = 0; i < children.size(); ++i) {
        TMDIChild* child = children[i];
        // Numbers 1 to 9 carry an accelerator; a "&" of the title shows as such.
        QString title = child->windowTitle();
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        const QString text = i < 9 ? QStringLiteral("&%1 %2").arg(i + 1).arg(title)
                                   : QStringLiteral("%1 %2").arg(i + 1).arg(title);
        QAction* action = Window1->addAction(text);
        action->setCheckable(true);
        action->setChecked(child == active);
        QPointer<TMDIChild> target(child);
        connect(action, &QAction::triggered, this, [this, target] {
            RunGuarded([this, target] {
                if (target) {
                    if (target->isMinimized())
                        target->showNormal();
                    MdiArea->setActiveSubWindow(target);
                }
            });
        });
    }
}

// --- the frame's own window commands --------------------------------------

void TMainForm::CloseActiveChild()
{
    if (QMdiSubWindow* window = MdiArea->currentSubWindow())
        window->close();
}

void TMainForm::CascadeChildren()
{
    MdiArea->cascadeSubWindows();
}

void TMainForm::TileChildrenHorizontally()
{
    TileChildren(Qt::Vertical);
}

void TMainForm::TileChildrenVertically()
{
    TileChildren(Qt::Horizontal);
}

// Lays the windows that are not minimised out in one line: Qt::Vertical puts
// them one above the other, Qt::Horizontal side by side. Minimised windows
// keep the bottom row.
void TMainForm::TileChildren(Qt::Orientation direction)
{
    QList<TMDIChild*> windows;
    int iconRow = 0;
    for (TMDIChild* child : Children()) {
        if (child->isMinimized())
            iconRow = std::max(iconRow, child->height());
        else if (!child->isHidden())
            windows << child;
    }
    if (windows.isEmpty())
        return;
    if (iconRow > 0)
        ArrangeIcons();
    QRect area = MdiArea->viewport()->rect();
    area.setBottom(area.bottom() - iconRow);
    const int n = int(windows.size());
    for (int i = 0; i < n; ++i) {
        QRect cell;
        if (direction == Qt::Vertical) {
            const int top = area.top() + area.height() * i / n;
            const int bottom = area.top() + area.height() * (i + 1) / n;
            cell = QRect(area.left(), top, area.width(), bottom - top);
        } else {
            const int left = area.left() + area.width() * i / n;
            const int right = area.left() + area.width() * (i + 1) / n;
            cell = QRect(left, area.top(), right - left, area.height());
        }
        if (windows[i]->isMaximized())
            windows[i]->showNormal();
        windows[i]->setGeometry(cell);
    }
}

void TMainForm::MinimizeAllChildren()
{
    const QList<TMDIChild*> children = Children();
    for (qsizetype i = children.size() - 1; i >= 0; --i)
        children[i]->showMinimized();
}

// Minimised windows line up along the bottom, from left to right, in rows
// that grow upwards.
void TMainForm::ArrangeIcons()
{
    const QRect area = MdiArea->viewport()->rect();
    int x = 0;
    int bottom = area.bottom() + 1;
    int rowHeight = 0;
    for (TMDIChild* child : Children()) {
        if (!child->isMinimized())
            continue;
        const QSize size = child->size();
        if (x > 0 && x + size.width() > area.width()) {
            x = 0;
            bottom -= rowHeight;
            rowHeight = 0;
        }
        child->move(x, bottom - size.height());
        x += size.width();
        rowHeight = std::max(rowHeight, size.height());
    }
}

// --- File commands --------------------------------------------------------

QString TMainForm::NewCatalogName() const
{
    return QStringLiteral("noname%1.cat").arg(MDIChildCount() + 1);
}

void TMainForm::FileNew1Execute()
{
    OpenCatalogWindow(NewCatalogName(), TCatalogSource::New);
}

void TMainForm::FileOpen1Execute()
{
    OpenDialog.Filter = CatalogFilter;
    OpenDialog.DefaultExt = CatalogExt;
    if (!OpenDialog.Execute(this))
        return;
    OpenCatalogWindow(OpenDialog.FileName);
}

bool TMainForm::SaveCatalog(TMDIChild* child)
{
    if (!child)
        return false;
    const QString fileName = child->windowTitle();
    if (!HasDirectory(fileName))
        return SaveCatalogAs(child);
    CatalogSaving::Save(child->Cat, fileName, this);
    child->Modified = false;
    RecentFiles->Add(fileName);
    return true;
}

bool TMainForm::SaveCatalogAs(TMDIChild* child)
{
    if (!child)
        return false;
    SaveDialog.Filter = CatalogFilter;
    SaveDialog.DefaultExt = CatalogExt;
    SaveDialog.FileName = child->windowTitle();
    if (!SaveDialog.Execute(this))
        return false;
    // A bare name would send Save back here; it is relative to the working folder.
    QString fileName = SaveDialog.FileName;
    if (!HasDirectory(fileName))
        fileName = ZLT_FileNames::Absolute(fileName);
    child->setWindowTitle(fileName);
    return SaveCatalog(child);
}

void TMainForm::FileSave1Execute()
{
    SaveCatalog(ActiveMDIChild());
}

void TMainForm::FileSaveAs1Execute()
{
    SaveCatalogAs(ActiveMDIChild());
}

void TMainForm::OpenRecentFile(const QString& fileName)
{
    if (!ZLT_Files::FileExists(fileName)) {
        RecentFiles->Remove(fileName);
        Dialogs::ShowMessage(this, QStringLiteral("Trevasc"),
                             Tr(MessageTexts[RecentFileMissingText]).arg(QDir::toNativeSeparators(fileName)));
        return;
    }
    OpenCatalogWindow(fileName);
}

void TMainForm::FileExit1Execute()
{
    close();
}

// --- Edit commands --------------------------------------------------------

void TMainForm::EditCopy1Execute()
{
    if (TMDIChild* child = ActiveMDIChild())
        child->CopySelection(ClipboardFrames);
    EditPaste1->setEnabled(true);
}

void TMainForm::EditCut1Execute()
{
    TMDIChild* child = ActiveMDIChild();
    if (!child)
        return;
    child->CopySelection(ClipboardFrames);
    EditPaste1->setEnabled(true);
    child->EmptySelectedSlots(StepNames::Cut);
}

void TMainForm::EditPaste1Execute()
{
    if (TMDIChild* child = ActiveMDIChild())
        child->PasteFrames(ClipboardFrames.get(), child->SelStart());
}

void TMainForm::EditUndo1Execute()
{
    if (TMDIChild* child = ActiveMDIChild())
        child->UndoStep();
}

void TMainForm::EditRedo1Execute()
{
    if (TMDIChild* child = ActiveMDIChild())
        child->RedoStep();
}

// --- picture folders ------------------------------------------------------

QString TMainForm::PickExistingFolder(int prompt)
{
    const QString directory =
        Dialogs::PickFolder(this, QString::fromUtf16(FolderPrompts[prompt][TextColumn()]));
    if (directory.isEmpty())
        return QString();
    if (!ZLT_FileNames::IsDirectory(directory)) {
        Dialogs::ShowMessage(this, QStringLiteral("Trevasc"),
                             directory + QStringLiteral(" does not exists."));
        return QString();
    }
    return directory;
}

void TMainForm::FileExportPics1Execute()
{
    const QString directory = PickExistingFolder(0);
    if (directory.isEmpty())
        return;
    if (TMDIChild* child = ActiveMDIChild())
        child->ExportPics(directory);
}

void TMainForm::FileImportPicDir1Execute()
{
    const QString directory = PickExistingFolder(1);
    if (directory.isEmpty())
        return;
    TMDIChild* child = OpenCatalogWindow(NewCatalogName(), TCatalogSource::New);
    child->ImportPics(directory);
}

// --- ILDA files -----------------------------------------------------------

TMDIChild* TMainForm::ImportIldaFile(const QString& fileName)
{
    return IldaCommands::ImportIntoNewWindow(fileName);
}

void TMainForm::FileImportIlda1Execute()
{
    IldaCommands::ImportFile();
}

void TMainForm::FileExportIlda1Execute()
{
    if (TMDIChild* child = ActiveMDIChild())
        IldaCommands::ExportCatalog(*child);
}

// --- laser output ---------------------------------------------------------

void TMainForm::LaserOutput1Execute()
{
    Laser->OutputCommand(LaserOutput1->isChecked(), this);
}

void TMainForm::LaserBlackout1Execute()
{
    Laser->Stop();
}

void TMainForm::LaserSettings1Execute()
{
    Laser->EditSettings(this);
}

// --- settings -------------------------------------------------------------

QString TMainForm::IniFileName()
{
    return SettingsLocation::IniFileName();
}

void TMainForm::LoadIniSettings()
{
    const TIniFile ini(IniFileName());
    // A file that exists but cannot be read keeps the defaults for this run
    // and is left as it is at the end, so its other sections survive.
    FIniReadError = {ini.ReadError(0), ini.ReadError(1)};
    Language = ini.ReadInteger(IniSection, QStringLiteral("Language"), 0);
    PalettePath = ini.ReadString(IniSection, QStringLiteral("PathToPalettes"), DefaultPalettePath);
    Preview->LoadSettings(ini);
    Laser->LoadSettings(ini);
    Frames->LoadSettings(ini);
    RecentFiles->Load(ini);
    IldaCommands::LoadSettings(ini);
    Vector->LoadSettings(ini);
    TFileDialog::LoadSettings(ini);
}

void TMainForm::SaveIniSettings()
{
    if (!FIniReadError[0].isEmpty()) {
        Dialogs::ShowMessage(this, QStringLiteral("Trevasc"),
                             Tr(MessageTexts[SettingsUnreadableText]).arg(FIniReadError[size_t(TextColumn())]));
        return;
    }
    const QString fileName = IniFileName();
    SettingsLocation::CreateFolderFor(fileName);
    TIniFile ini(fileName);
    ini.WriteInteger(IniSection, QStringLiteral("Language"), Language);
    // A path the file's encoding cannot hold keeps the one stored before.
    if (ini.CanHold(PalettePath))
        ini.WriteString(IniSection, QStringLiteral("PathToPalettes"), PalettePath);
    Preview->SaveSettings(ini); // its own section, after this one
    Laser->SaveSettings(ini);
    Frames->SaveSettings(ini);
    RecentFiles->Save(ini);
    IldaCommands::SaveSettings(ini);
    Vector->SaveSettings(ini);
    TFileDialog::SaveSettings(ini);
    ini.UpdateFile();
}

void TMainForm::EditSettingsAction1Execute()
{
    if (!SettingsBox)
        return;
    SettingsBox->EditPalPath->setText(PalettePath);
    SettingsBox->ComboBoxLanguage->setCurrentIndex(Language == 0 || Language == 1 ? Language : -1);
    if (SettingsBox->exec() != QDialog::Accepted)
        return;
    PalettePath = SettingsBox->EditPalPath->text();
    Language = SettingsBox->ComboBoxLanguage->currentIndex();
    QtTranslations::Apply(IsGerman());
    ApplyLanguage();
    Preview->ApplyLanguage();
    if (OverwriteBox)
        OverwriteBox->ApplyLanguage();
    SettingsBox->ApplyLanguage();
    if (AboutBox)
        AboutBox->ApplyLanguage();
    for (TMDIChild* child : Children())
        child->ApplyLanguage();
}

void TMainForm::HelpAbout1Execute()
{
    if (AboutBox)
        AboutBox->exec();
}

// --- shut-down ------------------------------------------------------------

void TMainForm::closeEvent(QCloseEvent* event)
{
    // Not in the middle of a job that runs behind a modal dialog.
    if (CommandsBlocked()) {
        event->ignore();
        return;
    }
    // Each window is asked in the frame's order; the first refusal stops all.
    FEnding = true;
    bool mayClose = false;
    const QList<TMDIChild*> asked = Children();
    RunGuarded([&] {
        for (TMDIChild* child : asked)
            if (!child->FormCloseQuery())
                return;
        mayClose = true;
    });
    // Files handed over before the end began are opened, not dropped: those
    // still waiting, and those a question's end let open in a new window.
    if (!mayClose || FileOpener::FilesWaiting() || Children() != asked) {
        FEnding = false;
        event->ignore();
        return;
    }
    // The projector goes dark before anything else ends.
    Laser->Stop();
    // The windows have agreed: a settings file that cannot be written is
    // reported, and the program ends anyway.
    RunGuarded([this] { FormClose(); });
    const QList<TMDIChild*> children = Children();
    for (TMDIChild* child : children)
        delete child;
    UpdateWindowActions();
    event->accept();
}
