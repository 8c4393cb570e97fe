// ILDA files as a user meets them: File › Import ILDA into a new catalog,
// File › Export ILDA of a whole catalog in each of the five kinds of file,
// the kind last chosen offered first and kept in the settings, and the grid's
// context menu saving its selection and importing at it through the paste
// path; warnings, errors and Cancel.

#include "FileOpener.h"
#include "FramesTestKit.h"
#include "IldaCommands.h"
#include "Progress.h"
#include "SettingsLocation.h"
#include "ZLT_Ilda.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace Kit;

namespace {

// A frame whose every point the indexed format keeps exactly: Aux 0 and
// status bit 7 clear; colours of the default palette, which has no black.
std::unique_ptr<TZLT_Frame> IldaFrame(int id, int points = 4)
{
    auto frame = std::make_unique<TZLT_Frame>();
    frame->Add(TZLT_Point(int16_t(id), int16_t(-id), 9, 3, 0));
    for (int i = 1; i < points; ++i)
        frame->Add(TZLT_Point(int16_t(i * 101), int16_t(-i * 77), int16_t(-i),
                              uint8_t((i % 64) | (i % 3 == 0 ? 64 : 0)), 0));
    return frame;
}

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// ILDA bytes of frames with the given ids (0: an empty slot, written as nothing).
QByteArray IldaBytes(const std::vector<int>& ids, ZLT_Ilda::TFormat format = ZLT_Ilda::TFormat::Indexed3D)
{
    TZLT_FrameList frames;
    for (int id : ids)
        frames.Add(id == 0 ? std::make_unique<TZLT_Frame>() : IldaFrame(id));
    return ZLT_Ilda::WriteBytes(frames, 0, frames.Count(), TZLT_Pal(), format);
}

// Answers the shared file dialogs with a file name and a filter.
struct TDialogAnswer
{
    TDialogAnswer(const QString& answer, int filter = 0)
    {
        TFileDialog::TestHook = [this, answer, filter](TFileDialog& dialog) {
            Proposed = dialog.FileName;
            Filter = dialog.Filter;
            Offered = dialog.FilterIndex;
            if (answer.isEmpty())
                return false;
            dialog.FileName = answer;
            dialog.FilterIndex = filter;
            return true;
        };
    }
    ~TDialogAnswer() { TFileDialog::TestHook = nullptr; }
    QString Proposed, Filter;
    int Offered = -1;
};

const QString SaveFilter =
    QStringLiteral("ILDA 3D true colour, format 4: today's laser software (*.ild)|*.ild|"
                   "ILDA 2D true colour, format 5: most players (*.ild)|*.ild|"
                   "ILDA 3D indexed with palette, formats 2 + 0: older 3D software (*.ild)|*.ild|"
                   "ILDA 2D indexed with palette, formats 2 + 1: older players (*.ild)|*.ild|"
                   "ILDA 2D in the standard colours, format 1: players that refuse palettes (*.ild)|*.ild");
const QString GermanSaveFilter =
    QStringLiteral("ILDA 3D Echtfarben, Format 4: heutige Lasersoftware (*.ild)|*.ild|"
                   "ILDA 2D Echtfarben, Format 5: die meisten Player (*.ild)|*.ild|"
                   "ILDA 3D indiziert mit Palette, Formate 2 + 0: ältere 3D-Software (*.ild)|*.ild|"
                   "ILDA 2D indiziert mit Palette, Formate 2 + 1: ältere Player (*.ild)|*.ild|"
                   "ILDA 2D in den Standardfarben, Format 1: Player, die keine Palette lesen (*.ild)|*.ild");

// The format codes of a file's sections, in order.
QList<int> SectionFormats(const QByteArray& bytes)
{
    QList<int> formats;
    for (qsizetype at = 0; at + 32 <= bytes.size();) {
        const int format = bytes.at(at + 7);
        const int records = (uchar(bytes.at(at + 24)) << 8) | uchar(bytes.at(at + 25));
        formats << format;
        const int size = format == 0 ? 8 : format == 1 ? 6 : format == 2 ? 3 : format == 4 ? 10 : 8;
        at += 32 + qsizetype(records) * size;
    }
    return formats;
}

} // namespace

