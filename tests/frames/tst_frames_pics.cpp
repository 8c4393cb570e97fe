// Picture files: saving and loading one frame from the grid's context menu,
// and the bulk export and import commands of the main window.

#include "FramesTestKit.h"
#include "Progress.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QtTest>

// Seams of the bulk picture work (defined with the frame operations).

using namespace Kit;

namespace {

constexpr int Slots = TZLT_Cat::SlotCount;
const QString PicFilter = QStringLiteral("ZLT PIC files (*.pic)|*.pic");

// A frame with the values the picture format cannot keep: X, Y, Z of -1
// and 0, Aux with bit 7 set, and a first point that is not blanked.
std::unique_ptr<TZLT_Frame> AwkwardFrame(int id)
{
    auto frame = std::make_unique<TZLT_Frame>();
    frame->Add(TZLT_Point(int16_t(id), 200, -1, 5, 200));
    frame->Add(TZLT_Point(-1, -1, 0, 0x47, 3));
    frame->Add(TZLT_Point(0, 0, 32767, 0x80, 127));
    frame->Add(TZLT_Point(-32767, 32767, -32767, 63, 0));
    return frame;
}

// The frame as it reads back from a picture file: X and Z of 0 read as -1,
// Y of -1 as 0, Aux loses bit 7 and the first point reads as blanked 192.
std::unique_ptr<TZLT_Frame> AfterPicRoundTrip(const TZLT_Frame& frame)
{
    auto result = std::make_unique<TZLT_Frame>();
    for (int i = 0; i < frame.Count(); ++i) {
        const TZLT_Point& p = frame.GetPoint(i);
        result->Add(TZLT_Point(p.X() == 0 ? -1 : p.X(), p.Y() == -1 ? 0 : p.Y(), p.Z() == 0 ? -1 : p.Z(),
                               i == 0 ? 192 : p.Status(), p.Aux() & 0x7F));
    }
    return result;
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList FilesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// Answers the shared file dialogs: records what they proposed, then picks
// answer (an empty answer cancels).
struct TDialogScript
{
    explicit TDialogScript(const QString& answer = QString())
    {
        TFileDialog::TestHook = [this, answer](TFileDialog& dialog) {
            ++Shown;
            Kind = dialog.DialogKind();
            Filter = dialog.Filter;
            DefaultExt = dialog.DefaultExt;
            Proposed = dialog.FileName;
            if (answer.isEmpty())
                return false;
            dialog.FileName = answer;
            return true;
        };
    }
    ~TDialogScript() { TFileDialog::TestHook = nullptr; }
    int Shown = 0;
    TFileDialog::Kind Kind = TFileDialog::Kind::Open;
    QString Filter, DefaultExt, Proposed;
};

void TriggerFromMenu(TMDIChild* child, QAction* action)
{
    QVERIFY(child->PopupMenu->actions().contains(action));
    action->trigger();
}

TMDIChild* ImportByCommand(const QString& dir)
{
    Dialogs::PickFolderHook = [dir](const QString&) { return dir; };
    const int before = MainForm->MDIChildCount();
    MainForm->FileImportPicDir1->trigger();
    Dialogs::PickFolderHook = nullptr;
    return MainForm->MDIChildCount() == before + 1 ? MainForm->ActiveMDIChild() : nullptr;
}

void ExportByCommand(TMDIChild* child, const QString& dir)
{
    MainForm->MdiArea->setActiveSubWindow(child);
    Dialogs::PickFolderHook = [dir](const QString&) { return dir; };
    MainForm->FileExportPics1->trigger();
    Dialogs::PickFolderHook = nullptr;
}

// Writes one small picture file per name; file k holds frame number k + 1.
void WritePics(const QString& dir, const QStringList& names)
{
    for (int k = 0; k < names.size(); ++k)
        MakeFrame(k + 1, 1)->SaveToPicFile(dir + QLatin1Char('/') + names[k]);
}

} // namespace

class TestFramesPics : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { EnsureMainWindow(); }
    void cleanup()
    {
        CloseAllWindows();
        TFileDialog::TestHook = nullptr;
        Dialogs::PickFolderHook = nullptr;
        ProgressHook = nullptr;
        ProgressDelayMs = 500;
    }

