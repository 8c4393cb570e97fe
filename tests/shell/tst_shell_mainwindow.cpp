// The main window as a user meets it: start-up state, menus and toolbar,
// the File commands, Cut/Copy/Paste, the picture-folder commands and the
// window arrangement.

#include "../data/DataTestSupport.h"
#include "FramePreview.h"
#include "Icons.h"
#include "ShellTestKit.h"

#include <QClipboard>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>

#include <sys/stat.h>

using namespace ShellTestKit;

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsWithoutSettingsFile();
    void actionsCarryShortcutsAndImages_data();
    void actionsCarryShortcutsAndImages();
    void toolbarShowsOneSeparator();
    void statusBarShowsTheLongHint();
    void germanTextsShowTheirLetters();

    void newNamesFollowTheWindowCount();
    void openedWindowSpansTheFrame();
    void commandsFollowTheOpenWindows();
    void windowMenuListsTheCatalogs();

    void saveOfNewCatalogAsksForAName();
    void saveAsCancelledKeepsEverything();
    void openLoadsAndSaveWritesWithoutAsking();
    void dialogsGetTheCatalogFilterBack();
    void failedLoadLeavesNoWindow_data();
    void failedLoadLeavesNoWindow();
    void failedSaveKeepsTheChanges();

    void copyCutAndPaste();
    void copyKeysInTheGotoFieldCopyFrames();

    void pictureFolderCommands_data();
    void pictureFolderCommands();
    void exportAndImportThroughTheMenu();

    void tileOneAboveTheOther();
    void tileSideBySide();
    void minimizeAllAndArrangeIcons();
    void cascade();

    void aboutBoxShowsAndCloses();

private:
    TMDIChild* NewWindow();
};

void TestMainWindow::init()
{
    QFile::remove(IniPath());
    StartProgram();
    MainForm->resize(1200, 800);
}

void TestMainWindow::cleanup()
{
    EndProgram();
    QFile::remove(IniPath());
}

TMDIChild* TestMainWindow::NewWindow()
{
    MainForm->FileNew1->trigger();
    return MainForm->ActiveMDIChild();
}

void TestMainWindow::startsWithoutSettingsFile()
{
    QCOMPARE(MainForm->windowTitle(), QStringLiteral("Trevasc"));
    QCOMPARE(MainForm->Language, 0);
    QCOMPARE(MainForm->PalettePath, QStringLiteral("C:\\laser\\"));
    QCOMPARE(MainForm->MDIChildCount(), 0);
    QVERIFY(!MainForm->ActiveMDIChild());
    QVERIFY(!MainForm->ClipboardFrames);
    QVERIFY(!MainForm->DragFrames);

    QVERIFY(!MainForm->FileSave1->isEnabled());
    QVERIFY(!MainForm->FileSaveAs1->isEnabled());
    QVERIFY(!MainForm->FileExportPics1->isEnabled());
    QVERIFY(!MainForm->FileExportIlda1->isEnabled());
    QVERIFY(MainForm->FileImportPicDir1->isEnabled());
    QVERIFY(MainForm->FileImportIlda1->isEnabled());
    QVERIFY(MainForm->EditPaste1->isEnabled());
    QVERIFY(!MainForm->FileClose1->isEnabled());
    for (QAction* action :
         {MainForm->WindowCascade1, MainForm->WindowTileHorizontal1, MainForm->WindowTileVertical1,
          MainForm->WindowMinimizeAll1, MainForm->WindowArrangeAll1})
        QVERIFY2(!action->isEnabled(), qPrintable(action->objectName()));

    // English texts, the picture commands' initial captions replaced.
    QStringList menus;
    for (QAction* entry : MainForm->menuBar()->actions())
        menus << entry->text();
    QCOMPARE(menus, QStringList({"&File", "&Edit", "F&rames", "&Window", "&Laser", "&Help"}));
    QCOMPARE(MainForm->FileExportPics1->text(), QStringLiteral("Export &PIC files..."));
    QCOMPARE(MainForm->FileImportPicDir1->text(), QStringLiteral("&Import PIC directory..."));
    QCOMPARE(MainForm->EditCut1->text(), QStringLiteral("Cut"));
    QCOMPARE(MainForm->FileSaveAs1->toolTip(), QStringLiteral("Save As"));
    QCOMPARE(MainForm->FileSaveAs1->statusTip(), QStringLiteral("Save current file with different name"));
    QCOMPARE(MainForm->WindowCascade1->statusTip(), QStringLiteral("Cascade"));
    QCOMPARE(MainForm->menuBar()->actions().at(3)->statusTip(), QStringLiteral("Window related commands"));

    QStringList file;
    for (QAction* entry : MainForm->menuBar()->actions().at(0)->menu()->actions())
        file << (entry->isSeparator() ? QStringLiteral("-") : entry->objectName());
    QCOMPARE(file, QStringList({"FileNew1", "FileOpen1", "FileClose1", "FileSave1", "FileSaveAs1", "-",
                                "FileImportPicDir1", "FileExportPics1", "FileImportIlda1", "FileExportIlda1",
                                "FileImportVector1", "FileImportVectorFolder1", "-", "FileExit1"}));
    QCOMPARE(MainForm->FileImportIlda1->text(), QStringLiteral("Import I&LDA file..."));
    QCOMPARE(MainForm->FileExportIlda1->text(), QStringLiteral("Export IL&DA file..."));
}

