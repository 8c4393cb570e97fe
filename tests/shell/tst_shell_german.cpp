// German throughout: Qt's own texts follow the language chosen at start or
// in the settings dialog, file dialogs open wide enough and remember their
// size, and the system's reasons in messages speak the user's language.

#include "ShellTestKit.h"
#include "ZLT_Catalog.h"
#include "ZLT_Error.h"
#include "ZLT_Ilda.h"
#include "ZLT_Palette.h"
#include "ZLT_Files.h"
#include "ZLT_Reasons.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTreeView>

#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <set>

#include <sys/stat.h>

using namespace ShellTestKit;

class TestGerman : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void qtTextsFollowTheLanguage_data();
    void qtTextsFollowTheLanguage();

    void reasonsTable_data();
    void reasonsTable();
    void reasonsInMessages_data();
    void reasonsInMessages();

    void fileDialogShowsEveryColumnAndKeepsItsSize();
};

namespace {

// Chooses a language in the settings dialog and confirms it, as a user does.
void ChooseLanguage(int language)
{
    WhenModal([language](QWidget* modal) {
        auto* box = qobject_cast<TSettingsBox*>(modal);
        QVERIFY(box);
        box->ComboBoxLanguage->setCurrentIndex(language);
        box->ButtonOK->click();
    });
    MainForm->EditSettingsAction1->trigger();
}

// The texts of the program's Yes/No/Cancel question and of its plain message.
QStringList QuestionButtons()
{
    QStringList texts;
    WhenModal([&texts](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        for (const QMessageBox::StandardButton button : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel})
            texts << box->button(button)->text();
        box->button(QMessageBox::Cancel)->click();
    });
    Dialogs::AskYesNoCancel(MainForm, QStringLiteral("Trevasc"), QStringLiteral("?"));
    WhenModal([&texts](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        texts << box->button(QMessageBox::Ok)->text();
        box->button(QMessageBox::Ok)->click();
    });
    Dialogs::ShowMessage(MainForm, QStringLiteral("Trevasc"), QStringLiteral("!"));
    return texts;
}

// The file-name label, the accept button and the column titles of the
// program's save dialog.
QStringList SaveDialogTexts()
{
    QStringList texts;
    WhenModal([&texts](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog);
        auto* label = dialog->findChild<QLabel*>(QStringLiteral("fileNameLabel"));
        QVERIFY(label);
        texts << label->text();
        auto* tree = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
        QVERIFY(tree);
        texts << tree->model()->headerData(1, Qt::Horizontal).toString();
        dialog->reject();
    });
    TFileDialog dialog(TFileDialog::Kind::Save);
    dialog.Filter = QStringLiteral("ZLT Catalog files (*.cat)|*.cat");
    dialog.Execute(MainForm);
    return texts;
}

// The reason's text as the C library says it in English, whatever the locale.
QString SystemEnglish(int reason)
{
    return QString::fromUtf8(strerrordesc_np(reason));
}

int SyncError = 0;
bool SyncFails(int)
{
    errno = SyncError;
    return false;
}

} // namespace

void TestGerman::init()
{
    QFile::remove(IniPath());
    TFileDialog::RememberedSize = QSize();
}

void TestGerman::cleanup()
{
    EndProgram();
    QFile::remove(IniPath());
}

