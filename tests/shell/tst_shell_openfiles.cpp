// Files from outside the program: opened by kind as the command line and a
// second start hand them over, several failures in one message, files that
// wait while a job runs, and files dropped from a file manager on every
// part of the main window, a PIC file on a grid cell going into that slot.

#include "FileDrop.h"
#include "FileOpener.h"
#include "FrameGrid.h"
#include "Progress.h"
#include "ShellTestKit.h"
#include "ZLT_Ilda.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QScreen>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QUrl>

#include <sys/stat.h>

using namespace ShellTestKit;

class TestOpenFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openFiles_data();
    void openFiles();
    void manyFailuresFitOnTheScreen_data();
    void manyFailuresFitOnTheScreen();
    void handedOverFilesWaitForTheJob();
    void dropOnTheMainWindow_data();
    void dropOnTheMainWindow();
    void dropOnAGrid_data();
    void dropOnAGrid();
    void framesAndTextAreNotFiles();
    void ildaFileUnderAnotherName_data();
    void ildaFileUnderAnotherName();
    void ildaFileInAPictureFolder();
    void largeCatalogShowsProgress_data();
    void largeCatalogShowsProgress();

private:
    // Makes the files a row names: "good.cat", "bad.pic" and so on.
    QString Make(const QString& name);
    QTemporaryDir FDir;
    QStringList FMessages;
};

namespace {

// The frame each good file holds: as many points as its name is long.
std::unique_ptr<TZLT_Frame> FrameFor(const QString& name)
{
    return Frame(int(name.size()), int16_t(name.size() * 100));
}

// What a picture file gives back, as the grid's "Import from PIC file..." reads it.
std::unique_ptr<TZLT_Frame> Loaded(const QString& fileName)
{
    auto frame = std::make_unique<TZLT_Frame>();
    frame->LoadFromPicFile(fileName);
    return frame;
}

// Who takes a drag at a point of the window, as the toolkit decides: the
// widget there, or its nearest ancestor that accepts drops.
QWidget* DropTarget(QWidget* at)
{
    QWidget* target = at;
    while (target && !target->acceptDrops() && !target->isWindow())
        target = target->parentWidget();
    return target && target->acceptDrops() ? target : nullptr;
}

// Drags the data over widget at pos and drops it there; true when the
// target accepted the drop.
bool DragAndDrop(QWidget* widget, QPoint pos, QMimeData* data)
{
    QWidget* target = DropTarget(widget);
    if (!target)
        return false;
    pos = target->mapFromGlobal(widget->mapToGlobal(pos));
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(pos, actions, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(pos, actions, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    if (drop.isAccepted())
        QCoreApplication::processEvents(); // the files open after the drop
    return drop.isAccepted();
}

QMimeData* Urls(const QStringList& files)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& file : files)
        urls << QUrl::fromLocalFile(file);
    data->setUrls(urls);
    data->setText(files.join(QLatin1Char('\n'))); // as file managers also offer it
    return data;
}

// Answers the overwrite-or-insert question with one button, once.
void AnswerOverwriteBox(QPushButton* TOverwriteBox::*button, int* asked)
{
    QTimer::singleShot(0, qApp, [button, asked] {
        if (OverwriteBox->isVisible() && QApplication::activeModalWidget() == OverwriteBox) {
            ++*asked;
            (OverwriteBox->*button)->click();
        } else {
            AnswerOverwriteBox(button, asked);
        }
    });
}

} // namespace