    void saveFromEmptySlotDoesNothing();
    void dialogsProposeTheSlotsName_data();
    void dialogsProposeTheSlotsName();
    void saveThenLoadKeepsWhatTheFormatKeeps();
    void loadIntoUsedSlotAsks_data();
    void loadIntoUsedSlotAsks();
    void failedLoadChangesNothing_data();
    void failedLoadChangesNothing();
    void exportWritesOneFilePerUsedSlot_data();
    void exportWritesOneFilePerUsedSlot();
    void exportOfEmptyCatalogWritesNothing();
    void exportStopsAtUnwritableFile();
    void importOrder_data();
    void importOrder();
    void importTakesAtMostOneCatalog();
    void importStopsAtBadFile();
    void exportThenImportRoundTrip();
    void cancelStopsBulkWork_data();
    void cancelStopsBulkWork();
};

void TestFramesPics::saveFromEmptySlotDoesNothing()
{
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    child->Modified = false;
    child->SelectSlots(7, 9);
    child->Cat.Frames.SetFrame(8, MakeFrame(1));
    TDialogScript dialog(QStringLiteral("/nonexistent/never.pic"));
    TErrors errors;
    TriggerFromMenu(child, child->SavePicAction);
    QCOMPARE(dialog.Shown, 0);
    QCOMPARE(errors.Messages, QStringList());
    QVERIFY(!child->Modified);
}

void TestFramesPics::dialogsProposeTheSlotsName_data()
{
    QTest::addColumn<bool>("save");
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("proposed");
    QTest::newRow("save, slot 42") << true << 42 << "00042.pic";
    QTest::newRow("load, slot 42") << false << 42 << "00042.pic";
    QTest::newRow("save, slot 0") << true << 0 << "00000.pic";
    QTest::newRow("load, last slot") << false << Slots - 1 << "32766.pic";
}

// The slot number, not its label, names the file; filter, extension and
// name are set again each time, whatever the dialog proposed before.
void TestFramesPics::dialogsProposeTheSlotsName()
{
    QFETCH(bool, save);
    QFETCH(int, slot);
    QFETCH(QString, proposed);
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    child->Cat.Frames.SetFrame(slot, MakeFrame(1));
    child->SelectSlots(slot, slot);
    child->Modified = false;
    TFileDialog& shared = save ? MainForm->SaveDialog : MainForm->OpenDialog;
    shared.Filter = QStringLiteral("ZLT Catalog files (*.cat)|*.cat");
    shared.DefaultExt = QStringLiteral("cat");
    shared.FileName = QStringLiteral("/somewhere/old.cat");
    TDialogScript dialog; // cancels
    TErrors errors;

    TriggerFromMenu(child, save ? child->SavePicAction : child->LoadPicAction);

    QCOMPARE(dialog.Shown, 1);
    QVERIFY(dialog.Kind == (save ? TFileDialog::Kind::Save : TFileDialog::Kind::Open));
    QCOMPARE(dialog.Proposed, proposed);
    QCOMPARE(dialog.Filter, PicFilter);
    QCOMPARE(dialog.DefaultExt, QStringLiteral("pic"));
    QCOMPARE(errors.Messages, QStringList());
    QVERIFY(!child->Modified);
    QCOMPARE(FrameId(child->Cat.Frames.GetFrame(slot)), 1);
}

void TestFramesPics::saveThenLoadKeepsWhatTheFormatKeeps()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("frame.pic"));
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    child->Cat.Frames.SetFrame(42, AwkwardFrame(1234));
    child->SelectSlots(42, 42);
    child->Modified = false;
    TErrors errors;
    {
        TDialogScript dialog(path);
        TriggerFromMenu(child, child->SavePicAction);
    }
    QVERIFY(!child->Modified);
    QCOMPARE(ReadBytes(path), child->Cat.Frames.GetFrame(42).ToPicBytes());
    QCOMPARE(ReadBytes(path).size(), 14 + 8 * 4);

    child->SelectSlots(50, 50);
    TAnswerer answerer;
    {
        TDialogScript dialog(path);
        TriggerFromMenu(child, child->LoadPicAction);
    }
    QCOMPARE(errors.Messages, QStringList());
    QCOMPARE(answerer.Questions, 0);
    QVERIFY(child->Cat.Frames.GetFrame(50) == *AfterPicRoundTrip(child->Cat.Frames.GetFrame(42)));
    QCOMPARE(child->Cat.Frames.GetFrame(50).GetPoint(0).Status(), 192);
    QVERIFY(child->Modified);
}