void TestGerman::qtTextsFollowTheLanguage_data()
{
    QTest::addColumn<int>("atStart");    // Language in the settings file
    QTest::addColumn<int>("chosen");     // chosen in the settings dialog; -1 none
    QTest::addColumn<QStringList>("buttons");   // Yes, No, Cancel, OK
    QTest::addColumn<QStringList>("fileDialog"); // file-name label, size column
    QTest::addColumn<QStringList>("keys");       // Del, Ctrl+S as menus show them
    QTest::addColumn<QStringList>("pointRate");  // as the projector dialog shows it, then as typed

    const QStringList englishButtons{"&Yes", "&No", "Cancel", "OK"};
    const QStringList germanButtons{"&Ja", "&Nein", "Abbrechen", "OK"};
    const QStringList englishDialog{"File &name:", "Size"};
    const QStringList germanDialog{"Datei&name:", "Größe"};
    const QStringList englishKeys{"Del", "Ctrl+S"};
    const QStringList germanKeys{"Entf", "Strg+S"};
    // Whatever the system's locale (the suite runs on an English and on a German one).
    const QStringList englishRate{"30,000 points per second", "45,000"};
    const QStringList germanRate{"30.000 Punkte pro Sekunde", "45.000"};
    QTest::newRow("English at start") << 0 << -1 << englishButtons << englishDialog << englishKeys << englishRate;
    QTest::newRow("German at start") << 1 << -1 << germanButtons << germanDialog << germanKeys << germanRate;
    QTest::newRow("German chosen") << 0 << 1 << germanButtons << germanDialog << germanKeys << germanRate;
    QTest::newRow("English chosen again") << 1 << 0 << englishButtons << englishDialog << englishKeys << englishRate;
    QTest::newRow("German confirmed again") << 1 << 1 << germanButtons << germanDialog << germanKeys << germanRate;
}

void TestGerman::qtTextsFollowTheLanguage()
{
    QFETCH(int, atStart);
    QFETCH(int, chosen);
    QFETCH(QStringList, buttons);
    QFETCH(QStringList, fileDialog);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, pointRate);

    WriteIni(QByteArrayLiteral("[Application]\nLanguage=") + QByteArray::number(atStart) + "\n");
    StartProgram();
    if (chosen >= 0)
        ChooseLanguage(chosen);
    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    QVERIFY(child);

    QCOMPARE(QuestionButtons(), buttons);
    QCOMPARE(SaveDialogTexts(), fileDialog);
    QCOMPARE((QStringList{child->DeleteAction->shortcut().toString(QKeySequence::NativeText),
                          MainForm->FileSave1->shortcut().toString(QKeySequence::NativeText)}),
             keys);
    // Numbers follow the language: shown, and read back as typed.
    QStringList rate;
    int typed = 0;
    WhenModal([&](QWidget* modal) {
        auto* spin = modal->findChild<QSpinBox*>(QStringLiteral("SpinPointRate"));
        QVERIFY(spin);
        rate << spin->text();
        spin->selectAll();
        QTest::keyClicks(spin, pointRate.value(1));
        typed = spin->value();
        static_cast<QDialog*>(modal)->reject();
    });
    MainForm->LaserSettings1->trigger();
    QCOMPARE(rate, QStringList{pointRate.value(0)});
    QCOMPARE(typed, 45000);
    // The program's own texts stay its own.
    QCOMPARE(MainForm->FileOpen1->text(), QString(chosen == 1 || (chosen < 0 && atStart == 1)
                                                      ? QStringLiteral("Ö&ffnen")
                                                      : QStringLiteral("&Open")));
}

void TestGerman::reasonsTable_data()
{
    QTest::addColumn<int>("reason");
    for (const int reason : ZLT_Reasons::All())
        QTest::newRow(qPrintable(ZLT_Reasons::Text(reason, 0))) << reason;
}

void TestGerman::reasonsTable()
{
    QFETCH(int, reason);
    const QString english = ZLT_Reasons::Text(reason, 0);
    const QString german = ZLT_Reasons::Text(reason, 1);
    // English as the C library says it, so Qt's texts are found in the table.
    if (reason > 0)
        QCOMPARE(english, SystemEnglish(reason));
    else
        QCOMPARE(english, QStringLiteral("Not a regular file"));
    QCOMPARE(ZLT_Reasons::FromText(english), reason);
    QVERIFY(!german.isEmpty());
    QVERIFY2(german != english, qPrintable(german));
    // Each German text belongs to one reason only.
    int same = 0;
    for (const int other : ZLT_Reasons::All())
        same += ZLT_Reasons::Text(other, 1) == german;
    QCOMPARE(same, 1);

    // The file error carries the reason and says it in either language.
    const EZLT_File error(EZLT_File::TAction::Write, QStringLiteral("/x/a.cat"), reason);
    QCOMPARE(error.Reason(), reason);
    QCOMPARE(error.Message(), QStringLiteral("Cannot write file '/x/a.cat': ") + english);
    QCOMPARE(error.Text(0), error.Message());
    QCOMPARE(error.Text(1), QStringLiteral("Die Datei '/x/a.cat' kann nicht geschrieben werden: ") + german);
}