void TestMainWindow::actionsCarryShortcutsAndImages_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<int>("image"); // -1: none
    QTest::newRow("New") << "FileNew1"
                         << "Ctrl+N" << int(Icons::New);
    QTest::newRow("Open") << "FileOpen1"
                          << "Ctrl+O" << int(Icons::Open);
    QTest::newRow("Save") << "FileSave1"
                          << "Ctrl+S" << int(Icons::Save);
    QTest::newRow("Cut") << "EditCut1"
                         << "Ctrl+X" << int(Icons::Cut);
    QTest::newRow("Copy") << "EditCopy1"
                          << "Ctrl+C" << int(Icons::Copy);
    QTest::newRow("Paste") << "EditPaste1"
                           << "Ctrl+V" << int(Icons::Paste);
    QTest::newRow("Undo") << "EditUndo1"
                          << "Ctrl+Z" << int(Icons::Undo);
    QTest::newRow("Redo") << "EditRedo1"
                          << "Ctrl+Shift+Z" << int(Icons::Redo);
    QTest::newRow("Cascade") << "WindowCascade1"
                             << "" << int(Icons::Cascade);
    QTest::newRow("Tile horizontally") << "WindowTileHorizontal1"
                                       << "" << int(Icons::TileHorizontal);
    QTest::newRow("Tile vertically") << "WindowTileVertical1"
                                     << "" << int(Icons::TileVertical);
    QTest::newRow("Save As") << "FileSaveAs1"
                             << "" << -1;
    QTest::newRow("Close") << "FileClose1"
                           << "" << -1;
    QTest::newRow("Settings") << "EditSettingsAction1"
                              << "" << -1;
}

void TestMainWindow::actionsCarryShortcutsAndImages()
{
    QFETCH(QString, action);
    QFETCH(QString, shortcut);
    QFETCH(int, image);
    auto* a = MainForm->findChild<QAction*>(action);
    QVERIFY(a);
    QCOMPARE(a->shortcut(), QKeySequence(shortcut));
    if (image < 0) {
        QVERIFY(a->icon().isNull());
        return;
    }
    const QImage expected = Icons::ListImage(image).pixmap(16, 16).toImage();
    QCOMPARE(expected.size(), QSize(16, 16));
    QVERIFY(expected.hasAlphaChannel());
    bool seeThrough = false; // the background shows through somewhere
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            seeThrough = seeThrough || expected.pixelColor(x, y).alpha() == 0;
    QVERIFY(seeThrough);
    QCOMPARE(a->icon().pixmap(16, 16).toImage().convertToFormat(expected.format()), expected);
}

void TestMainWindow::toolbarShowsOneSeparator()
{
    auto* bar = MainForm->findChild<QToolBar*>(QStringLiteral("ToolBar"));
    QVERIFY(bar);
    QCOMPARE(bar->iconSize(), QSize(16, 16));
    QStringList shown;
    for (QAction* action : bar->actions())
        if (action->isVisible())
            shown << (action->isSeparator() ? QStringLiteral("|") : action->objectName());
    QCOMPARE(shown, QStringList({"FileNew1", "FileOpen1", "FileSave1", "|", "EditCut1", "EditCopy1",
                                 "EditPaste1", "EditUndo1", "EditRedo1", "WindowCascade1",
                                 "WindowTileHorizontal1", "WindowTileVertical1", "LaserOutput1"}));

    // The hidden separator takes no room: Cascade sits as close to Redo as
    // Copy to Cut, while the visible one leaves a gap.
    QApplication::processEvents();
    const auto left = [bar](QAction* a) { return bar->widgetForAction(a)->geometry().left(); };
    const auto right = [bar](QAction* a) { return bar->widgetForAction(a)->geometry().right(); };
    const int plainGap = left(MainForm->EditCopy1) - right(MainForm->EditCut1);
    QCOMPARE(left(MainForm->WindowCascade1) - right(MainForm->EditRedo1), plainGap);
    QVERIFY(left(MainForm->EditCut1) - right(MainForm->FileSave1) > plainGap);

    auto* cut = qobject_cast<QToolButton*>(bar->widgetForAction(MainForm->EditCut1));
    QVERIFY(cut);
    QCOMPARE(cut->toolButtonStyle(), Qt::ToolButtonIconOnly);
    QCOMPARE(cut->toolTip(), QStringLiteral("Cut"));
}