void TestFramesPics::loadIntoUsedSlotAsks_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("expected"); // slots 49 to 52
    QTest::newRow("cancel") << "c"
                            << ".B..";
    QTest::newRow("overwrite") << "o"
                               << ".P..";
    QTest::newRow("insert") << "i"
                            << ".PB.";
}

void TestFramesPics::loadIntoUsedSlotAsks()
{
    QFETCH(QString, answer);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.pic"));
    MakeFrame('P')->SaveToPicFile(path);
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    child->Cat.Frames.SetFrame(50, MakeFrame('B'));
    child->SelectSlots(50, 50);
    child->Modified = false;
    TDialogScript dialog(path);
    TAnswerer answerer(answer);

    TriggerFromMenu(child, child->LoadPicAction);

    QCOMPARE(answerer.Questions, 1);
    QCOMPARE(TextOf(Ids(child->Cat.Frames, 49, 4)), expected);
    QCOMPARE(child->Modified, answer != QLatin1String("c")); // Cancel changed nothing
}

void TestFramesPics::failedLoadChangesNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing file") << "missing";
    QTest::newRow("shorter than the header") << "short";
    QTest::newRow("a directory") << "directory";
}

void TestFramesPics::failedLoadChangesNothing()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.pic"));
    if (kind == QLatin1String("short"))
        WriteBytes(path, QByteArray("\x00\x05\x00\x00\x00", 5));
    else if (kind == QLatin1String("directory"))
        QVERIFY(QDir().mkdir(path));
    for (const int slot : {50, 51}) { // a used and an empty slot
        TMDIChild* child = NewWindow();
        QVERIFY(child);
        child->Cat.Frames.SetFrame(50, MakeFrame('B'));
        child->SelectSlots(slot, slot);
        child->Modified = false;
        TDialogScript dialog(path);
        TAnswerer answerer;
        TErrors errors;

        TriggerFromMenu(child, child->LoadPicAction);

        QCOMPARE(errors.Messages.size(), 1);
        QVERIFY2(errors.Messages.first().contains(path), qPrintable(errors.Messages.first()));
        if (kind != QLatin1String("short"))
            QCOMPARE(errors.Messages.first(), QStringLiteral("File does not exist: '%1'").arg(path));
        QCOMPARE(answerer.Questions, 0);
        QCOMPARE(TextOf(Ids(child->Cat.Frames, 49, 4)), QStringLiteral(".B.."));
        QVERIFY(!child->Modified);
        CloseAllWindows();
    }
}

void TestFramesPics::exportWritesOneFilePerUsedSlot_data()
{
    QTest::addColumn<bool>("trailingSeparator");
    QTest::newRow("folder as picked") << false;
    QTest::newRow("folder ending with a separator") << true;
}

void TestFramesPics::exportWritesOneFilePerUsedSlot()
{
    QFETCH(bool, trailingSeparator);
    QTemporaryDir dir;
    WriteBytes(dir.filePath(QStringLiteral("00005.pic")), "keep me");
    WriteBytes(dir.filePath(QStringLiteral("00003.pic")), "replace me");
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    child->Cat.Frames.SetFrame(3, MakeFrame(3));
    child->Cat.Frames.SetFrame(10, AwkwardFrame(10));
    child->Modified = false;
    TErrors errors;

    QString folder = QDir::toNativeSeparators(dir.path());
    if (trailingSeparator)
        folder += QDir::separator();
    ExportByCommand(child, folder);

    QCOMPARE(errors.Messages, QStringList());
    QCOMPARE(FilesIn(dir.path()), (QStringList{"00003.pic", "00005.pic", "00010.pic"}));
    QCOMPARE(ReadBytes(dir.filePath(QStringLiteral("00003.pic"))),
             child->Cat.Frames.GetFrame(3).ToPicBytes());
    QCOMPARE(ReadBytes(dir.filePath(QStringLiteral("00010.pic"))),
             child->Cat.Frames.GetFrame(10).ToPicBytes());
    QCOMPARE(ReadBytes(dir.filePath(QStringLiteral("00005.pic"))), QByteArray("keep me"));
    QVERIFY(!child->Modified);
}