void TestGerman::reasonsInMessages_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("expected"); // the end of the message
    const struct
    {
        const char* How;
        const char* English;
        const char* German;
    } cases[] = {
        {"save onto a folder", "Cannot write file '%1': Is a directory",
         "Die Datei '%1' kann nicht geschrieben werden: Ist ein Verzeichnis"},
        {"save into a missing folder", "Cannot create file '%1': No such file or directory",
         "Die Datei '%1' kann nicht angelegt werden: Datei oder Verzeichnis nicht gefunden"},
        {"disk full", "Cannot write file '%1': No space left on device",
         "Die Datei '%1' kann nicht geschrieben werden: Auf dem Gerät ist kein Speicherplatz mehr verfügbar"},
        {"read-only file system", "Cannot write file '%1': Read-only file system",
         "Die Datei '%1' kann nicht geschrieben werden: Das Dateisystem ist nur lesbar"},
        {"input/output error", "Cannot write file '%1': Input/output error",
         "Die Datei '%1' kann nicht geschrieben werden: Eingabe-/Ausgabefehler"},
        {"open a pipe", "Cannot read file '%1': Not a regular file",
         "Die Datei '%1' kann nicht gelesen werden: Keine reguläre Datei"},
        // The program's own reasons, and the fixed texts that stay as they are.
        {"short picture", "File is too short for a PIC file: '%1'", "Die Datei ist zu kurz für eine PIC Datei: '%1'"},
        {"ILDA file as picture", "File is an ILDA file, not a PIC file: '%1'",
         "Die Datei ist eine ILDA Datei, keine PIC Datei: '%1'"},
        {"ILDA file as catalog", "File is an ILDA file, not a catalog: '%1'",
         "Die Datei ist eine ILDA Datei, kein Katalog: '%1'"},
        {"not an ILDA file", "Not an ILDA file: '%1'", "Keine ILDA Datei: '%1'"},
        {"no frame in an ILDA file",
         "No frame in ILDA file '%1': reading stopped at section 1 because the file ends inside that section",
         "Kein Frame in der ILDA Datei '%1': das Lesen endete bei Abschnitt 1, denn die Datei endet innerhalb "
         "dieses Abschnitts"},
        {"missing picture", "File does not exist: '%1'", "File does not exist: '%1'"},
        {"invalid palette", "Invalid File : '%1'", "Invalid File : '%1'"},
    };
    for (const auto& c : cases) {
        QTest::addRow("%s, English", c.How) << c.How << 0 << QString::fromUtf8(c.English);
        QTest::addRow("%s, German", c.How) << c.How << 1 << QString::fromUtf8(c.German);
    }
}

