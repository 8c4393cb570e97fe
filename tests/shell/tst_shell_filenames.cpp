// File names that are not UTF-8 ("L\xE4ser.cat" in Latin-1): every command
// that opens or writes a file by name reaches the very file of that name,
// never its UTF-8 look-alike, and the list of recent catalogs keeps it.

#include "FileDrop.h"
#include "FileOpener.h"
#include "IniFile.h"
#include "RecentFiles.h"
#include "ShellTestKit.h"
#include "ZLT_FileNames.h"
#include "ZLT_Ilda.h"

#include <QFileDialog>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ShellTestKit;

class TestFileNames : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void commandsReachTheFile_data();
    void commandsReachTheFile();
    void recentListKeepsTheName();
    void saveDialogAsksBeforeReplacing_data();
    void saveDialogAsksBeforeReplacing();

private:
    // The name's bytes inside the folder "\xE4" of the test's folder.
    QByteArray Raw(const QByteArray& name) const { return FFolder + '/' + name; }
    QString Name(const QByteArray& name) const { return ZLT_FileNames::Decode(Raw(name)); }
    QTemporaryDir FDir;
    QByteArray FFolder;
    QStringList FMessages;
};

namespace {
bool Exists(const QByteArray& path)
{
    struct stat info
    {
    };
    return ::stat(path.constData(), &info) == 0;
}

std::unique_ptr<TZLT_Frame> Marked(int count)
{
    return Frame(count, int16_t(count * 10));
}

// A catalog holding a frame of count points in slot 3.
void WriteCatalog(const QString& fileName, int count)
{
    TZLT_Cat cat;
    cat.Frames.SetFrame(3, Marked(count));
    cat.SaveToFile(fileName);
}

int CountAt(const QString& catalog, int slot)
{
    TZLT_Cat cat;
    cat.LoadFromFile(catalog);
    return cat.Frames.GetFrame(slot).Count();
}

// Answers the next file dialog with name.
void Choose(const QString& name)
{
    TFileDialog::TestHook = [name](TFileDialog& dialog) {
        dialog.FileName = name;
        TFileDialog::TestHook = nullptr;
        return true;
    };
}
} // namespace

void TestFileNames::init()
{
    QFile::remove(IniPath());
    FFolder = QFile::encodeName(FDir.path()) + "/\xE4";
    QCOMPARE(::mkdir(FFolder.constData(), 0700), 0);
    // The look-alikes Qt's own file classes would reach instead.
    const QByteArray alike = QFile::encodeName(FDir.path()) + "/\xEF\xBF\xBD";
    QCOMPARE(::mkdir(alike.constData(), 0700), 0);
    WriteCatalog(QFile::decodeName(alike + "/L\xEF\xBF\xBDser.cat"), 2);
    WriteCatalog(Name("L\xE4ser.cat"), 5);
    WriteCatalog(Name("L\xC3\xA4ser.cat"), 2);
    StartProgram();
    FMessages.clear();
    Dialogs::MessageHook = [this](const QString&, const QString& text) { FMessages << text; };
}

void TestFileNames::cleanup()
{
    EndProgram();
    QFile::remove(IniPath());
    // By the bytes: Qt's own removal does not see names that are not UTF-8.
    std::error_code error;
    for (const QByteArray& folder : {FFolder, QFile::encodeName(FDir.path()) + "/\xEF\xBF\xBD"})
        std::filesystem::remove_all(folder.toStdString(), error);
}

void TestFileNames::commandsReachTheFile_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("written"); // the file the command wrote, in the folder
    for (const char* command : {"open", "drop", "save", "save as", "save picture", "load picture",
                                "export pictures", "import pictures", "export ILDA", "import ILDA"})
        QTest::newRow(command) << QString::fromLatin1(command)
                               << QByteArray(QByteArrayView(command) == "save as"        ? "Neu\xE4.cat"
                                             : QByteArrayView(command) == "save picture" ? "B\xE4r.pic"
                                             : QByteArrayView(command) == "export pictures"
                                                 ? "Bilder\xE4/00003.pic"
                                             : QByteArrayView(command) == "export ILDA" ? "L\xE4ser.ild"
                                             : QByteArrayView(command) == "save"        ? "L\xE4ser.cat"
                                                                                        : "");
}

