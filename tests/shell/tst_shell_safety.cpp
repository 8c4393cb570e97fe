// Paths that could lose a user's file: a made-up catalog name that happens
// to exist, a settings file that cannot be read, a value the settings file
// cannot hold, and commands that arrive while a long job runs behind its
// progress dialog.

#include "../data/DataTestSupport.h"
#include "FrameGrid.h"
#include "IniFile.h"
#include "Progress.h"
#include "ShellTestKit.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace ShellTestKit;

class TestSafety : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newCatalogNeverReadsAFile_data();
    void newCatalogNeverReadsAFile();
    void unreadableSettingsAreLeftAlone_data();
    void unreadableSettingsAreLeftAlone();
    void lineBreakInPalettePathIsRefused();
    void commandsWaitForTheJob_data();
    void commandsWaitForTheJob();

private:
    QStringList FMessages;
};

namespace {

// A frame whose first point carries id in X.
std::unique_ptr<TZLT_Frame> IdFrame(int id)
{
    auto frame = std::make_unique<TZLT_Frame>();
    frame->Add(TZLT_Point(int16_t(id), 0, 0, 1, 0));
    frame->Add(TZLT_Point(int16_t(id), 500, 0, 2, 0));
    return frame;
}

int IdOf(const TZLT_Frame& frame)
{
    return frame.Used() ? frame.GetPoint(0).X() : 0;
}

void RemoveIni()
{
    const QString ini = IniPath();
    QFile::setPermissions(ini, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (QFileInfo(ini).isDir() && !QFileInfo(ini).isSymLink())
        QDir(ini).removeRecursively();
    QFile::remove(ini);
}

} // namespace

void TestSafety::init()
{
    RemoveIni();
    FMessages.clear();
}

void TestSafety::cleanup()
{
    EndProgram();
    RemoveIni();
}

void TestSafety::newCatalogNeverReadsAFile_data()
{
    QTest::addColumn<bool>("import");
    QTest::newRow("New") << false;
    QTest::newRow("Import PIC directory") << true;
}

void TestSafety::newCatalogNeverReadsAFile()
{
    QFETCH(bool, import);
    // Someone's catalog under the name a new catalog gets, in the working folder.
    QTemporaryDir work;
    QTemporaryDir pictures;
    TZLT_Cat theirs;
    theirs.Frames.SetFrame(0, IdFrame(77));
    const QString theirFile = work.filePath(QStringLiteral("noname1.cat"));
    theirs.SaveToFile(theirFile);
    const QByteArray before = ReadFile(theirFile);
    const QString oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work.path()));

    StartProgram();
    Dialogs::PickFolderHook = [&](const QString&) { return pictures.path(); };
    (import ? MainForm->FileImportPicDir1 : MainForm->FileNew1)->trigger();
    QDir::setCurrent(oldCurrent);

    TMDIChild* child = MainForm->ActiveMDIChild();
    QVERIFY(child);
    QCOMPARE(child->windowTitle(), QStringLiteral("noname1.cat"));
    QVERIFY2(!child->Cat.Frames.GetFrame(0).Used(), "the new catalog holds the file's frames");
    // Modified, so closing it asks rather than losing what goes into it.
    QVERIFY(child->Modified);
    QCOMPARE(ReadFile(theirFile), before);
    QVERIFY(Errors().isEmpty());
}

void TestSafety::unreadableSettingsAreLeftAlone_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // part of the message
    // The program speaks German when it ends, and so does the reason.
    QTest::newRow("no permission") << "no permission" << "Keine Berechtigung";
    QTest::newRow("a folder") << "folder" << "Ist ein Verzeichnis";
    QTest::newRow("a pipe") << "pipe"
                            << "Keine reguläre Datei";
    QTest::newRow("a device") << "device"
                              << "Keine reguläre Datei";
    QTest::newRow("over a mebibyte") << "large"
                                     << "größer als";
}