void TestFramesPics::exportOfEmptyCatalogWritesNothing()
{
    QTemporaryDir dir;
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    TErrors errors;
    ExportByCommand(child, dir.path());
    QCOMPARE(FilesIn(dir.path()), QStringList());
    QCOMPARE(errors.Messages, QStringList());
}

void TestFramesPics::exportStopsAtUnwritableFile()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("00010.pic"))); // cannot be written, even by root
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    for (int slot : {3, 10, 20})
        child->Cat.Frames.SetFrame(slot, MakeFrame(slot));
    TErrors errors;

    ExportByCommand(child, dir.path());

    QCOMPARE(errors.Messages.size(), 1);
    QVERIFY2(errors.Messages.first().contains(QStringLiteral("00010.pic")),
             qPrintable(errors.Messages.first()));
    QCOMPARE(FilesIn(dir.path()), QStringList{"00003.pic"});
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("00020.pic"))));
}

void TestFramesPics::importOrder_data()
{
    QTest::addColumn<QStringList>("names"); // in the order they are written
    QTest::addColumn<QStringList>("order"); // as they must fill slots 0, 1, ...
    QTest::newRow("case does not count")
        << QStringList{"c.pic", "B.pic", "a.pic", "D.PIC"} << QStringList{"a.pic", "B.pic", "c.pic", "D.PIC"};
    QTest::newRow("numbers sort as text") << QStringList{"9.pic", "10.pic"} << QStringList{"10.pic", "9.pic"};
    QTest::newRow("five-digit names") << QStringList{"00100.pic", "00000.pic", "00007.pic"}
                                      << QStringList{"00000.pic", "00007.pic", "00100.pic"};
    QTest::newRow("hidden files count") << QStringList{"v.pic", ".h.pic"} << QStringList{".h.pic", "v.pic"};
    QTest::newRow("other files are ignored")
        << QStringList{"b.pic", "a.txt", "a.pic.bak", "a.pic"} << QStringList{"a.pic", "b.pic"};
}

void TestFramesPics::importOrder()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, order);
    QTemporaryDir dir;
    WritePics(dir.path(), names);
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.pic"))); // directories are skipped
    TErrors errors;

    TMDIChild* child = ImportByCommand(dir.path());

    QVERIFY(child);
    QCOMPARE(errors.Messages, QStringList());
    for (int slot = 0; slot < order.size(); ++slot)
        QCOMPARE(FrameId(child->Cat.Frames.GetFrame(slot)), int(names.indexOf(order[slot])) + 1);
    QCOMPARE(FrameId(child->Cat.Frames.GetFrame(int(order.size()))), 0);
    QVERIFY(child->Modified);
}

void TestFramesPics::importTakesAtMostOneCatalog()
{
    QTemporaryDir dir;
    const int files = 40000;
    QByteArray bytes = MakeFrame(1, 1)->ToPicBytes();
    for (int k = 0; k < files; ++k) {
        // X of the point tells the file apart: 1 + k % 30000, Y the rest.
        auto frame = std::make_unique<TZLT_Frame>();
        frame->Add(TZLT_Point(int16_t(1 + k % 30000), int16_t(k / 30000), 0, 0, 0));
        WriteBytes(dir.filePath(QString::asprintf("%05d.pic", files - 1 - k)), frame->ToPicBytes());
    }
    TErrors errors;

    TMDIChild* child = ImportByCommand(dir.path());

    QVERIFY(child);
    QCOMPARE(errors.Messages, QStringList());
    // Slot i holds the file named i, written as k = files - 1 - i.
    for (int slot = 0; slot < Slots; ++slot) {
        const int k = files - 1 - slot;
        const TZLT_Point& p = child->Cat.Frames.GetFrame(slot).GetPoint(0);
        if (p.X() != 1 + k % 30000 || p.Y() != k / 30000)
            QFAIL(qPrintable(QStringLiteral("slot %1 holds the wrong file").arg(slot)));
    }
    QCOMPARE(child->Cat.Frames.Count(), Slots);
}