void TestFileNames::commandsReachTheFile()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, written);
    const QString catalog = Name("L\xE4ser.cat");

    // Every command starts from the catalog opened as the command line and
    // a second start open it, except the drop.
    if (command == QLatin1String("drop")) {
        auto* data = new QMimeData;
        data->setData(QStringLiteral("text/uri-list"),
                      "file://" + QByteArray(Raw("L\xE4ser.cat")).toPercentEncoding("/") + "\r\n");
        QVERIFY(data->hasUrls());
        QCOMPARE(TFileDrop::LocalFiles(data), QStringList{catalog});
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(MainForm, &enter);
        QCoreApplication::sendEvent(MainForm, &drop);
        QTRY_COMPARE(MainForm->MDIChildCount(), 1);
        delete data;
    } else {
        QCOMPARE(FileOpener::OpenFiles({catalog}), QStringList());
    }
    QCOMPARE(FMessages, QStringList());
    QCOMPARE(Errors(), QStringList());
    QCOMPARE(Titles(), QStringList{catalog});
    TMDIChild* child = MainForm->ActiveMDIChild();
    QCOMPARE(child->Cat.Frames.GetFrame(3).Count(), 5);
    child->SelectSlots(3, 3);

    if (command == QLatin1String("save")) {
        child->Cat.Frames.SetFrame(4, Marked(7));
        child->Modified = true;
        MainForm->FileSave1->trigger();
        QCOMPARE(CountAt(catalog, 4), 7);
    } else if (command == QLatin1String("save as")) {
        Choose(Name(written));
        MainForm->FileSaveAs1->trigger();
        QCOMPARE(Titles(), QStringList{Name(written)});
        QCOMPARE(CountAt(Name(written), 3), 5);
    } else if (command == QLatin1String("save picture")) {
        Choose(Name(written));
        child->SavePicAction->trigger();
    } else if (command == QLatin1String("load picture")) {
        Marked(9)->SaveToPicFile(Name("B\xE4r.pic"));
        Choose(Name("B\xE4r.pic"));
        child->SelectSlots(6, 6);
        child->LoadPicAction->trigger();
        QCOMPARE(child->Cat.Frames.GetFrame(6).Count(), 9);
    } else if (command == QLatin1String("export pictures")) {
        QCOMPARE(::mkdir(Raw("Bilder\xE4").constData(), 0700), 0);
        Dialogs::PickFolderHook = [this](const QString&) { return Name("Bilder\xE4"); };
        MainForm->FileExportPics1->trigger();
    } else if (command == QLatin1String("import pictures")) {
        QCOMPARE(::mkdir(Raw("Bilder\xE4").constData(), 0700), 0);
        Marked(4)->SaveToPicFile(Name("Bilder\xE4/00001.pic"));
        Marked(6)->SaveToPicFile(Name("Bilder\xE4/Z\xE4hler.pic"));
        Dialogs::PickFolderHook = [this](const QString&) { return Name("Bilder\xE4"); };
        MainForm->FileImportPicDir1->trigger();
        QCOMPARE(MainForm->MDIChildCount(), 2);
        const TZLT_FrameList& frames = MainForm->ActiveMDIChild()->Cat.Frames;
        QCOMPARE(frames.GetFrame(0).Count(), 4);
        QCOMPARE(frames.GetFrame(1).Count(), 6);
    } else if (command == QLatin1String("export ILDA")) {
        // The dialog proposes the catalog's own name with the ILDA extension.
        QString proposed;
        TFileDialog::TestHook = [&proposed](TFileDialog& dialog) {
            proposed = dialog.FileName;
            return true;
        };
        MainForm->FileExportIlda1->trigger();
        QCOMPARE(proposed, Name(written));
    } else if (command == QLatin1String("import ILDA")) {
        TZLT_FrameList frames;
        frames.Add(Marked(8));
        ZLT_Ilda::WriteFile(Name("Show\xE4.ild"), frames, 0, 1, TZLT_Pal(), ZLT_Ilda::TFormat::TrueColor3D);
        Choose(Name("Show\xE4.ild"));
        MainForm->FileImportIlda1->trigger();
        QCOMPARE(MainForm->MDIChildCount(), 2);
        QCOMPARE(MainForm->ActiveMDIChild()->Cat.Frames.GetFrame(0).Count(), 8);
    }
    QCOMPARE(Errors(), QStringList());
    QCOMPARE(FMessages, QStringList());
    if (!written.isEmpty())
        QVERIFY2(Exists(Raw(written)), Raw(written).constData());
    // The look-alikes are untouched, and no other file appeared beside them.
    QCOMPARE(CountAt(Name("L\xC3\xA4ser.cat"), 3), 2);
    QCOMPARE(CountAt(Name("L\xC3\xA4ser.cat"), 4), 0);
    const QByteArray alike = QFile::encodeName(FDir.path()) + "/\xEF\xBF\xBD";
    QCOMPARE(ZLT_FileNames::FilesIn(QFile::decodeName(alike)), QStringList{QStringLiteral("L\uFFFDser.cat")});
}