void TestMainWindow::statusBarShowsTheLongHint()
{
    QMenu* file = MainForm->menuBar()->actions().at(0)->menu();
    file->popup(MainForm->mapToGlobal(QPoint(10, 10)));
    QTRY_VERIFY(file->isVisible());
    file->setActiveAction(MainForm->FileNew1);
    QCOMPARE(MainForm->statusBar()->currentMessage(), QStringLiteral("Create a new file"));
    file->setActiveAction(MainForm->FileImportPicDir1);
    QCOMPARE(MainForm->statusBar()->currentMessage(),
             QStringLiteral("Imports all PIC files from a directory into a CAT file"));
    file->close();
}

void TestMainWindow::germanTextsShowTheirLetters()
{
    MainForm->Language = 1;
    MainForm->ApplyLanguage();
    QCOMPARE(MainForm->FileOpen1->text(), QStringLiteral("Ö&ffnen"));
    QCOMPARE(MainForm->FileClose1->text(), QStringLiteral("&Schließen"));
    QCOMPARE(MainForm->EditPaste1->text(), QStringLiteral("&Einfügen"));
    QCOMPARE(MainForm->WindowCascade1->text(), QStringLiteral("&Überlappend"));
    QCOMPARE(MainForm->EditCut1->text(), QStringLiteral("&Ausschneiden"));
    QCOMPARE(MainForm->EditSettingsAction1->statusTip(), QStringLiteral("Verschiedene Optionen ändern"));
    QCOMPARE(MainForm->FileOpen1->toolTip(), QStringLiteral("Öffnen"));
    QCOMPARE(MainForm->menuBar()->actions().at(1)->text(), QStringLiteral("&Bearbeiten"));
    QCOMPARE(MainForm->windowTitle(), QStringLiteral("Trevasc"));

    MainForm->Language = 2; // anything but 1 is English
    MainForm->ApplyLanguage();
    QCOMPARE(MainForm->FileOpen1->text(), QStringLiteral("&Open"));
    QCOMPARE(MainForm->menuBar()->actions().at(1)->text(), QStringLiteral("&Edit"));
}

void TestMainWindow::newNamesFollowTheWindowCount()
{
    NewWindow();
    QCOMPARE(Titles(), QStringList({"noname1.cat"}));
    NewWindow();
    NewWindow();
    QCOMPARE(Titles(), QStringList({"noname1.cat", "noname2.cat", "noname3.cat"}));
    TMDIChild* third = MainForm->ActiveMDIChild();
    QCOMPARE(third->windowTitle(), QStringLiteral("noname3.cat"));
    QVERIFY(third->Modified);
    QCOMPARE(third->Cat.Frames.Count(), TZLT_Cat::SlotCount);

    // With one window closed, the next name may repeat an open one.
    MainForm->MDIChildren(0)->Modified = false;
    QVERIFY(MainForm->MDIChildren(0)->close());
    QTRY_COMPARE(MainForm->MDIChildCount(), 2);
    NewWindow();
    QCOMPARE(Titles(), QStringList({"noname2.cat", "noname3.cat", "noname3.cat"}));
}

void TestMainWindow::openedWindowSpansTheFrame()
{
    TMDIChild* first = NewWindow();
    TMDIChild* second = NewWindow();
    QCOMPARE(MainForm->ActiveMDIChild(), second);
    QVERIFY(second->isVisible());
    for (TMDIChild* child : {first, second}) {
        QCOMPARE(child->geometry().left(), 0);
        QCOMPARE(child->width(), MainForm->MdiArea->viewport()->width());
    }
}