QString TestOpenFiles::Make(const QString& name)
{
    const QString path = FDir.filePath(name);
    const QString base = QFileInfo(name).completeBaseName();
    if (base.startsWith(QLatin1String("good"))) {
        const QString suffix = QFileInfo(name).suffix().toLower();
        if (suffix == QLatin1String("cat")) {
            TZLT_Cat cat;
            cat.Frames.SetFrame(7, FrameFor(name));
            cat.SaveToFile(path);
        } else if (suffix == QLatin1String("pic")) {
            FrameFor(name)->SaveToPicFile(path);
        } else {
            TZLT_FrameList frames;
            frames.Add(FrameFor(name));
            frames.Add(FrameFor(name + name));
            ZLT_Ilda::WriteFile(path, frames, 0, 2, TZLT_Pal(), ZLT_Ilda::TFormat::TrueColor3D);
        }
    } else if (base.startsWith(QLatin1String("ilda"))) {
        // An ILDA file under any name: two frames.
        TZLT_FrameList frames;
        frames.Add(FrameFor(name));
        frames.Add(FrameFor(name + name));
        ZLT_Ilda::WriteFile(path, frames, 0, 2, TZLT_Pal(), ZLT_Ilda::TFormat::TrueColor3D);
    } else if (base.startsWith(QLatin1String("bad")) && name.endsWith(QLatin1String(".ild"))) {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("ILDA"); // no frame in it
    } else if (base.startsWith(QLatin1String("bad")) && name.endsWith(QLatin1String(".cat"))) {
        // Catalogs of any length load; a pipe is refused before anything is read.
        ::mkfifo(QFile::encodeName(path).constData(), 0600);
    } else if (base.startsWith(QLatin1String("bad"))) {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("xy"); // too short for any of the formats
    } else if (base.startsWith(QLatin1String("folder"))) {
        QDir().mkpath(path);
    }
    // "missing...": no file
    return path;
}

void TestOpenFiles::init()
{
    QFile::remove(IniPath());
    StartProgram();
    FMessages.clear();
    Dialogs::MessageHook = [this](const QString& title, const QString& text) {
        QCOMPARE(title, QStringLiteral("Trevasc"));
        FMessages << text;
    };
}

void TestOpenFiles::cleanup()
{
    EndProgram();
    QFile::remove(IniPath());
}

void TestOpenFiles::openFiles_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("titles");  // of the windows afterwards; "*" stands for the folder
    QTest::addColumn<QStringList>("failed");  // the files named in the one message, in order
    QTest::addColumn<QStringList>("reasons"); // a part of each reason

    const QStringList none;
    QTest::newRow("catalog") << QStringList{"good.cat"} << QStringList{"*/good.cat"} << none << none;
    QTest::newRow("picture") << QStringList{"good.pic"} << QStringList{"noname1.cat"} << none << none;
    QTest::newRow("capitals") << QStringList{"good1.CAT", "good2.PIC"}
                              << QStringList{"*/good1.CAT", "noname2.cat"} << none << none;
    QTest::newRow("in the order given")
        << QStringList{"good1.pic", "good2.cat", "good3.pic", "good2.cat"}
        << QStringList{"noname1.cat", "*/good2.cat", "noname3.cat", "*/good2.cat"} << none << none;
    QTest::newRow("bad among good") << QStringList{"good1.cat", "missing.cat", "bad.pic", "good2.pic",
                                                   "bad.cat"}
                                    << QStringList{"*/good1.cat", "noname2.cat"}
                                    << QStringList{"missing.cat", "bad.pic", "bad.cat"}
                                    << QStringList{"File does not exist", "", ""};
    QTest::newRow("one failure") << QStringList{"missing.pic"} << none << QStringList{"missing.pic"}
                                 << QStringList{"File does not exist"};
    QTest::newRow("folder") << QStringList{"folder.cat"} << none << QStringList{"folder.cat"}
                            << QStringList{"folder"};
    QTest::newRow("ILDA") << QStringList{"good.ild", "good.cat"} << QStringList{"noname1.cat", "*/good.cat"}
                          << none << none;
    QTest::newRow("ILDA by its start, bad ILDA")
        << QStringList{"good.dat", "bad.ILD"} << QStringList{"noname1.cat"} << QStringList{"bad.ILD"}
        << QStringList{"bad.ILD"};
    QTest::newRow("palette") << QStringList{"missing.pal"} << none << QStringList{"missing.pal"}
                             << QStringList{"palette"};
    QTest::newRow("other kind") << QStringList{"bad.txt", "good.cat"} << QStringList{"*/good.cat"}
                                << QStringList{"bad.txt"} << QStringList{".cat"};
}