void TestFileNames::recentListKeepsTheName()
{
    const QString catalog = Name("L\xE4ser.cat");
    QCOMPARE(FileOpener::OpenFiles({catalog}), QStringList());
    QVERIFY(MainForm->close());
    QCOMPARE(Errors(), QStringList());
    EndProgram();
    // Stored as its bytes in a URL: any settings file can hold that.
    QVERIFY2(ReadFile(IniPath()).contains("File1=file://" +
                                          QByteArray(Raw("L\xE4ser.cat")).toPercentEncoding("/") + "\n"),
             ReadFile(IniPath()).constData());

    StartProgram();
    QCOMPARE(MainForm->RecentFiles->Files(), QStringList{catalog});
    const QList<QAction*> entries = MainForm->RecentFiles->MenuEntries();
    QCOMPARE(entries.size(), 1);
    entries[0]->trigger();
    QCOMPARE(Errors(), QStringList());
    QCOMPARE(Titles(), QStringList{catalog});
    QCOMPARE(MainForm->ActiveMDIChild()->Cat.Frames.GetFrame(3).Count(), 5);
    // Opened again under another spelling of the same file: one entry.
    QCOMPARE(FileOpener::OpenFiles({Name("./L\xE4ser.cat")}), QStringList());
    QCOMPARE(MainForm->RecentFiles->Files(), QStringList{catalog});
}

void TestFileNames::saveDialogAsksBeforeReplacing_data()
{
    QTest::addColumn<QByteArray>("name"); // in the test's folder
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("replace"); // the answer to the question
    QTest::addColumn<bool>("chosen");  // Execute's result

    const QByteArray inPlain = "plain/L\xE4ser.cat";
    QTest::newRow("existing, replaced") << inPlain << true << true << true;
    QTest::newRow("existing, not replaced") << inPlain << true << false << false;
    QTest::newRow("in a folder not UTF-8") << QByteArray("\xE4/L\xE4ser.cat") << true << true << true;
    QTest::newRow("new file: no question") << QByteArray("plain/Neu\xE4.cat") << false << false << true;
}

void TestFileNames::saveDialogAsksBeforeReplacing()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, exists);
    QFETCH(bool, replace);
    QFETCH(bool, chosen);
    const QByteArray plain = QFile::encodeName(FDir.path()) + "/plain";
    QCOMPARE(::mkdir(plain.constData(), 0700), 0);
    const QString file = ZLT_FileNames::Decode(QFile::encodeName(FDir.path()) + '/' + name);
    if (exists)
        WriteCatalog(file, 5);

    TFileDialog dialog(TFileDialog::Kind::Save);
    dialog.Filter = QStringLiteral("ZLT Catalog files (*.cat)|*.cat");
    dialog.DefaultExt = QStringLiteral("cat");
    dialog.FileName = file;
    QString question;
    bool stayedOpen = false;
    WhenModal([&](QWidget* modal) {
        auto* files = qobject_cast<QFileDialog*>(modal);
        QVERIFY(files);
        QTimer::singleShot(0, qApp, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            question = box->text();
            box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        static_cast<QDialog*>(files)->accept(); // the Save button
        stayedOpen = files->isVisible();
        if (stayedOpen)
            files->reject();
    });
    QCOMPARE(dialog.Execute(MainForm), chosen);
    QCOMPARE(stayedOpen, exists && !replace);
    QCOMPARE(question.isEmpty(), !exists);
    if (exists)
        QVERIFY2(question.contains(QStringLiteral("already exists")), qPrintable(question));
    if (chosen)
        QCOMPARE(ZLT_FileNames::Encode(dialog.FileName), ZLT_FileNames::Encode(file));
    std::error_code error;
    std::filesystem::remove_all(plain.toStdString(), error);
}

QTEST_MAIN(TestFileNames)
#include "tst_shell_filenames.moc"