void TestMainWindow::commandsFollowTheOpenWindows()
{
    const auto windowCommands = [] {
        QList<bool> states;
        for (QAction* action :
             {MainForm->WindowCascade1, MainForm->WindowTileHorizontal1, MainForm->WindowTileVertical1,
              MainForm->WindowMinimizeAll1, MainForm->WindowArrangeAll1})
            states << action->isEnabled();
        return states;
    };
    const QList<bool> on(5, true);
    const QList<bool> off(5, false);

    TMDIChild* first = NewWindow();
    QVERIFY(MainForm->FileSave1->isEnabled());
    QVERIFY(MainForm->FileSaveAs1->isEnabled());
    QVERIFY(MainForm->FileExportPics1->isEnabled());
    QVERIFY(MainForm->FileExportIlda1->isEnabled());
    QVERIFY(MainForm->FileClose1->isEnabled());
    QCOMPARE(windowCommands(), on);
    NewWindow();

    // Close asks the window (unsaved: answered No) and closes it.
    QStringList asked;
    Dialogs::AskHook = [&asked](const QString&, const QString& text) {
        asked << text;
        return QMessageBox::No;
    };
    MainForm->FileClose1->trigger();
    QCOMPARE(asked, QStringList({"File noname2.cat not saved, save ?"}));
    QTRY_COMPARE(MainForm->MDIChildCount(), 1);
    QVERIFY(MainForm->FileSave1->isEnabled());
    QVERIFY(MainForm->FileSaveAs1->isEnabled());
    QVERIFY(MainForm->FileExportPics1->isEnabled());
    QVERIFY(MainForm->FileExportIlda1->isEnabled());
    QTRY_COMPARE(MainForm->ActiveMDIChild(), first);
    QVERIFY(MainForm->FileClose1->isEnabled());

    MainForm->FileClose1->trigger();
    QTRY_COMPARE(MainForm->MDIChildCount(), 0);
    QVERIFY(!MainForm->FileSave1->isEnabled());
    QVERIFY(!MainForm->FileSaveAs1->isEnabled());
    QVERIFY(!MainForm->FileExportPics1->isEnabled());
    QVERIFY(!MainForm->FileExportIlda1->isEnabled());
    QVERIFY(MainForm->FileImportPicDir1->isEnabled());
    QTRY_VERIFY(!MainForm->FileClose1->isEnabled());
    QTRY_COMPARE(windowCommands(), off);

    NewWindow();
    QVERIFY(MainForm->FileSave1->isEnabled());
    QCOMPARE(windowCommands(), on);
}

void TestMainWindow::windowMenuListsTheCatalogs()
{
    NewWindow();
    TMDIChild* second = NewWindow();
    second->setWindowTitle(QStringLiteral("/tmp/R&B.cat"));
    TMDIChild* first = MainForm->MDIChildren(0);
    MainForm->MdiArea->setActiveSubWindow(first);

    QMenu* window = MainForm->menuBar()->actions().at(3)->menu();
    emit window->aboutToShow();
    const QList<QAction*> entries = window->actions();
    QCOMPARE(entries.size(), 10);
    QCOMPARE(entries.mid(0, 5), QList<QAction*>({MainForm->WindowCascade1, MainForm->WindowTileHorizontal1,
                                                 MainForm->WindowTileVertical1, MainForm->WindowMinimizeAll1,
                                                 MainForm->WindowArrangeAll1}));
    // The preview's entry, then the catalogs.
    QVERIFY(entries[5]->isSeparator());
    QCOMPARE(entries[6], MainForm->Preview->ToggleAction);
    QVERIFY(entries[7]->isSeparator());
    QCOMPARE(entries[8]->text(), QStringLiteral("&1 noname1.cat"));
    QCOMPARE(entries[9]->text(), QStringLiteral("&2 /tmp/R&&B.cat"));
    QVERIFY(entries[8]->isChecked());
    QVERIFY(!entries[9]->isChecked());

    entries[9]->trigger();
    QCOMPARE(MainForm->ActiveMDIChild(), second);
    emit window->aboutToShow();
    QVERIFY(!window->actions()[8]->isChecked());
    QVERIFY(window->actions()[9]->isChecked());
}

void TestMainWindow::saveOfNewCatalogAsksForAName()
{
    QTemporaryDir dir;
    TMDIChild* child = NewWindow();
    const QString target = dir.filePath(QStringLiteral("first.cat"));
    int shown = 0;
    TFileDialog::TestHook = [&](TFileDialog& dialog) {
        ++shown;
        if (dialog.DialogKind() != TFileDialog::Kind::Save ||
            dialog.FileName != QStringLiteral("noname1.cat") ||
            dialog.Filter != QStringLiteral("ZLT Catalog files (*.cat)|*.cat") || dialog.DefaultExt != "cat")
            return false;
        dialog.FileName = target;
        return true;
    };
    MainForm->FileSave1->trigger();
    QCOMPARE(shown, 1);
    QCOMPARE(child->windowTitle(), target);
    QVERIFY(!child->Modified);
    QCOMPARE(ReadFile(target), QByteArray(98301, '\0'));

    // Saved under a chosen name, Save writes without asking.
    child->Cat.Frames.SetFrame(3, Frame(2));
    child->Modified = true;
    MainForm->FileSave1->trigger();
    QCOMPARE(shown, 1);
    QVERIFY(!child->Modified);
    QCOMPARE(ReadFile(target), child->Cat.ToBytes());
    QVERIFY(Errors().isEmpty());
}