void TestOpenFiles::openFiles()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, titles);
    QFETCH(QStringList, failed);
    QFETCH(QStringList, reasons);
    QStringList paths;
    for (const QString& name : files)
        paths << Make(name);

    const QStringList result = FileOpener::OpenFiles(paths);

    QCOMPARE(Errors(), QStringList());
    QStringList expectedTitles;
    for (const QString& title : titles)
        expectedTitles << QString(title).replace(QLatin1String("*"), FDir.path());
    QCOMPARE(Titles(), expectedTitles);
    // One window per file opened, in order: a catalog as File Open opens
    // it, a picture as a new catalog holding it in slot 0, an ILDA file's
    // two frames in slots 0 and 1.
    QStringList opened = files;
    for (const QString& name : failed)
        opened.removeOne(name);
    QCOMPARE(MainForm->MDIChildCount(), opened.size());
    for (int i = 0; i < opened.size(); ++i) {
        const TMDIChild* child = MainForm->MDIChildren(i);
        const TZLT_FrameList& frames = child->Cat.Frames;
        const QString kind = QFileInfo(opened[i]).suffix().toLower();
        QCOMPARE(child->Modified, kind != QLatin1String("cat"));
        // What a new window opens with is its starting state, not a step.
        QCOMPARE(child->History.UndoCount(), 0);
        QStringList used;
        for (int slot = 0; slot < 10; ++slot)
            if (frames.GetFrame(slot).Used())
                used << QString::number(slot);
        if (kind == QLatin1String("cat")) {
            QCOMPARE(used, QStringList{"7"});
            QCOMPARE(frames.GetFrame(7), *FrameFor(opened[i]));
        } else if (kind == QLatin1String("pic")) {
            QCOMPARE(used, QStringList{"0"});
            QCOMPARE(frames.GetFrame(0), *Loaded(FDir.filePath(opened[i])));
        } else {
            QCOMPARE(used, (QStringList{"0", "1"}));
            QCOMPARE(frames.GetFrame(0).Count(), opened[i].size());
        }
    }

    QStringList failedPaths;
    for (const QString& name : failed)
        failedPaths << FDir.filePath(name);
    QCOMPARE(result, failedPaths);
    if (failed.isEmpty()) {
        QCOMPARE(FMessages, QStringList());
        return;
    }
    QCOMPARE(FMessages.size(), 1);
    const QString& message = FMessages[0];
    QVERIFY2(message.startsWith(failed.size() == 1 ? QStringLiteral("Trevasc could not open this file:")
                                                   : QStringLiteral("Trevasc could not open these files:")),
             qPrintable(message));
    qsizetype at = 0;
    for (int i = 0; i < failed.size(); ++i) {
        at = message.indexOf(failedPaths[i] + QLatin1Char('\n'), at);
        QVERIFY2(at >= 0, qPrintable(failedPaths[i] + QStringLiteral(" in ") + message));
        QVERIFY2(message.indexOf(reasons[i], at) >= 0,
                 qPrintable(reasons[i] + QStringLiteral(" in ") + message));
    }
    for (const QString& name : files)
        if (!failed.contains(name))
            QVERIFY2(!message.contains(FDir.filePath(name) + QLatin1Char('\n')), qPrintable(message));
}

void TestOpenFiles::manyFailuresFitOnTheScreen_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("listed");
    QTest::addColumn<QString>("more"); // the last line, empty when every file is listed

    QTest::newRow("five: all") << 0 << 5 << 5 << QString();
    QTest::newRow("six") << 0 << 6 << 5 << QStringLiteral("and 1 more");
    QTest::newRow("forty") << 0 << 40 << 5 << QStringLiteral("and 35 more");
    QTest::newRow("forty, German") << 1 << 40 << 5 << QStringLiteral("und 35 weitere");
    QTest::newRow("two thousand") << 0 << 2000 << 5 << QStringLiteral("and 1995 more");
}

void TestOpenFiles::manyFailuresFitOnTheScreen()
{
    QFETCH(int, language);
    QFETCH(int, count);
    QFETCH(int, listed);
    QFETCH(QString, more);
    MainForm->Language = language;
    QStringList paths;
    for (int i = 0; i < count; ++i)
        paths << FDir.filePath(QStringLiteral("missing%1.cat").arg(i, 4, 10, QLatin1Char('0')));

    QCOMPARE(FileOpener::OpenFiles(paths), paths);

    QCOMPARE(FMessages.size(), 1);
    const QString& message = FMessages[0];
    for (int i = 0; i < count; ++i)
        QCOMPARE(message.contains(paths[i] + QLatin1Char('\n')), i < listed);
    QCOMPARE(message.endsWith(QLatin1String("\n\n") + more), !more.isEmpty());
    // The box the user sees, with its OK button, fits on the screen.
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Trevasc"), message, QMessageBox::Ok, MainForm);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    const QRect screen = box.screen()->availableGeometry();
    QVERIFY2(box.frameGeometry().height() <= screen.height(),
             qPrintable(QStringLiteral("%1 pixels tall").arg(box.frameGeometry().height())));
}