class TestFramesIlda : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { EnsureMainWindow(); }
    void cleanup()
    {
        CloseAllWindows();
        TFileDialog::TestHook = nullptr;
        ProgressHook = nullptr;
        ProgressDelayMs = 500;
        IldaCommands::SetExportKind(0);
        SettingsLocation::ProgramFolderOverride.clear();
        if (MainForm->Language != 0) {
            MainForm->Language = 0;
            MainForm->ApplyLanguage();
        }
    }

    void importOpensANewCatalog_data();
    void importOpensANewCatalog();
    void exportWritesTheChosenFormat_data();
    void exportWritesTheChosenFormat();
    void kindIsKeptInTheSettings_data();
    void kindIsKeptInTheSettings();
    void contextMenuSavesAndImportsAtTheSelection_data();
    void contextMenuSavesAndImportsAtTheSelection();
    void cancelLeavesNothingHalfDone_data();
    void cancelLeavesNothingHalfDone();
};

void TestFramesIlda::importOpensANewCatalog_data()
{
    QTest::addColumn<QByteArray>("bytes"); // null: no such file
    QTest::addColumn<QString>("frames");   // the new window's first slots; null: no window
    QTest::addColumn<bool>("warned");
    const QByteArray three = IldaBytes({'A', 'B', 'C'});
    QTest::newRow("three frames") << three << "ABC" << false;
    QTest::newRow("cut inside the third") << three.left(three.size() - 40) << "AB" << true;
    QTest::newRow("not an ILDA file")
        << QByteArray("ILDB and more bytes of no frame at all") << QString() << false;
    QTest::newRow("only a palette") << IldaBytes({}) << QString() << false;
    QTest::newRow("missing file") << QByteArray() << QString() << false;
}

void TestFramesIlda::importOpensANewCatalog()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, frames);
    QFETCH(bool, warned);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("show.ild"));
    if (!bytes.isNull())
        WriteBytes(path, bytes);
    NewWindow(); // the import names its window after those open
    TErrors errors;
    QString shownWith; // the new window's frames when the warning came
    Dialogs::MessageHook = [&](const QString& title, const QString& text) {
        QCOMPARE(title, QStringLiteral("Trevasc"));
        errors.Messages << text;
        shownWith = TextOf(Ids(MainForm->ActiveMDIChild()->Cat.Frames, 0, 4));
    };
    TDialogAnswer answer(path);
    MainForm->FileImportIlda1->trigger();

    if (frames.isNull()) {
        QCOMPARE(MainForm->MDIChildCount(), 1);
        QCOMPARE(errors.Messages.size(), 1);
        QVERIFY2(errors.Messages[0].contains(path), qPrintable(errors.Messages[0]));
        return;
    }
    QCOMPARE(MainForm->MDIChildCount(), 2);
    TMDIChild* child = MainForm->ActiveMDIChild();
    QCOMPARE(child->windowTitle(), QStringLiteral("noname2.cat"));
    QVERIFY(child->Modified);
    QCOMPARE(child->ComboBoxPal->currentText(), QStringLiteral("Standard"));
    QCOMPARE(TextOf(Ids(child->Cat.Frames, 0, 4)), frames + QString(4 - frames.size(), QLatin1Char('.')));
    // The indexed format keeps these frames whole.
    for (int i = 0; i < frames.size(); ++i)
        QCOMPARE(child->Cat.Frames.GetFrame(i), *IldaFrame(frames[i].unicode()));
    QCOMPARE(errors.Messages.size(), warned ? 1 : 0);
    if (warned) {
        QVERIFY2(errors.Messages[0].contains(path), qPrintable(errors.Messages[0]));
        QCOMPARE(shownWith, TextOf(Ids(child->Cat.Frames, 0, 4))); // the frames were in first
    }
}