void TestMainWindow::saveAsCancelledKeepsEverything()
{
    QTemporaryDir dir;
    TMDIChild* child = NewWindow();
    TFileDialog::TestHook = [](TFileDialog&) { return false; };
    MainForm->FileSaveAs1->trigger();
    MainForm->FileSave1->trigger();
    QCOMPARE(child->windowTitle(), QStringLiteral("noname1.cat"));
    QVERIFY(child->Modified);
    QVERIFY(!QFile::exists(QStringLiteral("noname1.cat")));
    QVERIFY(Errors().isEmpty());
}

void TestMainWindow::openLoadsAndSaveWritesWithoutAsking()
{
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("show.cat"));
    {
        TZLT_Cat cat;
        cat.Frames.SetFrame(0, Frame(5));
        cat.Frames.SetFrame(32766, Frame(1, 100));
        cat.SaveToFile(fileName);
    }
    const QByteArray original = ReadFile(fileName);

    QString proposedName;
    TFileDialog::TestHook = [&](TFileDialog& dialog) {
        if (dialog.DialogKind() != TFileDialog::Kind::Open)
            return false;
        dialog.FileName = fileName;
        return true;
    };
    MainForm->FileOpen1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    QVERIFY(child);
    QCOMPARE(child->windowTitle(), fileName);
    QVERIFY(!child->Modified);
    QCOMPARE(child->Cat.Frames.GetFrame(0).Count(), 5);
    QCOMPARE(child->Cat.Frames.GetFrame(32766).Count(), 1);

    // The same file again: a second, independent window.
    MainForm->FileOpen1->trigger();
    QCOMPARE(MainForm->MDIChildCount(), 2);
    TMDIChild* again = MainForm->ActiveMDIChild();
    QVERIFY(again != child);

    TFileDialog::TestHook = [](TFileDialog&) -> bool {
        qWarning("no dialog expected");
        return false;
    };
    again->Cat.Frames.GetFrame(0).Clear();
    again->Modified = true;
    MainForm->FileSave1->trigger();
    QVERIFY(!again->Modified);
    QVERIFY(ReadFile(fileName) != original);
    QCOMPARE(ReadFile(fileName), again->Cat.ToBytes());
    QCOMPARE(child->Cat.Frames.GetFrame(0).Count(), 5);
}

void TestMainWindow::dialogsGetTheCatalogFilterBack()
{
    TMDIChild* child = NewWindow();
    child->Cat.Frames.SetFrame(7, Frame(2));
    child->SelectSlots(7, 7);
    QStringList seen;
    TFileDialog::TestHook = [&seen](TFileDialog& dialog) {
        seen << dialog.Filter + QLatin1Char(' ') + dialog.DefaultExt;
        return false;
    };
    // The catalog window's picture commands use the same two dialogs.
    child->LoadPicAction->trigger();
    child->SavePicAction->trigger();
    MainForm->FileOpen1->trigger();
    MainForm->FileSaveAs1->trigger();
    QCOMPARE(seen,
             QStringList({"ZLT PIC files (*.pic)|*.pic pic", "ZLT PIC files (*.pic)|*.pic pic",
                          "ZLT Catalog files (*.cat)|*.cat cat", "ZLT Catalog files (*.cat)|*.cat cat"}));
    // Open keeps the name last used; Save As proposes the window's title.
    QCOMPARE(MainForm->OpenDialog.FileName, QStringLiteral("00007.pic"));
    QCOMPARE(MainForm->SaveDialog.FileName, child->windowTitle());
    QCOMPARE(MainForm->MDIChildCount(), 1);
    QVERIFY(Errors().isEmpty());
}

void TestMainWindow::failedLoadLeavesNoWindow_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("otherWindow");
    QTest::newRow("pipe") << "pipe" << false;
    QTest::newRow("pipe beside another window") << "pipe" << true;
    QTest::newRow("read error") << "read error" << false;
    QTest::newRow("no permission") << "no permission" << false;
    QTest::newRow("no permission beside another window") << "no permission" << true;
}

