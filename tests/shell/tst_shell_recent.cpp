// The list of recent catalogs: its order, limit and duplicates against a
// model, its section in the settings file, its File menu entries, and an
// entry whose file is gone.

#include "FileOpener.h"
#include "IniFile.h"
#include "RecentFiles.h"
#include "ShellTestKit.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>

using namespace ShellTestKit;

class TestRecent : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listFollowsModel_data();
    void listFollowsModel();
    void namesTheFileCannotKeepAreNotRemembered_data();
    void namesTheFileCannotKeepAreNotRemembered();
    void sectionFollowsApplication_data();
    void sectionFollowsApplication();
    void openingAndSavingAddToTheMenu();
    void settingsFileKeepsItsEncoding_data();
    void settingsFileKeepsItsEncoding();
    void pickingAnEntry_data();
    void pickingAnEntry();

private:
    QString Path(const QString& name) const { return FDir.filePath(name); }
    QTemporaryDir FDir;
};

namespace {
QStringList MenuTexts()
{
    QStringList texts;
    const auto actions = MainForm->findChild<QMenu*>(QStringLiteral("File1"))->actions();
    for (QAction* action : actions)
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

void WriteCatalog(const QString& fileName)
{
    TZLT_Cat cat;
    cat.Frames.SetFrame(0, Frame(3));
    cat.SaveToFile(fileName);
}
} // namespace

void TestRecent::init()
{
    QFile::remove(IniPath());
    QDir(FDir.path()).removeRecursively();
    QVERIFY(QDir().mkpath(FDir.path()));
}

void TestRecent::cleanup()
{
    if (MainForm)
        EndProgram();
    QFile::remove(IniPath());
}

void TestRecent::listFollowsModel_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u, 3u, 4u, 5u})
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
}

void TestRecent::listFollowsModel()
{
    // Twelve files, each reached under several spellings, one of them
    // through a symbolic link to its folder.
    QFETCH(quint32, seed);
    QVERIFY(QDir().mkpath(Path(QStringLiteral("real"))));
    QVERIFY(QFile::link(Path(QStringLiteral("real")), Path(QStringLiteral("link"))));
    const auto spellings = [&](int file) {
        const QString name = QStringLiteral("c%1.cat").arg(file);
        WriteCatalog(Path(QStringLiteral("real/") + name));
        return QStringList{Path(QStringLiteral("real/") + name), Path(QStringLiteral("real/./") + name),
                           Path(QStringLiteral("real/../real/") + name),
                           Path(QStringLiteral("link/") + name)};
    };
    QList<QStringList> files;
    for (int i = 0; i < 12; ++i)
        files << spellings(i);

    TRecentFiles recent;
    QList<int> model; // file numbers, newest first
    QRandomGenerator random(seed);
    for (int step = 0; step < 200; ++step) {
        const int file = random.bounded(12);
        const QString name = files[file][random.bounded(4)];
        if (random.bounded(5) == 0) {
            recent.Remove(name);
            model.removeAll(file);
        } else {
            recent.Add(name);
            model.removeAll(file);
            model.prepend(file);
            while (model.size() > TRecentFiles::MaxCount)
                model.removeLast();
        }
        QCOMPARE(recent.Files().size(), model.size());
        for (int i = 0; i < model.size(); ++i)
            QVERIFY2(
                TRecentFiles::SameFile(recent.Files()[i], files[model[i]][0]),
                qPrintable(QStringLiteral("step %1, entry %2: %3").arg(step).arg(i).arg(recent.Files()[i])));
        for (const QString& entry : recent.Files())
            QVERIFY2(QFileInfo(entry).isAbsolute() && !entry.contains(QStringLiteral("/.")),
                     qPrintable(entry));
    }
}

void TestRecent::namesTheFileCannotKeepAreNotRemembered_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("line break") << QStringLiteral("/a\nb.cat");
    QTest::newRow("carriage return") << QStringLiteral("/a\rb.cat");
    QTest::newRow("space at the end") << QStringLiteral("/a/b.cat ");
    QTest::newRow("empty") << QString();
}

void TestRecent::namesTheFileCannotKeepAreNotRemembered()
{
    QFETCH(QString, name);
    TRecentFiles recent;
    recent.Add(QStringLiteral("/kept.cat"));
    recent.Add(name);
    QCOMPARE(recent.Files(), QStringList{QStringLiteral("/kept.cat")});
    TIniFile ini(Path(QStringLiteral("x.ini")));
    recent.Save(ini); // would raise for a line break
    QCOMPARE(ini.Text(), QByteArray("[Recent]\nFile1=/kept.cat\n"));
}