void TestSafety::unreadableSettingsAreLeftAlone()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString ini = IniPath();
    const QByteArray german = "[Application]\nLanguage=1\nPathToPalettes=/p/\n\n[Mine]\nkeep=this\n";
    QByteArray text = german;
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(ini));
    } else if (kind == QLatin1String("pipe")) {
        QCOMPARE(::mkfifo(QFile::encodeName(ini).constData(), 0600), 0);
    } else if (kind == QLatin1String("device")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), ini));
    } else {
        if (kind == QLatin1String("large"))
            text += "; " + QByteArray(TIniFile::MaxSize, 'x') + "\n";
        WriteIni(text);
        if (kind == QLatin1String("no permission"))
            QVERIFY(QFile::setPermissions(ini, QFileDevice::WriteOwner));
    }

    // Started, run with the defaults, and ended: the file stays as it was.
    const auto run = [&]() -> QString {
        StartProgram();
        Dialogs::MessageHook = [this](const QString&, const QString& message) { FMessages << message; };
        if (MainForm->Language != 0 || MainForm->PalettePath != QStringLiteral("C:\\laser\\"))
            return QStringLiteral("the settings were not the defaults");
        MainForm->Language = 1; // a change made during the run is not written either
        if (!MainForm->close())
            return QStringLiteral("the program did not end");
        if (FMessages.size() != 1 || !FMessages[0].contains(ini) || !FMessages[0].contains(reason))
            return QStringLiteral("messages: ") + FMessages.join(QLatin1Char('|'));
        // The message speaks the language of the moment.
        if (!FMessages[0].contains(QStringLiteral("Einstellungen")))
            return QStringLiteral("the message is not German: ") + FMessages[0];
        return QString();
    };
    if (kind == QLatin1String("no permission")) {
        DATATEST_VERDICT(DataTest::RunUnprivileged([&]() -> QString {
            if (::access(QFile::encodeName(ini).constData(), R_OK) == 0)
                return QStringLiteral("SKIP this user may read the file");
            return run();
        }));
        QVERIFY(QFile::setPermissions(ini, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    } else {
        const QString verdict = run();
        QVERIFY2(verdict.isEmpty(), qPrintable(verdict));
    }

    const QFileInfo info(ini);
    if (kind == QLatin1String("folder"))
        QVERIFY(info.isDir());
    else if (kind == QLatin1String("pipe"))
        QVERIFY(!info.isFile() && info.exists());
    else if (kind == QLatin1String("device"))
        QCOMPARE(info.symLinkTarget(), QStringLiteral("/dev/zero"));
    else
        QCOMPARE(ReadFile(ini), text);
}

void TestSafety::lineBreakInPalettePathIsRefused()
{
    // Such a folder can exist; its name would write a second line into the file.
    QTemporaryDir dir;
    const QString odd = dir.filePath(QStringLiteral("pal\nLanguage=1"));
    QVERIFY(QDir().mkpath(odd));
    WriteIni("[Application]\nLanguage=0\nPathToPalettes=/old/\n");
    StartProgram();
    WhenModal([&](QWidget*) {
        SettingsBox->EditPalPath->setText(odd + QLatin1Char('/'));
        SettingsBox->ButtonOK->click();
    });
    MainForm->EditSettingsAction1->trigger();
    QCOMPARE(MainForm->PalettePath, QStringLiteral("/old/"));
    QVERIFY(MainForm->close());
    QCOMPARE(ReadFile(IniPath()), QByteArray("[Application]\nLanguage=0\nPathToPalettes=/old/\n"));

    // The settings file refuses such a value itself, too.
    TIniFile file(IniPath());
    QVERIFY_THROWS_EXCEPTION(
        EZLT_Error, file.WriteString(QStringLiteral("Application"), QStringLiteral("PathToPalettes"), odd));
}

void TestSafety::commandsWaitForTheJob_data()
{
    QTest::addColumn<bool>("exporting");
    QTest::addColumn<bool>("shown"); // whether the progress dialog has shown yet
    QTest::addColumn<QString>("action");
    const QStringList actions{"Delete key in the grid",
                              "Delete key in the goto field",
                              "Cut key",
                              "Paste key",
                              "Edit menu Cut",
                              "drop",
                              "close the window",
                              "close the program"};
    for (const bool exporting : {true, false})
        for (const bool shown : {false, true})
            for (const QString& action : actions)
                QTest::newRow(qPrintable(
                    QStringLiteral("%1, dialog %2: %3")
                        .arg(exporting ? "export" : "import", shown ? "shown" : "not yet shown", action)))
                    << exporting << shown << action;
}

void TestSafety::commandsWaitForTheJob()
{
    QFETCH(bool, exporting);
    QFETCH(bool, shown);
    QFETCH(QString, action);
    constexpr int Count = 100;
    constexpr int Far = 30000; // an empty slot: a paste there asks nothing
    QTemporaryDir dir;
    StartProgram();
    MainForm->resize(900, 500);
    QVERIFY(QTest::qWaitForWindowExposed(MainForm));
    MainForm->FileNew1->trigger();
    TMDIChild* source = MainForm->ActiveMDIChild();
    for (int i = 0; i < Count; ++i)
        source->Cat.Frames.SetFrame(i, IdFrame(i + 1));
    if (!exporting)
        source->ExportPics(dir.path());
    source->Modified = false;
    source->SelectSlots(Far, Far);
    MainForm->EditCopy1->trigger(); // the clipboard holds one empty frame from slot 30000...
    MainForm->ClipboardFrames = std::make_unique<TZLT_FrameList>();
    MainForm->ClipboardFrames->Add(IdFrame(999)); // ...replaced by a used one
    MainForm->DragFrames = std::make_unique<TZLT_FrameList>();
    MainForm->DragFrames->Add(IdFrame(998));

    Dialogs::PickFolderHook = [&](const QString&) { return dir.path(); };
    Dialogs::AskHook = [](const QString&, const QString&) { return QMessageBox::No; };
    ProgressDelayMs = shown ? 0 : 3600 * 1000;
    TMDIChild* busy = nullptr;
    bool acted = false;
    ProgressHook = [&](QProgressDialog& dialog, qint64 done) {
        if (acted || done != Count / 2)
            return;
        acted = true;
        QCOMPARE(dialog.isVisible(), shown);
        busy = MainForm->ActiveMDIChild();
        busy->SelectSlots(Far, Far);
        QWidget* grid = busy->Grid;
        if (action == QLatin1String("Delete key in the grid")) {
            grid->setFocus();
            QTest::keyClick(grid, Qt::Key_Delete);
        } else if (action == QLatin1String("Delete key in the goto field")) {
            busy->SpinEdit->setFocus();
            QTest::keyClick(busy->SpinEdit, Qt::Key_Delete);
        } else if (action == QLatin1String("Cut key")) {
            busy->SelectSlots(0, Count);
            grid->setFocus();
            QTest::keyClick(grid, Qt::Key_X, Qt::ControlModifier);
        } else if (action == QLatin1String("Paste key")) {
            grid->setFocus();
            QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);
        } else if (action == QLatin1String("Edit menu Cut")) {
            busy->SelectSlots(0, Count);
            MainForm->EditCut1->trigger();
        } else if (action == QLatin1String("drop")) {
            auto* frameGrid = static_cast<TFrameGrid*>(busy->Grid);
            frameGrid->Drop(frameGrid->viewport(), QPoint(2, 2));
        } else if (action == QLatin1String("close the window")) {
            busy->close();
        } else {
            MainForm->close();
        }
    };
    (exporting ? MainForm->FileExportPics1 : MainForm->FileImportPicDir1)->trigger();
    ProgressHook = nullptr;
    ProgressDelayMs = 500;
    QVERIFY(acted);
    QVERIFY(Errors().isEmpty());

    // The job finished on an unchanged catalog, and its window is still there.
    QVERIFY(MainForm->isVisible());
    QCOMPARE(MainForm->MDIChildCount(), exporting ? 1 : 2);
    TMDIChild* done = MainForm->MDIChildren(MainForm->MDIChildCount() - 1);
    QCOMPARE(done, busy);
    for (int i = 0; i < Count; ++i)
        QCOMPARE(IdOf(done->Cat.Frames.GetFrame(i)), i + 1);
    QCOMPARE(IdOf(done->Cat.Frames.GetFrame(Count)), 0);
    QCOMPARE(IdOf(done->Cat.Frames.GetFrame(Far)), 0);
    if (exporting) {
        QVERIFY(!done->Modified);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), Count);
    }
}

QTEST_MAIN(TestSafety)
#include "tst_shell_safety.moc"