void TestFramesIlda::exportWritesTheChosenFormat_data()
{
    QTest::addColumn<int>("filter");
    QTest::addColumn<QList<int>>("formats"); // format codes of the file's sections
    QTest::newRow("true colour 3D") << 0 << QList<int>{4, 4, 4, 4};
    QTest::newRow("true colour 2D") << 1 << QList<int>{5, 5, 5, 5};
    QTest::newRow("indexed 3D with palette") << 2 << QList<int>{2, 0, 0, 0, 0};
    QTest::newRow("indexed 2D with palette") << 3 << QList<int>{2, 1, 1, 1, 1};
    QTest::newRow("indexed 2D, standard colours") << 4 << QList<int>{1, 1, 1, 1};
}

void TestFramesIlda::exportWritesTheChosenFormat()
{
    QFETCH(int, filter);
    QFETCH(QList<int>, formats);
    QTemporaryDir dir;
    QVERIFY(!MainForm->FileExportIlda1->isEnabled());
    TMDIChild* child = NewWindow();
    QVERIFY(MainForm->FileExportIlda1->isEnabled());
    child->setWindowTitle(dir.filePath(QStringLiteral("my.show.cat")));
    child->Modified = false;
    for (const auto& [slot, id] : {std::pair{2, 'A'}, {7, 'B'}, {32766, 'C'}})
        child->Cat.Frames.SetFrame(slot, IldaFrame(id));
    const QString path = dir.filePath(QStringLiteral("out.ild"));
    {
        TDialogAnswer answer(path, filter);
        MainForm->FileExportIlda1->trigger();
        QCOMPARE(answer.Proposed, dir.filePath(QStringLiteral("my.show.ild")));
        QCOMPARE(answer.Filter, SaveFilter);
    }
    QVERIFY(!child->Modified);
    const QByteArray bytes = ReadBytes(path);
    QVERIFY(bytes.startsWith("ILDA"));
    QCOMPARE(SectionFormats(bytes), formats);
    QCOMPARE(IldaCommands::ExportKind(), filter);
    const bool flat = formats.last() == 1 || formats.last() == 5;

    // What the export wrote imports back in slot order, the gaps closed.
    TDialogAnswer again(path);
    MainForm->FileImportIlda1->trigger();
    TMDIChild* imported = MainForm->ActiveMDIChild();
    QVERIFY(imported != child);
    QCOMPARE(TextOf(Ids(imported->Cat.Frames, 0, 4)), QStringLiteral("ABC."));
    for (int i = 0; i < 3; ++i) {
        const TZLT_Frame& frame = imported->Cat.Frames.GetFrame(i);
        const auto original = IldaFrame("ABC"[i]);
        QCOMPARE(frame.Count(), original->Count());
        for (int k = 0; k < frame.Count(); ++k) {
            QCOMPARE(frame.GetPoint(k).X(), original->GetPoint(k).X());
            QCOMPARE(frame.GetPoint(k).Y(), original->GetPoint(k).Y());
            QCOMPARE(frame.GetPoint(k).Z(), flat ? int16_t(0) : original->GetPoint(k).Z());
            QCOMPARE(frame.GetPoint(k).Blanked(), original->GetPoint(k).Blanked());
        }
    }
}