void TestRecent::sectionFollowsApplication_data()
{
    QTest::addColumn<QByteArray>("before");  // the settings file at start; null: none
    QTest::addColumn<QStringList>("opened"); // files added while the program runs, in order
    QTest::addColumn<QByteArray>("after");

    const QByteArray app = "[Application]\r\nLanguage=1\r\nPathToPalettes=C:\\laser\\\r\n";
    QTest::newRow("nothing opened: no section")
        << QByteArray() << QStringList()
        << QByteArray("[Application]\nLanguage=0\nPathToPalettes=C:\\laser\\\n");
    QTest::newRow("first entries after [Application]")
        << app << QStringList{"/a.cat", "/b.cat"}
        << QByteArray(app + "\r\n[Recent]\r\nFile1=/b.cat\r\nFile2=/a.cat\r\n");
    QTest::newRow("entries read, one moved to the top")
        << QByteArray(app + "\r\n[Recent]\r\nFile1=/b.cat\r\nFile2=/a.cat\r\n") << QStringList{"/a.cat"}
        << QByteArray(app + "\r\n[Recent]\r\nFile1=/a.cat\r\nFile2=/b.cat\r\n");
    QTest::newRow("other sections and comments stay")
        << QByteArray("; mine\n[Application]\nLanguage=0\nPathToPalettes=/p/\n\n[Other]\nx=1\n\n[Recent]\n"
                      "File1=/old.cat\n")
        << QStringList{"/new.cat"}
        << QByteArray("; mine\n[Application]\nLanguage=0\nPathToPalettes=/p/\n\n[Other]\nx=1\n\n[Recent]\n"
                      "File1=/new.cat\nFile2=/old.cat\n");
    QTest::newRow("unusable entries skipped, duplicates merged")
        << QByteArray(app + "[Recent]\r\nFile1=relative.cat\r\nFile3=/c.cat\r\nFile4=\r\nFile5=/c.cat\r\n"
                            "File9=/z.cat\r\n")
        << QStringList() << QByteArray(app + "\r\n[Recent]\r\nFile1=/c.cat\r\n");
    QStringList nine;
    for (int i = 1; i <= 9; ++i)
        nine << QStringLiteral("/f%1.cat").arg(i);
    QByteArray eight = QByteArray(app + "\r\n[Recent]\r\n");
    for (int i = 9; i >= 2; --i)
        eight += QStringLiteral("File%1=/f%2.cat\r\n").arg(10 - i).arg(i).toLatin1();
    QTest::newRow("at most eight") << app << nine << eight;
}

void TestRecent::sectionFollowsApplication()
{
    QFETCH(QByteArray, before);
    QFETCH(QStringList, opened);
    QFETCH(QByteArray, after);
    if (!before.isNull())
        WriteIni(before);
    StartProgram();
    for (const QString& file : opened)
        MainForm->RecentFiles->Add(file);
    QVERIFY(MainForm->close());
    QCOMPARE(Errors(), QStringList());
    QCOMPARE(ReadFile(IniPath()), after);
}

void TestRecent::openingAndSavingAddToTheMenu()
{
    const QString a = Path(QStringLiteral("a&b.cat"));
    const QString b = Path(QStringLiteral("b.cat"));
    WriteCatalog(a);
    StartProgram();
    const QStringList plain = MenuTexts();
    QCOMPARE(plain.mid(plain.size() - 2), (QStringList{"-", "E&xit"}));

    MainForm->OpenCatalogWindow(a);
    MainForm->FileNew1->trigger();
    TFileDialog::TestHook = [&](TFileDialog& dialog) {
        dialog.FileName = b;
        return true;
    };
    MainForm->FileSaveAs1->trigger(); // the new catalog, saved as b.cat
    QCOMPARE(Errors(), QStringList());
    QCOMPARE(MainForm->RecentFiles->Files(), (QStringList{b, a}));

    // Before Exit, set off by separators, numbered, "&" shown as such.
    const QStringList texts = MenuTexts();
    QCOMPARE(texts.mid(texts.size() - 5),
             (QStringList{"-", "&1 " + b, "&2 " + QString(a).replace("&", "&&"), "-", "E&xit"}));
    // Saving again keeps one entry; opening it again moves it to the top.
    MainForm->FileSave1->trigger();
    MainForm->OpenCatalogWindow(a);
    QCOMPARE(MainForm->RecentFiles->Files(), (QStringList{a, b}));
}

void TestRecent::pickingAnEntry_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("message"); // %1: the file
    QTest::newRow("existing file opens") << 0 << true << QString();
    QTest::newRow("missing file, English")
        << 0 << false << "The file %1 no longer exists. It has been removed from the list of recent files.";
    QTest::newRow("missing file, German") << 1 << false
                                          << "Die Datei %1 existiert nicht mehr. Sie wurde aus der Liste der "
                                             "zuletzt benutzten Dateien entfernt.";
}