void TestOpenFiles::handedOverFilesWaitForTheJob()
{
    const QString a = Make(QStringLiteral("good1.cat"));
    const QString b = Make(QStringLiteral("good2.pic"));
    MainForm->showMinimized();
    {
        TModalWork job;
        FileOpener::FilesHandedOver({a});
        FileOpener::FilesHandedOver({b});
        QVERIFY(!MainForm->isMinimized()); // the window comes up at once
        QTest::qWait(300);
        QCOMPARE(MainForm->MDIChildCount(), 0);
    }
    QTRY_COMPARE(Titles(), (QStringList{a, QStringLiteral("noname2.cat")}));
    QCOMPARE(FMessages, QStringList());
}

void TestOpenFiles::dropOnTheMainWindow_data()
{
    QTest::addColumn<QString>("where");
    for (const char* where : {"window", "workspace", "toolbar", "menu bar", "status bar",
                              "catalog window bar", "goto field", "palette list"})
        QTest::newRow(where) << QString::fromLatin1(where);
}

void TestOpenFiles::dropOnTheMainWindow()
{
    QFETCH(QString, where);
    const QString cat = Make(QStringLiteral("good.cat"));
    const QString pic = Make(QStringLiteral("good.pic"));
    const QString missing = Make(QStringLiteral("missing.cat"));
    MainForm->resize(900, 600);
    MainForm->OpenCatalogWindow(Make(QStringLiteral("good0.cat")));
    TMDIChild* first = MainForm->ActiveMDIChild();
    QWidget* widget = nullptr;
    QPoint pos(5, 5);
    if (where == QLatin1String("window"))
        widget = MainForm;
    else if (where == QLatin1String("workspace"))
        widget = MainForm->MdiArea->viewport(), pos = QPoint(widget->width() - 5, widget->height() - 5);
    else if (where == QLatin1String("toolbar"))
        widget = MainForm->findChild<QToolBar*>(QStringLiteral("ToolBar"));
    else if (where == QLatin1String("menu bar"))
        widget = MainForm->menuBar();
    else if (where == QLatin1String("status bar"))
        widget = MainForm->statusBar();
    else if (where == QLatin1String("catalog window bar"))
        widget = first->Bevel;
    else if (where == QLatin1String("goto field"))
        widget = first->SpinEdit->findChild<QLineEdit*>();
    else
        widget = first->findChild<QComboBox*>();
    QVERIFY(widget);
    const QString gotoText = first->SpinEdit->text();

    std::unique_ptr<QMimeData> data(Urls({pic, missing, cat}));
    QVERIFY(DragAndDrop(widget, pos, data.get()));

    QCOMPARE(Titles(), (QStringList{first->windowTitle(), QStringLiteral("noname2.cat"), cat}));
    QCOMPARE(MainForm->MDIChildren(1)->Cat.Frames.GetFrame(0), *Loaded(pic));
    QVERIFY(Loaded(pic)->Used());
    QCOMPARE(FMessages.size(), 1);
    QVERIFY2(FMessages[0].contains(missing), qPrintable(FMessages[0]));
    QCOMPARE(first->SpinEdit->text(), gotoText); // no names typed into the field
    QVERIFY(!first->Modified);
}