void TestFramesIlda::kindIsKeptInTheSettings_data()
{
    QTest::addColumn<QByteArray>("before"); // the settings file at start; null: none
    QTest::addColumn<int>("offered");       // first in the export dialog
    QTest::addColumn<int>("chosen");        // there; -1: no export
    QTest::addColumn<QByteArray>("after");  // the settings file's [Ilda] section at the end
    QTest::addColumn<bool>("german");       // the program's language
    // The settings in effect, so loading them changes nothing else.
    const QByteArray app =
        "[Application]\nLanguage=0\nPathToPalettes=" + MainForm->PalettePath.toUtf8() + "\n";
    QTest::newRow("no file, nothing chosen") << QByteArray() << 0 << -1 << QByteArray() << false;
    QTest::newRow("no file, standard colours chosen in German")
        << QByteArray() << 0 << 4 << QByteArray("[Ilda]\nExportFormat=Indexed2DStandard\n") << true;
    QTest::newRow("kept, any case") << app + "[Ilda]\nExportFormat=truecolor2d\n"
                                    << 1 << -1 << QByteArray("[Ilda]\nExportFormat=TrueColor2D\n") << false;
    QTest::newRow("back to the first") << app + "[Ilda]\nExportFormat=Indexed3D\n"
                                       << 2 << 0 << QByteArray("[Ilda]\nExportFormat=TrueColor3D\n") << false;
    QTest::newRow("unknown name: the first")
        << app + "[Ilda]\nExportFormat=Format9\n"
        << 0 << -1 << QByteArray("[Ilda]\nExportFormat=TrueColor3D\n") << false;
    QTest::newRow("section missing") << app << 0 << 3 << QByteArray("[Ilda]\nExportFormat=Indexed2D\n")
                                     << false;
}

void TestFramesIlda::kindIsKeptInTheSettings()
{
    QFETCH(QByteArray, before);
    QFETCH(int, offered);
    QFETCH(int, chosen);
    QFETCH(QByteArray, after);
    QFETCH(bool, german);
    QTemporaryDir dir;
    SettingsLocation::ProgramFolderOverride = dir.path();
    const QString ini = TMainForm::IniFileName();
    QCOMPARE(ini, dir.filePath(QStringLiteral("Trevasc.ini")));
    if (!before.isNull())
        WriteBytes(ini, before);
    MainForm->LoadIniSettings();
    if (german) {
        MainForm->Language = 1;
        MainForm->ApplyLanguage();
    }

    TMDIChild* child = NewWindow();
    child->Cat.Frames.SetFrame(0, IldaFrame('A'));
    child->SelectSlots(0, 0);
    {
        TDialogAnswer answer(chosen < 0 ? QString() : dir.filePath(QStringLiteral("a.ild")), chosen);
        MainForm->FileExportIlda1->trigger();
        QCOMPARE(answer.Offered, offered);
        QCOMPARE(answer.Filter, german ? GermanSaveFilter : SaveFilter);
    }
    // The grid's save offers the kind now in effect, and writes that kind.
    const int kind = chosen < 0 ? offered : chosen;
    const QString path = dir.filePath(QStringLiteral("b.ild"));
    {
        TDialogAnswer answer(path, kind);
        child->SaveIldaAction->trigger();
        QCOMPARE(answer.Offered, kind);
    }
    const int codes[] = {4, 5, 2, 2, 1};
    QCOMPARE(int(ReadBytes(path).at(7)), codes[kind]);
    MainForm->SaveIniSettings();
    const QByteArray text = ReadBytes(ini);
    // [Application] as it was, or as the program writes it; [Ilda] only once it matters.
    if (before.isNull() || !before.contains("[Ilda]"))
        QCOMPARE(text.indexOf("[Ilda]") >= 0, !after.isEmpty());
    if (!after.isEmpty())
        QVERIFY2(text.endsWith(after), text.constData());
    if (!before.isNull())
        QVERIFY2(text.startsWith(before.left(before.indexOf("[Ilda]"))), text.constData());
}

void TestFramesIlda::contextMenuSavesAndImportsAtTheSelection_data()
{
    QTest::addColumn<QString>("answer"); // to the overwrite-or-insert question
    QTest::addColumn<QString>("after");  // slots 10 to 14 afterwards
    QTest::newRow("cancel") << "c"
                            << "AXY..";
    QTest::newRow("overwrite") << "o"
                               << "ACY..";
    QTest::newRow("insert") << "i"
                            << "ACXY.";
}