void TestFramesPics::importStopsAtBadFile()
{
    QTemporaryDir dir;
    WritePics(dir.path(), {"00000.pic", "00001.pic", "00002.pic"});
    WriteBytes(dir.filePath(QStringLiteral("00001.pic")), QByteArray(9, '\0'));
    TErrors errors;

    TMDIChild* child = ImportByCommand(dir.path());

    QVERIFY(child); // the new window stays open with what was loaded
    QCOMPARE(errors.Messages.size(), 1);
    QVERIFY2(errors.Messages.first().contains(QStringLiteral("00001.pic")),
             qPrintable(errors.Messages.first()));
    QCOMPARE(Ids(child->Cat.Frames, 0, 4), (std::vector<int>{1, 0, 0, 0}));
}

void TestFramesPics::exportThenImportRoundTrip()
{
    QTemporaryDir dir;
    TMDIChild* source = NewWindow();
    QVERIFY(source);
    const std::vector<int> used{0, 1, 2, 7, Slots - 1};
    for (int slot : used)
        source->Cat.Frames.SetFrame(slot, AwkwardFrame(slot % 1000 + 1));
    TErrors errors;

    ExportByCommand(source, dir.path());
    TMDIChild* copy = ImportByCommand(dir.path());

    QVERIFY(copy);
    QVERIFY(copy != source);
    QCOMPARE(errors.Messages, QStringList());
    // Used frames close up from slot 0 on; the format's losses apply.
    for (size_t i = 0; i < used.size(); ++i)
        QVERIFY2(copy->Cat.Frames.GetFrame(int(i)) ==
                     *AfterPicRoundTrip(source->Cat.Frames.GetFrame(used[i])),
                 qPrintable(QStringLiteral("slot %1").arg(i)));
    QVERIFY(!copy->Cat.Frames.GetFrame(int(used.size())).Used());
}

void TestFramesPics::cancelStopsBulkWork_data()
{
    QTest::addColumn<bool>("exporting");
    QTest::newRow("export") << true;
    QTest::newRow("import") << false;
}

// With no delay the progress dialog shows within the first files; its
// Cancel button, pressed as soon as it shows, stops the work after the file
// at hand, keeps what is done and says nothing.
void TestFramesPics::cancelStopsBulkWork()
{
    QFETCH(bool, exporting);
    QTemporaryDir dir;
    const int files = 200;
    QStringList names;
    for (int k = 0; k < files; ++k)
        names << QString::asprintf("%05d.pic", k);
    if (!exporting)
        WritePics(dir.path(), names);
    TMDIChild* source = NewWindow();
    QVERIFY(source);
    for (int k = 0; k < files; ++k)
        source->Cat.Frames.SetFrame(k, MakeFrame(k + 1));

    ProgressDelayMs = 0;
    int cancelledAt = 0;
    bool modal = false;
    ProgressHook = [&](QProgressDialog& dialog, qint64 done) {
        if (cancelledAt != 0 || !dialog.isVisible())
            return;
        cancelledAt = done;
        modal = dialog.isModal();
        auto* cancel = dialog.findChild<QPushButton*>();
        QVERIFY(cancel);
        QTest::mouseClick(cancel, Qt::LeftButton);
    };
    TErrors errors;

    TMDIChild* target = nullptr;
    if (exporting)
        ExportByCommand(source, dir.path());
    else
        target = ImportByCommand(dir.path());

    QVERIFY(cancelledAt > 0);
    QVERIFY(cancelledAt < files);
    QVERIFY(modal);
    QCOMPARE(errors.Messages, QStringList());
    if (exporting) {
        QCOMPARE(FilesIn(dir.path()), names.mid(0, cancelledAt));
    } else {
        QVERIFY(target);
        QCOMPARE(FrameId(target->Cat.Frames.GetFrame(cancelledAt - 1)), cancelledAt);
        QCOMPARE(FrameId(target->Cat.Frames.GetFrame(cancelledAt)), 0);
    }
}

QTEST_MAIN(TestFramesPics)
#include "tst_frames_pics.moc"