void TestOpenFiles::dropOnAGrid_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("header");    // dropped on the label row instead of the thumbnail
    QTest::addColumn<bool>("used");      // slot 5 holds a frame before
    QTest::addColumn<QString>("answer"); // to the overwrite-or-insert question: "", "overwrite", "insert"
    QTest::addColumn<QStringList>("contents"); // what slots 5, 6, 7 hold afterwards: file name or ""
    QTest::addColumn<QStringList>("windows");  // titles of further windows
    QTest::addColumn<int>("messages");

    QTest::newRow("picture into an empty slot") << QStringList{"good.pic"} << false << false << ""
                                                << QStringList{"good.pic", "", ""} << QStringList() << 0;
    QTest::newRow("on the label row") << QStringList{"good.pic"} << true << false << ""
                                      << QStringList{"good.pic", "", ""} << QStringList() << 0;
    QTest::newRow("pictures one after the other")
        << QStringList{"good1.pic", "good22.pic"} << false << false << ""
        << QStringList{"good1.pic", "good22.pic", ""} << QStringList() << 0;
    QTest::newRow("used slot, overwrite") << QStringList{"good.pic"} << false << true << "overwrite"
                                          << QStringList{"good.pic", "", ""} << QStringList() << 0;
    QTest::newRow("used slot, insert") << QStringList{"good.pic"} << false << true << "insert"
                                       << QStringList{"good.pic", "old", ""} << QStringList() << 0;
    QTest::newRow("catalog opens as a window") << QStringList{"good.cat"} << false << false << ""
                                               << QStringList{"", "", ""} << QStringList{"*/good.cat"} << 0;
    QTest::newRow("bad picture among good")
        << QStringList{"bad.pic", "good.pic", "good.cat"} << false << false << ""
        << QStringList{"good.pic", "", ""} << QStringList{"*/good.cat"} << 1;
}

void TestOpenFiles::dropOnAGrid()
{
    QFETCH(QStringList, files);
    QFETCH(bool, header);
    QFETCH(bool, used);
    QFETCH(QString, answer);
    QFETCH(QStringList, contents);
    QFETCH(QStringList, windows);
    QFETCH(int, messages);
    QStringList paths;
    for (const QString& name : files)
        paths << Make(name);
    MainForm->resize(900, 600);
    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    QCoreApplication::processEvents();
    if (used)
        child->Cat.Frames.SetFrame(5, Frame(50, 5000));
    child->Modified = false;
    child->SetLeftmostSlot(4);
    QCoreApplication::processEvents();

    // The middle of slot 5's cell, or of its label.
    auto* grid = static_cast<TFrameGrid*>(child->Grid);
    const int column = 5 - child->LeftmostSlot();
    const QPoint cell((column * (grid->CellSize() + 1)) + grid->CellSize() / 2, grid->CellSize() / 2);
    QWidget* widget = header ? static_cast<QWidget*>(grid->horizontalHeader()) : grid->viewport();
    const QPoint pos = header ? QPoint(cell.x(), TFrameGrid::HeaderHeight / 2) : cell;
    QCOMPARE(child->SlotAt(widget == grid->viewport()
                               ? pos
                               : grid->viewport()->mapFromGlobal(widget->mapToGlobal(pos))),
             5);

    int asked = 0;
    if (answer == QLatin1String("overwrite"))
        AnswerOverwriteBox(&TOverwriteBox::OverwriteBtn, &asked);
    else if (answer == QLatin1String("insert"))
        AnswerOverwriteBox(&TOverwriteBox::InsertBtn, &asked);
    std::unique_ptr<QMimeData> data(Urls(paths));
    QVERIFY(DragAndDrop(widget, pos, data.get()));

    QCOMPARE(asked, answer.isEmpty() ? 0 : 1);
    for (int i = 0; i < 3; ++i) {
        const TZLT_Frame& frame = child->Cat.Frames.GetFrame(5 + i);
        if (contents[i].isEmpty())
            QVERIFY(!frame.Used());
        else if (contents[i] == QLatin1String("old"))
            QCOMPARE(frame, *Frame(50, 5000));
        else
            QCOMPARE(frame, *Loaded(FDir.filePath(contents[i])));
    }
    QCOMPARE(child->Modified, !contents[0].isEmpty());
    QStringList titles{child->windowTitle()};
    for (const QString& title : windows)
        titles << QString(title).replace(QLatin1String("*"), FDir.path());
    QCOMPARE(Titles(), titles);
    QCOMPARE(FMessages.size(), messages);
    QCOMPARE(Errors(), QStringList());
}