void TestMainWindow::failedLoadLeavesNoWindow()
{
    QFETCH(QString, kind);
    QFETCH(bool, otherWindow);
    QTemporaryDir dir;
    QString name = dir.filePath(QStringLiteral("frames.cat"));
    const QByteArray old = QByteArray(3, '\0') + "user's frames";
    if (kind == QLatin1String("pipe")) {
        QCOMPARE(::mkfifo(QFile::encodeName(name).constData(), 0600), 0);
    } else if (kind == QLatin1String("read error")) {
        name = QStringLiteral("/proc/self/mem"); // opens, but reading its start fails
    } else {
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(old);
        file.close();
        QVERIFY(QFile::setPermissions(name, QFileDevice::WriteOwner));
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                      QFileDevice::ExeOwner | QFileDevice::ExeOther));
    }
    if (otherWindow)
        NewWindow();
    TFileDialog::TestHook = [&name](TFileDialog& dialog) {
        dialog.FileName = name;
        return true;
    };
    // Whatever went wrong, no window may be left behind whose Save or close
    // question would replace the user's file with an empty catalog.
    const auto check = [&]() -> QString {
        MainForm->FileOpen1->trigger();
        if (Errors().size() != 1 || !Errors()[0].contains(name))
            return QStringLiteral("error shown: ") + Errors().join(QLatin1Char('|'));
        if (Titles().contains(name))
            return QStringLiteral("a window was left for the file");
        if (MainForm->MDIChildCount() != (otherWindow ? 1 : 0))
            return QStringLiteral("windows: ") + Titles().join(QLatin1Char(' '));
        for (QAction* action : {MainForm->FileSave1, MainForm->FileSaveAs1, MainForm->FileExportPics1})
            if (action->isEnabled() != otherWindow)
                return action->objectName() + QStringLiteral(" does not follow the windows left");
        return QString();
    };
    if (kind == QLatin1String("no permission")) {
        DATATEST_VERDICT(DataTest::RunUnprivileged([&]() -> QString {
            if (::access(QFile::encodeName(name).constData(), R_OK) == 0)
                return QStringLiteral("SKIP this user may read the file");
            return check();
        }));
        QFile::setPermissions(name, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(ReadFile(name), old);
    } else {
        const QString verdict = check();
        QVERIFY2(verdict.isEmpty(), qPrintable(verdict));
    }
}

void TestMainWindow::failedSaveKeepsTheChanges()
{
    QTemporaryDir dir;
    TMDIChild* child = NewWindow();
    const QString target = dir.filePath(QStringLiteral("no-such-folder/x.cat"));
    child->setWindowTitle(target);
    MainForm->FileSave1->trigger();
    QCOMPARE(Errors().size(), 1);
    QVERIFY2(Errors()[0].contains(target), qPrintable(Errors()[0]));
    QVERIFY(child->Modified);
    QCOMPARE(child->windowTitle(), target);
}

void TestMainWindow::copyCutAndPaste()
{
    // Copy without a catalog window still enables Paste.
    MainForm->EditPaste1->setEnabled(false);
    MainForm->EditCopy1->trigger();
    QVERIFY(MainForm->EditPaste1->isEnabled());
    QVERIFY(!MainForm->ClipboardFrames);
    MainForm->EditCut1->trigger();
    MainForm->EditPaste1->trigger();
    QVERIFY(!MainForm->ClipboardFrames);

    TMDIChild* source = NewWindow();
    source->Cat.Frames.SetFrame(2, Frame(3, 10));
    source->Cat.Frames.SetFrame(4, Frame(4, 20));
    source->Modified = false;
    source->SelectSlots(2, 4);

    // Copy: clones, the catalog unchanged.
    MainForm->EditCopy1->trigger();
    QVERIFY(MainForm->ClipboardFrames);
    QCOMPARE(MainForm->ClipboardFrames->Count(), 3);
    QCOMPARE(MainForm->ClipboardFrames->GetFrame(0), *Frame(3, 10));
    QVERIFY(!MainForm->ClipboardFrames->GetFrame(1).Used());
    QVERIFY(&MainForm->ClipboardFrames->GetFrame(0) != &source->Cat.Frames.GetFrame(2));
    QVERIFY(!source->Modified);

    // Cut: the selected slots emptied in place, the catalog keeps its size.
    MainForm->EditPaste1->setEnabled(false);
    MainForm->EditCut1->trigger();
    QVERIFY(MainForm->EditPaste1->isEnabled());
    QVERIFY(source->Modified);
    QCOMPARE(source->Cat.Frames.Count(), TZLT_Cat::SlotCount);
    for (int slot = 2; slot <= 4; ++slot)
        QVERIFY(!source->Cat.Frames.GetFrame(slot).Used());
    QCOMPARE(MainForm->ClipboardFrames->GetFrame(2), *Frame(4, 20));

    // Paste into another window at its leftmost selected slot (empty targets:
    // no question), twice in a row.
    TMDIChild* target = NewWindow();
    target->Modified = false;
    target->SelectSlots(10, 12);
    MainForm->EditPaste1->trigger();
    QVERIFY(target->Modified);
    QCOMPARE(target->Cat.Frames.GetFrame(10), *Frame(3, 10));
    QCOMPARE(target->Cat.Frames.GetFrame(12), *Frame(4, 20));
    target->SelectSlots(20, 20);
    MainForm->EditPaste1->trigger();
    QCOMPARE(target->Cat.Frames.GetFrame(22), *Frame(4, 20));
    QCOMPARE(MainForm->ClipboardFrames->Count(), 3);

    // The clipboard outlives the window it came from.
    source->Modified = false;
    QVERIFY(source->close());
    QTRY_COMPARE(MainForm->MDIChildCount(), 1);
    target->SelectSlots(30, 30);
    MainForm->EditPaste1->trigger();
    QCOMPARE(target->Cat.Frames.GetFrame(32), *Frame(4, 20));
    QVERIFY(Errors().isEmpty());
}