void TestFramesIlda::contextMenuSavesAndImportsAtTheSelection()
{
    QFETCH(QString, answer);
    QFETCH(QString, after);
    QTemporaryDir dir;
    TMDIChild* source = NewWindow();
    SetIds(source->Cat.Frames, 3, IdsOf(QStringLiteral("A.C")));
    source->SelectSlots(3, 5);
    const QString path = dir.filePath(QStringLiteral("selection.ild"));
    {
        TDialogAnswer save(path, 1);
        QVERIFY(source->PopupMenu->actions().contains(source->SaveIldaAction));
        source->SaveIldaAction->trigger();
        QCOMPARE(save.Proposed, QStringLiteral("00003.ild"));
    }

    // The two used frames go in at slot 10: the second lands on a used slot.
    TMDIChild* target = NewWindow();
    SetIds(target->Cat.Frames, 11, IdsOf(QStringLiteral("XY")));
    target->SelectSlots(10, 12);
    target->Modified = false;
    TAnswerer answerer(answer);
    TDialogAnswer load(path);
    QVERIFY(target->PopupMenu->actions().contains(target->LoadIldaAction));
    target->LoadIldaAction->trigger();
    QCOMPARE(answerer.Questions, 1);
    QCOMPARE(answerer.Unexpected, 0);
    QCOMPARE(TextOf(Ids(target->Cat.Frames, 10, 5)), after);
    QVERIFY(target->Modified);

    // One step, named for what it was, that Undo takes back whole.
    QCOMPARE(MainForm->EditUndo1->text(), QStringLiteral("&Undo Import from ILDA file"));
    MainForm->EditUndo1->trigger();
    QCOMPARE(TextOf(Ids(target->Cat.Frames, 10, 5)), QStringLiteral(".XY.."));
    QVERIFY(!target->Modified);
}

void TestFramesIlda::cancelLeavesNothingHalfDone_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("File › Import ILDA") << "import";
    QTest::newRow("File › Export ILDA") << "export";
    QTest::newRow("Import from ILDA file") << "import at selection";
    QTest::newRow("opened from outside") << "open";
}

void TestFramesIlda::cancelLeavesNothingHalfDone()
{
    QFETCH(QString, command);
    QTemporaryDir dir;
    TMDIChild* child = NewWindow();
    // Some MiB of frames, so the job reports its progress many times.
    for (int slot = 0; slot < 2000; ++slot)
        child->Cat.Frames.SetFrame(slot, IldaFrame(slot + 1, 500));
    child->Modified = false;
    const QString path = dir.filePath(QStringLiteral("big.ild"));
    const QByteArray old = "old bytes, not an ILDA file";
    if (command == QLatin1String("export"))
        WriteBytes(path, old);
    else
        WriteBytes(path, ZLT_Ilda::WriteBytes(child->Cat.Frames, 0, 2000, child->Pal,
                                              ZLT_Ilda::TFormat::TrueColor3D));
    const QByteArray before = ReadBytes(path);
    child->SelectSlots(5000, 5000);

    ProgressDelayMs = 0;
    bool cancelled = false;
    ProgressHook = [&](QProgressDialog& dialog, qint64) {
        if (cancelled || !dialog.isVisible())
            return;
        cancelled = true;
        QTest::mouseClick(dialog.findChild<QPushButton*>(), Qt::LeftButton);
    };
    TErrors errors;
    TDialogAnswer answer(path);
    if (command == QLatin1String("import"))
        MainForm->FileImportIlda1->trigger();
    else if (command == QLatin1String("export"))
        MainForm->FileExportIlda1->trigger();
    else if (command == QLatin1String("open"))
        QCOMPARE(FileOpener::OpenFiles({path}), QStringList()); // nothing failed
    else
        child->LoadIldaAction->trigger();

    QVERIFY(cancelled);
    QCOMPARE(errors.Messages, QStringList()); // Cancel is no error
    QCOMPARE(MainForm->MDIChildCount(), 1);
    QCOMPARE(ReadBytes(path), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    QVERIFY(!child->Cat.Frames.GetFrame(5000).Used());
    QVERIFY(!child->Modified);
}

QTEST_MAIN(TestFramesIlda)
#include "tst_frames_ilda.moc"