void TestRecent::pickingAnEntry()
{
    QFETCH(int, language);
    QFETCH(bool, exists);
    QFETCH(QString, message);
    const QString picked = Path(QStringLiteral("picked.cat"));
    const QString other = Path(QStringLiteral("other.cat"));
    WriteCatalog(picked);
    WriteCatalog(other);
    WriteIni(QStringLiteral("[Application]\nLanguage=%1\n[Recent]\nFile1=%2\nFile2=%3\n")
                 .arg(language)
                 .arg(other, picked)
                 .toUtf8());
    if (!exists)
        QVERIFY(QFile::remove(picked));
    StartProgram();
    QStringList messages;
    Dialogs::MessageHook = [&](const QString&, const QString& text) { messages << text; };

    QList<QAction*> entries = MainForm->RecentFiles->MenuEntries();
    QCOMPARE(entries.size(), 2);
    entries[1]->trigger();
    QCOMPARE(Errors(), QStringList());
    if (exists) {
        QCOMPARE(messages, QStringList());
        QCOMPARE(Titles(), QStringList{picked});
        QVERIFY(!MainForm->ActiveMDIChild()->Modified);
        QCOMPARE(MainForm->RecentFiles->Files(), (QStringList{picked, other}));
    } else {
        QCOMPARE(messages, QStringList{message.arg(picked)});
        QCOMPARE(MainForm->MDIChildCount(), 0);
        QCOMPARE(MainForm->RecentFiles->Files(), QStringList{other});
        QCOMPARE(MainForm->RecentFiles->MenuEntries().size(), 1);
    }
}

void TestRecent::settingsFileKeepsItsEncoding_data()
{
    QTest::addColumn<QByteArray>("before"); // the file at start; empty: none
    QTest::addColumn<QString>("palettes");  // the palette folder chosen meanwhile; empty: none
    QTest::addColumn<bool>("latin1");       // the file's encoding at the end
    QTest::addColumn<QStringList>("recent"); // the section's entries at the end

    const QString laeser = QStringLiteral("L\u00e4ser.cat");
    const QString euro = QStringLiteral("\u20ac.cat");
    const QByteArray latin1 = "[Application]\r\nLanguage=1\r\nPathToPalettes=C:\\L\xE4ser\\\r\n";
    const QByteArray utf8 = "[Application]\nLanguage=1\nPathToPalettes=C:\\L\xC3\xA4ser\\\n";
    QTest::newRow("Latin-1: a name beyond it is left out")
        << latin1 << QString() << true << QStringList{laeser};
    QTest::newRow("Latin-1: a palette folder beyond it keeps the stored one")
        << latin1 << QStringLiteral("/tmp/\u20ac/") << true << QStringList{euro, laeser}.mid(1);
    QTest::newRow("UTF-8: every name kept") << utf8 << QString() << false
                                            << QStringList{euro, laeser};
    QTest::newRow("no file: UTF-8") << QByteArray() << QString() << false << QStringList{euro, laeser};
}

void TestRecent::settingsFileKeepsItsEncoding()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, palettes);
    QFETCH(bool, latin1);
    QFETCH(QStringList, recent);
    if (!before.isEmpty())
        WriteIni(before);
    const QStringList names{QStringLiteral("L\u00e4ser.cat"), QStringLiteral("\u20ac.cat")};
    QStringList files;
    for (const QString& name : names) {
        files << Path(name);
        WriteCatalog(files.back());
    }
    StartProgram();
    QCOMPARE(FileOpener::OpenFiles(files), QStringList());
    if (!palettes.isEmpty()) {
        QVERIFY(QDir().mkpath(palettes));
        WhenModal([palettes](QWidget*) {
            SettingsBox->EditPalPath->setText(palettes);
            SettingsBox->ButtonOK->click();
        });
        MainForm->EditSettingsAction1->trigger();
        QDir(palettes).removeRecursively();
        QCOMPARE(MainForm->PalettePath, palettes);
    }
    QVERIFY(MainForm->close());
    QCOMPARE(Errors(), QStringList());

    const QByteArray text = ReadFile(IniPath());
    // The application's lines as they were, byte for byte.
    QVERIFY2(text.startsWith(before), text.constData());
    const QString decoded = latin1 ? QString::fromLatin1(text) : QString::fromUtf8(text);
    QCOMPARE(latin1 ? decoded.toLatin1() : decoded.toUtf8(), text);
    QStringList stored;
    const TIniFile ini(IniPath());
    for (int i = 1; ini.ValueExists(TRecentFiles::Section, QStringLiteral("File%1").arg(i)); ++i)
        stored << QFileInfo(ini.ReadString(TRecentFiles::Section, QStringLiteral("File%1").arg(i), QString()))
                      .fileName();
    QCOMPARE(stored, recent);
}

QTEST_MAIN(TestRecent)
#include "tst_shell_recent.moc"