void TestMainWindow::copyKeysInTheGotoFieldCopyFrames()
{
    TMDIChild* child = NewWindow();
    child->Cat.Frames.SetFrame(0, Frame(2));
    child->SelectSlots(0, 0);
    MainForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));
    child->SpinEdit->setValue(5);
    child->SpinEdit->setFocus();
    child->SpinEdit->selectAll();
    QTRY_VERIFY(child->SpinEdit->hasFocus());
    QWidget* field = QApplication::focusWidget();
    QVERIFY(field);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    auto* text = child->SpinEdit->findChild<QLineEdit*>();
    QVERIFY(text);
    QVERIFY(text->hasSelectedText()); // the field could copy or cut

    QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
    QVERIFY(MainForm->ClipboardFrames);
    QCOMPARE(MainForm->ClipboardFrames->GetFrame(0), *Frame(2));

    QTest::keyClick(field, Qt::Key_X, Qt::ControlModifier);
    QVERIFY(!child->Cat.Frames.GetFrame(0).Used());
    // The field's own text was neither copied nor cut.
    QCOMPARE(child->SpinEdit->value(), 5);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
}

void TestMainWindow::pictureFolderCommands_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("exporting");
    QTest::addColumn<QString>("prompt");
    QTest::newRow("export, English") << 0 << true << "Save PIC files to:";
    QTest::newRow("export, German") << 1 << true << "Speichere PIC Dateien nach:";
    QTest::newRow("import, English") << 0 << false << "Open PIC files from:";
    QTest::newRow("import, German") << 1 << false << "Öffne PIC Dateien von:";
}

// Cancelling and a missing folder: the prompt by language, the message
// always English, and nothing created or written.
void TestMainWindow::pictureFolderCommands()
{
    QFETCH(int, language);
    QFETCH(bool, exporting);
    QFETCH(QString, prompt);
    QTemporaryDir dir;
    MainForm->Language = language;
    TMDIChild* child = nullptr;
    if (exporting) {
        child = NewWindow();
        child->Cat.Frames.SetFrame(1, Frame(2));
    }
    QAction* command = exporting ? MainForm->FileExportPics1 : MainForm->FileImportPicDir1;
    const int windows = MainForm->MDIChildCount();

    QStringList prompts;
    QString answer;
    Dialogs::PickFolderHook = [&](const QString& text) {
        prompts << text;
        return answer;
    };
    QStringList messages;
    Dialogs::MessageHook = [&messages](const QString& title, const QString& text) {
        messages << title + QLatin1Char(':') + text;
    };

    command->trigger(); // cancelled
    const QString missing = dir.filePath(QStringLiteral("gone"));
    answer = missing;
    command->trigger();
    QCOMPARE(prompts, QStringList({prompt, prompt}));
    QCOMPARE(messages,
             QStringList({QStringLiteral("Trevasc:") + missing + QStringLiteral(" does not exists.")}));
    QCOMPARE(MainForm->MDIChildCount(), windows);
    QVERIFY(!QFileInfo::exists(missing));
    QVERIFY(Errors().isEmpty());
}