void TestOpenFiles::framesAndTextAreNotFiles()
{
    const QString cat = Make(QStringLiteral("good.cat"));
    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    QWidget* viewport = child->Grid->viewport();

    // The grid's own frame drag, even when it also names a file, stays a frame drag.
    MainForm->DragFrames = std::make_unique<TZLT_FrameList>();
    MainForm->DragFrames->Add(Frame(9));
    std::unique_ptr<QMimeData> frames(Urls({cat}));
    frames->setData(TFrameGrid::MimeType, QByteArray());
    QCOMPARE(TFileDrop::LocalFiles(frames.get()), QStringList());

    // Plain text and remote addresses are no files to open.
    std::unique_ptr<QMimeData> text(new QMimeData);
    text->setText(cat);
    QVERIFY(!DragAndDrop(MainForm->MdiArea->viewport(), QPoint(5, 5), text.get()));
    std::unique_ptr<QMimeData> remote(new QMimeData);
    remote->setUrls({QUrl(QStringLiteral("https://example.org/a.cat"))});
    QVERIFY(!DragAndDrop(MainForm->MdiArea->viewport(), QPoint(5, 5), remote.get()));

    // While a job runs, a drop of files is refused.
    std::unique_ptr<QMimeData> files(Urls({cat}));
    {
        TModalWork job;
        QVERIFY(!DragAndDrop(viewport, QPoint(5, 5), files.get()));
        QVERIFY(!DragAndDrop(MainForm, QPoint(5, 5), files.get()));
    }
    QCoreApplication::processEvents();
    QCOMPARE(MainForm->MDIChildCount(), 1);
    QCOMPARE(FMessages, QStringList());
}

void TestOpenFiles::ildaFileUnderAnotherName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("way");
    for (const char* name : {"ilda.cat", "ilda.CAT", "ilda.pic"})
        for (const char* way : {"command line", "File Open", "recent list", "drop", "drop on a cell", "slot"})
            QTest::addRow("%s, %s", name, way) << QString::fromLatin1(name) << QString::fromLatin1(way);
}

void TestOpenFiles::ildaFileUnderAnotherName()
{
    QFETCH(QString, name);
    QFETCH(QString, way);
    const QString path = Make(name);
    const QByteArray original = ReadFile(path);
    MainForm->resize(900, 600);
    TMDIChild* existing = nullptr;
    if (way.startsWith(QLatin1String("drop on")) || way == QLatin1String("slot")) {
        MainForm->FileNew1->trigger();
        existing = MainForm->ActiveMDIChild();
    }

    if (way == QLatin1String("command line")) {
        FileOpener::OpenFiles({path});
    } else if (way == QLatin1String("File Open") || way == QLatin1String("slot")) {
        TFileDialog::TestHook = [&](TFileDialog& dialog) {
            dialog.FileName = path;
            return dialog.DialogKind() == TFileDialog::Kind::Open;
        };
        if (existing) {
            existing->SelectSlots(5, 5);
            existing->LoadPicAction->trigger();
        } else {
            MainForm->FileOpen1->trigger();
        }
        TFileDialog::TestHook = nullptr;
    } else if (way == QLatin1String("recent list")) {
        MainForm->OpenRecentFile(path);
    } else if (way == QLatin1String("drop")) {
        QVERIFY(DragAndDrop(MainForm->MdiArea->viewport(), QPoint(20, 20), Urls({path})));
    } else {
        FileOpener::DropFiles(existing, 3, {path});
    }

    QCOMPARE(Errors(), QStringList());
    QCOMPARE(FMessages, QStringList());
    TMDIChild* child = MainForm->ActiveMDIChild();
    QVERIFY(child);
    // Into a slot: the frames are placed there. Otherwise a new catalog,
    // as File Import ILDA makes one: its Save asks for a name.
    const int first = way == QLatin1String("slot") ? 5 : 0;
    QCOMPARE(MainForm->MDIChildCount(), existing && way == QLatin1String("slot") ? 1 : existing ? 2 : 1);
    QCOMPARE(child->windowTitle(), way == QLatin1String("slot") ? QStringLiteral("noname1.cat")
                                   : existing                   ? QStringLiteral("noname2.cat")
                                                                : QStringLiteral("noname1.cat"));
    QVERIFY(child->Modified);
    QStringList used;
    for (int slot = 0; slot < 10; ++slot)
        if (child->Cat.Frames.GetFrame(slot).Used())
            used << QString::number(slot);
    QCOMPARE(used, (QStringList{QString::number(first), QString::number(first + 1)}));
    QCOMPARE(child->Cat.Frames.GetFrame(first).Count(), FrameFor(name)->Count());
    QCOMPARE(child->Cat.Frames.GetFrame(first + 1).Count(), FrameFor(name + name)->Count());

    int asked = 0;
    TFileDialog::TestHook = [&](TFileDialog& dialog) {
        asked += dialog.DialogKind() == TFileDialog::Kind::Save ? 1 : 100;
        return false;
    };
    MainForm->FileSave1->trigger();
    QCOMPARE(asked, 1);
    QCOMPARE(ReadFile(path), original);
}