void TestGerman::reasonsInMessages()
{
    QFETCH(QString, how);
    QFETCH(int, language);
    QFETCH(QString, expected);

    StartProgram();
    MainForm->Language = language;
    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    QVERIFY(child);

    const QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString fileName = dir.filePath(QStringLiteral("show.cat"));
    ZLT_Files::SyncFunction oldSync = nullptr;
    if (how == QLatin1String("save onto a folder")) {
        QVERIFY(QDir().mkpath(fileName));
    } else if (how == QLatin1String("save into a missing folder")) {
        fileName = dir.filePath(QStringLiteral("missing/show.cat"));
    } else if (how == QLatin1String("open a pipe")) {
        QCOMPARE(::mkfifo(QFile::encodeName(fileName).constData(), 0600), 0);
    } else if (how == QLatin1String("disk full") ||
               how == QLatin1String("read-only file system") || how == QLatin1String("input/output error")) {
        SyncError = how == QLatin1String("disk full")               ? ENOSPC
                    : how == QLatin1String("read-only file system") ? EROFS
                                                                    : EIO;
        oldSync = ZLT_Files::SetSyncFunction(&SyncFails);
    }

    const QByteArray ilda("ILDA\0\0\0\5", 8);
    const std::map<QString, std::pair<QByteArray, std::function<void()>>> loads{
        {"short picture", {QByteArray(13, '\5'), [&] { TZLT_Frame().LoadFromPicFile(fileName); }}},
        {"ILDA file as picture", {ilda, [&] { TZLT_Frame().LoadFromPicFile(fileName); }}},
        {"ILDA file as catalog", {ilda, [&] { TZLT_Cat().LoadFromFile(fileName); }}},
        {"not an ILDA file", {QByteArray("ILDB"), [&] { ZLT_Ilda::ReadFile(fileName, TZLT_Pal()); }}},
        {"no frame in an ILDA file", {ilda, [&] { ZLT_Ilda::ReadFile(fileName, TZLT_Pal()); }}},
        {"missing picture", {QByteArray(), [&] { TZLT_Frame().LoadFromPicFile(fileName); }}},
        {"invalid palette", {QByteArray(5, '\5'), [&] { TZLT_Pal().LoadFromFile(fileName); }}},
    };
    if (const auto load = loads.find(how); load != loads.end()) {
        if (!load->second.first.isEmpty()) {
            QFile file(fileName);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(load->second.first);
        }
        RunGuarded(load->second.second);
    } else if (how == QLatin1String("open a pipe")) {
        RunGuarded([&] { MainForm->OpenCatalogWindow(fileName); });
    } else {
        child->setWindowTitle(fileName);
        RunGuarded([&] { MainForm->SaveCatalog(child); });
    }
    if (oldSync)
        ZLT_Files::SetSyncFunction(oldSync);
    QCOMPARE(Errors(), QStringList{expected.arg(fileName)});
}

void TestGerman::fileDialogShowsEveryColumnAndKeepsItsSize()
{
    StartProgram();
    MainForm->Language = 1;
    QSize opened;
    WhenModal([&opened](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog);
        opened = dialog->size();
        // Every column fits beside the places at the left.
        auto* tree = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
        QVERIFY(tree);
        const QFontMetrics metrics = tree->fontMetrics();
        QVERIFY(tree->header()->sectionSize(1) > metrics.horizontalAdvance(QStringLiteral("1.023,99 KiB")));
        QVERIFY(tree->header()->sectionSize(3) > metrics.horizontalAdvance(QStringLiteral("28.12.26 23:58")));
        int columns = 0;
        for (int section = 0; section < tree->header()->count(); ++section)
            columns += tree->header()->sectionSize(section);
        QVERIFY2(tree->viewport()->width() >= columns - tree->header()->sectionSize(3) / 2,
                 qPrintable(QStringLiteral("%1 < %2").arg(tree->viewport()->width()).arg(columns)));
        dialog->resize(dialog->width() - 37, dialog->height() - 23);
        dialog->reject();
    });
    TFileDialog dialog(TFileDialog::Kind::Open);
    dialog.Filter = QStringLiteral("ZLT Catalog files (*.cat)|*.cat");
    QVERIFY(!dialog.Execute(MainForm));
    const QSize chosen = opened - QSize(37, 23);
    QCOMPARE(TFileDialog::RememberedSize, chosen);

    // The next dialog opens at that size, also after a restart.
    QVERIFY(MainForm->close());
    EndProgram();
    const QByteArray ini = ReadFile(IniPath());
    QVERIFY2(ini.contains(QStringLiteral("[FileDialogs]\nSize=%1,%2\n")
                              .arg(chosen.width())
                              .arg(chosen.height())
                              .toUtf8()),
             ini.constData());
    QVERIFY(ini.startsWith("[Application]\nLanguage=1\n"));
    TFileDialog::RememberedSize = QSize();
    StartProgram();
    QSize reopened;
    WhenModal([&reopened](QWidget* modal) {
        reopened = modal->size();
        qobject_cast<QDialog*>(modal)->reject();
    });
    TFileDialog(TFileDialog::Kind::Save).Execute(MainForm);
    QCOMPARE(reopened, chosen);
}

QTEST_MAIN(TestGerman)
#include "tst_shell_german.moc"