void TestMainWindow::exportAndImportThroughTheMenu()
{
    QTemporaryDir dir;
    TMDIChild* child = NewWindow();
    child->Cat.Frames.SetFrame(3, Frame(4, 7));
    child->Cat.Frames.SetFrame(10, Frame(2, -5));
    child->Modified = false;
    Dialogs::PickFolderHook = [&dir](const QString&) { return dir.path(); };
    MainForm->FileExportPics1->trigger();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"00003.pic", "00010.pic"}));
    QVERIFY(!child->Modified);

    NewWindow();
    MainForm->FileImportPicDir1->trigger();
    QCOMPARE(Titles(), QStringList({"noname1.cat", "noname2.cat", "noname3.cat"}));
    TMDIChild* imported = MainForm->ActiveMDIChild();
    QCOMPARE(imported->windowTitle(), QStringLiteral("noname3.cat"));
    QVERIFY(imported->Modified);
    QCOMPARE(imported->Cat.Frames.GetFrame(0).Count(), 4);
    QCOMPARE(imported->Cat.Frames.GetFrame(1).Count(), 2);
    QVERIFY(!imported->Cat.Frames.GetFrame(2).Used());
    QVERIFY(Errors().isEmpty());
}

void TestMainWindow::tileOneAboveTheOther()
{
    TMDIChild* a = NewWindow();
    TMDIChild* b = NewWindow();
    MainForm->WindowTileHorizontal1->trigger();
    const QRect area = MainForm->MdiArea->viewport()->rect();
    QCOMPARE(a->geometry(), QRect(0, 0, area.width(), area.height() / 2));
    QCOMPARE(b->geometry(), QRect(0, area.height() / 2, area.width(), area.height() - area.height() / 2));
}

void TestMainWindow::tileSideBySide()
{
    TMDIChild* a = NewWindow();
    TMDIChild* b = NewWindow();
    b->showMaximized();
    MainForm->WindowTileVertical1->trigger();
    const QRect area = MainForm->MdiArea->viewport()->rect();
    QVERIFY(!b->isMaximized());
    QCOMPARE(a->geometry(), QRect(0, 0, area.width() / 2, area.height()));
    QCOMPARE(b->geometry(), QRect(area.width() / 2, 0, area.width() - area.width() / 2, area.height()));
}

void TestMainWindow::minimizeAllAndArrangeIcons()
{
    QList<TMDIChild*> windows{NewWindow(), NewWindow(), NewWindow()};
    // The order in which they are minimised: last to first.
    QList<TMDIChild*> order;
    QObject listening;
    for (TMDIChild* w : windows)
        connect(w, &QMdiSubWindow::windowStateChanged, &listening,
                [&order, w](Qt::WindowStates before, Qt::WindowStates now) {
                    if ((now & Qt::WindowMinimized) && !(before & Qt::WindowMinimized))
                        order << w;
                });
    MainForm->WindowMinimizeAll1->trigger();
    QCOMPARE(order, QList<TMDIChild*>({windows[2], windows[1], windows[0]}));

    for (TMDIChild* w : windows)
        w->move(300, 100); // scattered
    MainForm->WindowArrangeAll1->trigger();
    const QRect area = MainForm->MdiArea->viewport()->rect();
    int x = 0;
    for (TMDIChild* w : windows) {
        QVERIFY(w->isMinimized());
        QCOMPARE(w->geometry().bottom(), area.bottom());
        QCOMPARE(w->x(), x);
        x += w->width();
    }

    // Tiling leaves the icon row free.
    windows[1]->showNormal();
    MainForm->WindowTileHorizontal1->trigger();
    QCOMPARE(windows[1]->geometry().top(), 0);
    QVERIFY(windows[1]->geometry().bottom() < windows[0]->geometry().top());
}

void TestMainWindow::cascade()
{
    TMDIChild* a = NewWindow();
    TMDIChild* b = NewWindow();
    MainForm->WindowCascade1->trigger();
    QVERIFY(b->x() > a->x());
    QVERIFY(b->y() > a->y());
}

void TestMainWindow::aboutBoxShowsAndCloses()
{
    bool shown = false;
    WhenModal([&shown](QWidget* modal) {
        shown = modal == AboutBox;
        QTest::keyClick(modal, Qt::Key_Return); // OK is the default button
    });
    MainForm->HelpAbout1->trigger();
    QVERIFY(shown);
    QVERIFY(!AboutBox->isVisible());
}

QTEST_MAIN(TestMainWindow)
#include "tst_shell_mainwindow.moc"