void TestOpenFiles::ildaFileInAPictureFolder()
{
    // A folder import reads picture files only: an ILDA file among them
    // stops it with a message that says what the file is.
    const QString folder = FDir.filePath(QStringLiteral("pictures"));
    QVERIFY(QDir().mkpath(folder));
    FrameFor(QStringLiteral("first"))->SaveToPicFile(folder + QStringLiteral("/00000.pic"));
    QVERIFY(QFile::copy(Make(QStringLiteral("ilda.pic")), folder + QStringLiteral("/00001.pic")));
    Dialogs::PickFolderHook = [&](const QString&) { return folder; };
    MainForm->FileImportPicDir1->trigger();
    QCOMPARE(Errors().size(), 1);
    QVERIFY2(Errors()[0].contains(QLatin1String("is an ILDA file")), qPrintable(Errors()[0]));
    QVERIFY2(Errors()[0].contains(folder + QStringLiteral("/00001.pic")), qPrintable(Errors()[0]));
    TMDIChild* child = MainForm->ActiveMDIChild();
    QCOMPARE(child->Cat.Frames.GetFrame(0), *Loaded(folder + QStringLiteral("/00000.pic")));
    QVERIFY(!child->Cat.Frames.GetFrame(1).Used());
}

void TestOpenFiles::largeCatalogShowsProgress_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("cancel");
    for (const char* way : {"command line", "File Open", "recent list"}) {
        QTest::addRow("%s", way) << QString::fromLatin1(way) << false;
        QTest::addRow("%s, cancelled", way) << QString::fromLatin1(way) << true;
    }
}

void TestOpenFiles::largeCatalogShowsProgress()
{
    QFETCH(QString, way);
    QFETCH(bool, cancel);
    // 24 MiB of frames, so the load reports its progress many times.
    const QString path = FDir.filePath(QStringLiteral("large.cat"));
    TZLT_Cat cat;
    for (int slot = 0; slot < 3000; ++slot)
        cat.Frames.SetFrame(slot * 3, Frame(1000, int16_t(slot)));
    cat.SaveToFile(path);

    ProgressDelayMs = 0;
    QStringList labels;
    qint64 last = 0;
    ProgressHook = [&](QProgressDialog& dialog, qint64 done) {
        if (!dialog.isVisible())
            return;
        if (labels.isEmpty() || labels.last() != dialog.labelText())
            labels << dialog.labelText();
        last = done;
        if (cancel && !dialog.wasCanceled())
            QTest::mouseClick(dialog.findChild<QPushButton*>(), Qt::LeftButton);
    };
    if (way == QLatin1String("command line")) {
        QCOMPARE(FileOpener::OpenFiles({path}), QStringList()); // Cancel is no failure
    } else if (way == QLatin1String("File Open")) {
        TFileDialog::TestHook = [&](TFileDialog& dialog) {
            dialog.FileName = path;
            return true;
        };
        MainForm->FileOpen1->trigger();
    } else {
        RunCommand([&] { MainForm->OpenRecentFile(path); }); // as the menu runs it
    }
    ProgressHook = nullptr;
    ProgressDelayMs = 500;

    QCOMPARE(labels, QStringList{QStringLiteral("Reading catalog ...")});
    QCOMPARE(Errors(), QStringList());
    QCOMPARE(FMessages, QStringList());
    if (cancel) {
        QCOMPARE(MainForm->MDIChildCount(), 0);
        QVERIFY(last < QFileInfo(path).size());
        return;
    }
    QCOMPARE(Titles(), QStringList{path});
    const TMDIChild* child = MainForm->ActiveMDIChild();
    QVERIFY(!child->Modified);
    for (int slot : {0, 3, 8997})
        QCOMPARE(child->Cat.Frames.GetFrame(slot), cat.Frames.GetFrame(slot));
    QVERIFY(!child->Cat.Frames.GetFrame(1).Used());
}

QTEST_MAIN(TestOpenFiles)
#include "tst_shell_openfiles.moc"
