// Undo and Redo of catalog windows: a seeded random run of frame operations
// in two windows, checked after every step against a plain model of the
// slots and their history, and the edge cases around it.

#include "FrameGrid.h"
#include "FramesTestKit.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

using namespace Kit;

namespace {

constexpr int Slots = TZLT_Cat::SlotCount;
using TSparse = std::vector<std::pair<int, int>>; // used slots: slot, frame number

// A window's slots and history as they must be: the states one after the
// other, the current one and the saved one (-1: none left).
struct TModel
{
    std::vector<int> Slots;
    std::vector<TSparse> States;
    int Pos = 0;
    int Saved = 0;

    void Start(std::vector<int> ids)
    {
        Slots = std::move(ids);
        States = {Sparse()};
    }
    // A change that leaves every slot as it was is no step.
    void Step(std::vector<int> ids)
    {
        if (ids == Slots)
            return;
        States.resize(size_t(Pos) + 1);
        Saved = Saved > Pos ? -1 : Saved;
        Slots = std::move(ids);
        States.push_back(Sparse());
        ++Pos;
    }
    void Move(int by)
    {
        if (Pos + by < 0 || Pos + by >= int(States.size()))
            return;
        Pos += by;
        Slots.assign(Slots.size(), 0);
        for (const auto& [slot, id] : States[size_t(Pos)])
            Slots[size_t(slot)] = id;
    }
    TSparse Sparse() const
    {
        TSparse used;
        for (size_t i = 0; i < Slots.size(); ++i)
            if (Slots[i] != 0)
                used.emplace_back(int(i), Slots[i]);
        return used;
    }
};

std::vector<const TZLT_Frame*> Identities(const TZLT_FrameList& frames)
{
    std::vector<const TZLT_Frame*> all;
    for (int i = 0; i < frames.Count(); ++i)
        all.push_back(&frames.GetFrame(i));
    return all;
}

QPoint CellCenter(TMDIChild* child, int slot)
{
    child->SetLeftmostSlot(slot);
    return child->Grid->visualRect(child->Grid->model()->index(0, slot)).center();
}

void Activate(TMDIChild* child)
{
    MainForm->MdiArea->setActiveSubWindow(child);
}

} // namespace

class TestFramesUndo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { EnsureMainWindow(); }
    void cleanup()
    {
        CloseAllWindows();
        TFileDialog::TestHook = nullptr;
        THistory::SetBudget(THistory::DefaultBudget);
    }

    void randomRunFollowsTheModel_data();
    void randomRunFollowsTheModel();
    void undoPutsBackTheVeryFrames_data();
    void undoPutsBackTheVeryFrames();
    void commandsNameTheStep_data();
    void commandsNameTheStep();
    void budgetDropsTheOldestSteps();
    void nothingChangedIsNoStep_data();
    void nothingChangedIsNoStep();
    void closingAtTheSavedStateAsksNothing();
    void keysWorkWhereverTheFocusIs_data();
    void keysWorkWhereverTheFocusIs();
};

void TestFramesUndo::randomRunFollowsTheModel_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u, 3u})
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
}

// Paste, drop, cut, delete and picture load with random answers (Cancel
// too), undo, redo, copy and save, in two windows, near both ends of the
// catalog so that inserts push frames out of the last slot. Both windows
// are checked after every step, so undo in one never touches the other.
void TestFramesUndo::randomRunFollowsTheModel()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    const auto below = [&random](int n) { return int(random.bounded(n)); };
    const auto anySlot = [&] { return below(2) ? below(12) : Slots - 12 + below(12); };
    int nextId = 1;
    const auto newId = [&] { return nextId = nextId % 30000 + 1; };
    QTemporaryDir dir;
    const QString pic = dir.filePath(QStringLiteral("one.pic"));
    TFileDialog::TestHook = [&pic](TFileDialog& dialog) {
        dialog.FileName = pic;
        return true;
    };
    TMDIChild* windows[2];
    TModel models[2];
    for (int w = 0; w < 2; ++w) {
        windows[w] = NewWindow();
        QVERIFY(windows[w]);
        windows[w]->setWindowTitle(dir.filePath(QStringLiteral("w%1.cat").arg(w)));
        for (int k = 0; k < 10; ++k)
            windows[w]->Cat.Frames.SetFrame(anySlot(), MakeFrame(newId()));
        windows[w]->Modified = false; // as if loaded
        models[w].Start(AllIds(windows[w]->Cat.Frames));
    }
    std::vector<int> clip;
    const auto slotsOf = [](const TModel& m, int a, int b) {
        return std::vector<int>(m.Slots.begin() + a, m.Slots.begin() + b + 1);
    };

    for (int op = 0; op < 1500; ++op) {
        const int w = below(2);
        TMDIChild* child = windows[w];
        TModel& model = models[w];
        Activate(child);
        const int first = anySlot();
        const int last = std::min(first + below(4), Slots - 1);
        child->SelectSlots(first, last);
        QString script;
        for (int q = 0; q < 6; ++q)
            script += QLatin1Char("oOiIcenx"[below(8)]);
        TErrors errors;
        TAnswerer answerer(script);
        TModelResult expected;
        const int kind = below(10);
        static const char* const names[] = {"paste",   "paste", "drop", "cut",  "delete",
                                            "picture", "undo",  "undo", "redo", "copy or save"};

        if (kind < 2) { // what was cut or copied, or new frames
            if (clip.empty() || below(2)) {
                clip.assign(size_t(1 + below(5)), 0);
                for (int& id : clip)
                    id = below(4) ? newId() : 0;
            }
            MainForm->ClipboardFrames = MakeList(clip);
            expected = ModelPaste(model.Slots, clip, first, script);
            MainForm->EditPaste1->trigger();
        } else if (kind == 2) { // from either window
            TMDIChild* source = windows[below(2)];
            const int a = anySlot();
            source->SelectSlots(a, std::min(a + below(4), Slots - 1));
            source->GridMouseDown(Qt::LeftButton, Qt::NoModifier, false, QPoint());
            const std::vector<int> dragged =
                slotsOf(source == child ? model : models[1 - w], source->SelStart(), source->SelEnd());
            expected = ModelPaste(model.Slots, dragged, first, script);
            static_cast<TFrameGrid*>(child->Grid)->Drop(source->Grid->viewport(), CellCenter(child, first));
        } else if (kind < 5) {
            expected.Slots = model.Slots;
            std::fill(expected.Slots.begin() + first, expected.Slots.begin() + last + 1, 0);
            if (kind == 3)
                clip = slotsOf(model, first, last);
            (kind == 3 ? MainForm->EditCut1 : child->DeleteAction)->trigger();
        } else if (kind == 5) {
            const int id = newId();
            MakeFrame(id)->SaveToPicFile(pic);
            expected = ModelPaste(model.Slots, {id}, first, script);
            child->LoadPicAction->trigger();
        } else if (kind < 9) {
            (kind < 8 ? MainForm->EditUndo1 : MainForm->EditRedo1)->trigger();
            model.Move(kind < 8 ? -1 : 1);
        } else if (below(4) > 0) {
            clip = slotsOf(model, first, last);
            MainForm->EditCopy1->trigger();
        } else {
            MainForm->FileSave1->trigger();
            model.Saved = model.Pos;
        }
        if (!expected.Slots.empty())
            model.Step(expected.Slots);

        const QByteArray where =
            QStringLiteral("op %1: %2 in window %3").arg(op).arg(names[kind]).arg(w).toUtf8();
        QVERIFY2(answerer.Unexpected == 0 && answerer.Questions == expected.Questions, where);
        QVERIFY2(errors.Messages.size() == (expected.IndexError ? 1 : 0), where);
        for (int v = 0; v < 2; ++v) {
            QVERIFY2(AllIds(windows[v]->Cat.Frames) == models[v].Slots, where);
            QVERIFY2(windows[v]->Modified == (models[v].Pos != models[v].Saved), where);
        }
        QVERIFY2(MainForm->EditUndo1->isEnabled() == (model.Pos > 0), where);
        QVERIFY2(MainForm->EditRedo1->isEnabled() == (model.Pos + 1 < int(model.States.size())), where);
        QVERIFY2(clip.empty() || AllIds(*MainForm->ClipboardFrames) == clip, where);
    }
}

void TestFramesUndo::undoPutsBackTheVeryFrames_data()
{
    QTest::addColumn<QString>("operation"); // the answers of a paste, "cut" or "delete"
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("count"); // frames pasted or slots emptied
    QTest::addColumn<bool>("full"); // else only the last three slots are used
    QTest::addColumn<int>("last");  // the last slot selected after undo and redo
    QTest::newRow("insert at the last slot") << "i" << Slots - 1 << 1 << false << Slots - 1;
    QTest::newRow("insert all into a full catalog") << "I" << 0 << Slots << true << Slots - 1;
    QTest::newRow("insert, cancel, overwrite") << "ico" << Slots - 4 << 4 << false << Slots - 1;
    QTest::newRow("delete every slot") << "delete" << 0 << Slots << true << Slots - 1;
    QTest::newRow("cut a few") << "cut" << 200 << 3 << true << 202;
}

// Undo brings back the very frame objects in their slots, those pushed out
// of the last slot included, and redo the very frames of the change; the
// changed slots are selected and scrolled to, Modified follows.
void TestFramesUndo::undoPutsBackTheVeryFrames()
{
    QFETCH(QString, operation);
    QFETCH(int, slot);
    QFETCH(int, count);
    QFETCH(bool, full);
    QFETCH(int, last);
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    std::vector<int> ids(Slots, 0);
    for (int i = 0; i < Slots; ++i)
        ids[size_t(i)] = full || i >= Slots - 3 ? 1 + i % 30000 : 0;
    SetIds(child->Cat.Frames, 0, ids);
    child->Modified = false;
    child->SelectSlots(slot, slot + count - 1);
    child->SetLeftmostSlot(10000); // the changed slots out of view
    const std::vector<const TZLT_Frame*> before = Identities(child->Cat.Frames);
    QSignalSpy changed(child, &TMDIChild::SlotsChanged);

    if (operation == QLatin1String("delete")) {
        child->DeleteAction->trigger();
    } else if (operation == QLatin1String("cut")) {
        MainForm->EditCut1->trigger();
    } else {
        MainForm->ClipboardFrames = MakeList(std::vector<int>(size_t(count), 30001));
        TAnswerer answerer(operation);
        MainForm->EditPaste1->trigger();
        QCOMPARE(answerer.Left(), 0);
    }
    const std::vector<const TZLT_Frame*> after = Identities(child->Cat.Frames);
    QVERIFY(after != before);

    for (int round = 0; round < 2; ++round) {
        MainForm->EditUndo1->trigger();
        QVERIFY(Identities(child->Cat.Frames) == before);
        QVERIFY(!child->Modified);
        QCOMPARE(child->SelStart(), slot);
        QCOMPARE(child->SelEnd(), last);
        QCOMPARE(child->LeftmostSlot(), slot);
        MainForm->EditRedo1->trigger();
        QVERIFY(Identities(child->Cat.Frames) == after);
        QVERIFY(child->Modified);
        QCOMPARE(child->SelEnd(), last);
    }
    QCOMPARE(changed.count(), 5);
}

void TestFramesUndo::commandsNameTheStep_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("step");
    const char* const rows[][3] = {{"paste", "Paste", "Einfügen"},
                                   {"drop", "Drop", "Ablegen"},
                                   {"cut", "Cut", "Ausschneiden"},
                                   {"delete", "Delete", "Löschen"},
                                   {"picture", "Import from PIC file", "Import von PIC Datei"}};
    for (const auto& row : rows)
        for (int language : {0, 1})
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(row[0]).arg(language)))
                << row[0] << language << QString::fromUtf8(row[1 + language]);
}

// The captions name the step, in the language, for the active window; with
// nothing to undo or redo, or no window, the commands are disabled.
void TestFramesUndo::commandsNameTheStep()
{
    QFETCH(QString, operation);
    QFETCH(int, language);
    QFETCH(QString, step);
    MainForm->Language = language;
    MainForm->ApplyLanguage();
    const QString undo = language ? QStringLiteral("&Rückgängig") : QStringLiteral("&Undo");
    const QString redo = language ? QStringLiteral("&Wiederherstellen") : QStringLiteral("&Redo");
    const QString named = language ? QStringLiteral(": ") + step : QStringLiteral(" ") + step;
    const auto shows = [](const QString& undoText, const QString& redoText) {
        QAction* u = MainForm->EditUndo1;
        QAction* r = MainForm->EditRedo1;
        return u->text() == undoText && u->isEnabled() == undoText.contains(QLatin1Char(' ')) &&
               r->text() == redoText && r->isEnabled() == redoText.contains(QLatin1Char(' '));
    };
    QVERIFY(shows(undo, redo));
    TMDIChild* other = NewWindow();
    TMDIChild* child = NewWindow();
    QVERIFY(other && child && shows(undo, redo));
    QTemporaryDir dir;
    const QString pic = dir.filePath(QStringLiteral("a.pic"));
    MakeFrame('P')->SaveToPicFile(pic);
    TFileDialog::TestHook = [&pic](TFileDialog& dialog) {
        dialog.FileName = pic;
        return true;
    };
    MainForm->ClipboardFrames = MakeList(IdsOf("AB"));
    MainForm->DragFrames = MakeList(IdsOf("CD"));
    child->SelectSlots(3, 4);
    if (operation == QLatin1String("cut") || operation == QLatin1String("delete"))
        SetIds(child->Cat.Frames, 3, IdsOf("XY")); // emptying empty slots would change nothing
    if (operation == QLatin1String("paste"))
        MainForm->EditPaste1->trigger();
    else if (operation == QLatin1String("drop"))
        static_cast<TFrameGrid*>(child->Grid)->Drop(child->Grid, CellCenter(child, 3));
    else if (operation == QLatin1String("cut"))
        MainForm->EditCut1->trigger();
    else if (operation == QLatin1String("delete"))
        child->DeleteAction->trigger();
    else
        child->LoadPicAction->trigger();

    QVERIFY(shows(undo + named, redo));
    QCOMPARE(MainForm->EditUndo1->toolTip(), QString(undo + named).remove(QLatin1Char('&')));
    Activate(other);
    QVERIFY(shows(undo, redo));
    Activate(child);
    MainForm->EditUndo1->trigger();
    MainForm->ApplyLanguage(); // the texts keep naming the step
    QVERIFY(shows(undo, redo + named));
    other->Modified = child->Modified = false;
    QVERIFY(child->close() && other->close());
    QVERIFY(shows(undo, redo));

    QMenu* edit = MainForm->findChild<QMenu*>(QStringLiteral("Edit1"));
    QVERIFY(edit);
    const qsizetype paste = edit->actions().indexOf(MainForm->EditPaste1);
    QCOMPARE(edit->actions().mid(paste + 1, 2), QList<QAction*>({MainForm->EditUndo1, MainForm->EditRedo1}));
    MainForm->Language = 0;
    MainForm->ApplyLanguage();
}

void TestFramesUndo::budgetDropsTheOldestSteps()
{
    QCOMPARE(THistory::TotalCost(), 0); // the histories ended with their windows
    TMDIChild* other = NewWindow();
    QVERIFY(other);
    SetIds(other->Cat.Frames, 0, IdsOf("Z"));
    other->DeleteAction->trigger();
    const qint64 frameCost = THistory::TotalCost(); // one frame kept for undo
    QVERIFY(frameCost > THistory::FrameCost);
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    SetIds(child->Cat.Frames, 0, IdsOf("ABCDEFGHIJ"));
    SetIds(child->Cat.Frames, 20, IdsOf("K"));
    THistory::SetBudget(4 * frameCost);
    for (int slot = 0; slot < 5; ++slot) {
        child->SelectSlots(slot, slot);
        child->DeleteAction->trigger();
    }
    // The oldest step of all windows went first: the other window's.
    QCOMPARE(child->History.UndoCount(), 4);
    QCOMPARE(other->History.UndoCount(), 0);
    for (int i = 0; i < 5; ++i)
        MainForm->EditUndo1->trigger();
    QCOMPARE(TextOf(Ids(child->Cat.Frames, 0, 10)), QStringLiteral(".BCDEFGHIJ"));

    // A step larger than the whole budget is done and undone; the next
    // step drops it.
    THistory::SetBudget(frameCost);
    child->SelectSlots(0, 9);
    child->DeleteAction->trigger();
    QCOMPARE(child->History.UndoCount() + child->History.RedoCount(), 1);
    MainForm->EditUndo1->trigger();
    QCOMPARE(TextOf(Ids(child->Cat.Frames, 0, 10)), QStringLiteral(".BCDEFGHIJ"));
    MainForm->EditRedo1->trigger();
    child->SelectSlots(20, 20);
    child->DeleteAction->trigger();
    QCOMPARE(child->History.UndoCount(), 1);
    QCOMPARE(THistory::TotalCost(), other->History.Cost() + child->History.Cost());
    CloseAllWindows();
    QCOMPARE(THistory::TotalCost(), 0);
}

void TestFramesUndo::nothingChangedIsNoStep_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("catalog"); // from slot 10 on; a trailing '*' repeats its last frame to the end
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("answers");
    QTest::addColumn<bool>("modified"); // before the operation
    const char* const rows[][4] = {{"paste", "xy", "AB", "cc"},
                                   {"paste", "x.y", "ABC", "en"},
                                   {"paste", "xy", "AB", "xx"},
                                   {"paste", "xy", "", ""},
                                   {"paste", "AB", "AB", "oo"},
                                   {"paste", "AB", "AB", "O"},
                                   {"paste", "x*", "x", "i"},
                                   {"paste", "x*", "xx", "I"},
                                   {"drop", "xy", "AB", "cc"},
                                   {"drop", "A", "A", "o"},
                                   {"picture", "x", "P", "c"},
                                   {"picture", "P", "P", "o"}, // P as read from the file
                                   {"delete", "..", "", ""},
                                   {"cut", "..", "", ""}};
    for (const auto& row : rows)
        for (const bool modified : {false, true})
            QTest::newRow(qPrintable(QStringLiteral("%1 %2 onto %3, %4, %5")
                                         .arg(row[0], *row[2] ? row[2] : "nothing", row[1], row[3],
                                              modified ? QStringLiteral("modified")
                                                       : QStringLiteral("saved"))))
                << row[0] << row[1] << row[2] << row[3] << modified;
}

// A paste, drop, picture load, cut or delete that leaves every slot as it
// was records no step: the step that can be redone stays, and Modified
// stays as it was, saved or not.
void TestFramesUndo::nothingChangedIsNoStep()
{
    QFETCH(QString, operation);
    QFETCH(QString, catalog);
    QFETCH(QString, list);
    QFETCH(QString, answers);
    QFETCH(bool, modified);
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    if (catalog.endsWith(QLatin1Char('*'))) {
        catalog.chop(1);
        catalog += QString(Slots - 10 - catalog.size(), catalog.back());
    }
    SetIds(child->Cat.Frames, 10, IdsOf(catalog));
    QTemporaryDir dir;
    const QString pic = dir.filePath(QStringLiteral("p.pic"));
    MakeFrame('P')->SaveToPicFile(pic);
    if (operation == QLatin1String("picture") && catalog == QLatin1String("P"))
        child->Cat.Frames.GetFrame(10).LoadFromPicFile(pic);
    SetIds(child->Cat.Frames, 0, IdsOf("Q"));
    child->SelectSlots(0, 0);
    child->DeleteAction->trigger();
    MainForm->EditUndo1->trigger();
    QVERIFY(child->History.CanRedo());
    child->Modified = modified;
    const std::vector<int> before = AllIds(child->Cat.Frames);
    TFileDialog::TestHook = [&pic](TFileDialog& dialog) {
        dialog.FileName = pic;
        return true;
    };
    child->SelectSlots(10, 10 + std::max(0, int(list.size()) - 1));
    if (operation == QLatin1String("delete") || operation == QLatin1String("cut"))
        child->SelectSlots(10, 9 + int(catalog.size()));
    TAnswerer answerer(answers);

    if (operation == QLatin1String("paste")) {
        MainForm->ClipboardFrames = MakeList(IdsOf(list));
        MainForm->EditPaste1->trigger();
    } else if (operation == QLatin1String("drop")) {
        MainForm->DragFrames = MakeList(IdsOf(list));
        static_cast<TFrameGrid*>(child->Grid)->Drop(child->Grid, CellCenter(child, 10));
    } else if (operation == QLatin1String("picture")) {
        child->LoadPicAction->trigger();
    } else {
        (operation == QLatin1String("cut") ? MainForm->EditCut1 : child->DeleteAction)->trigger();
    }

    QCOMPARE(answerer.Left(), 0);
    QCOMPARE(answerer.Unexpected, 0);
    QVERIFY(AllIds(child->Cat.Frames) == before);
    QCOMPARE(child->Modified, modified);
    QCOMPARE(child->History.UndoCount(), 0);
    QCOMPARE(child->History.RedoCount(), 1);
    QVERIFY(MainForm->EditRedo1->isEnabled() && !MainForm->EditUndo1->isEnabled());
    MainForm->EditRedo1->trigger();
    QCOMPARE(FrameId(child->Cat.Frames.GetFrame(0)), 0);
}

void TestFramesUndo::closingAtTheSavedStateAsksNothing()
{
    QTemporaryDir dir;
    int asked = 0;
    Dialogs::AskHook = [&asked](const QString&, const QString&) {
        ++asked;
        return QMessageBox::Cancel;
    };
    TMDIChild* saved = NewWindow();
    QVERIFY(saved);
    saved->setWindowTitle(dir.filePath(QStringLiteral("a.cat")));
    SetIds(saved->Cat.Frames, 0, IdsOf("AB"));
    MainForm->FileSave1->trigger();
    QVERIFY(!saved->Modified);
    for (QAction* action :
         {saved->DeleteAction, MainForm->EditUndo1, MainForm->EditRedo1, MainForm->EditUndo1})
        action->trigger();
    QVERIFY(!saved->Modified);
    QVERIFY(saved->close());
    QCOMPARE(asked, 0);

    // A catalog never saved stays modified however far back it goes.
    TMDIChild* fresh = NewWindow();
    QVERIFY(fresh);
    MainForm->ClipboardFrames = MakeList(IdsOf("A"));
    MainForm->EditPaste1->trigger();
    MainForm->EditUndo1->trigger();
    QVERIFY(fresh->Modified);
    QVERIFY(!fresh->close());
    QCOMPARE(asked, 1);
    Dialogs::AskHook = [](const QString&, const QString&) { return QMessageBox::No; };
}

void TestFramesUndo::keysWorkWhereverTheFocusIs_data()
{
    QTest::addColumn<QString>("focus");
    QTest::newRow("grid") << "grid";
    QTest::newRow("goto field") << "field";
    QTest::newRow("palette list") << "palette";
}

// Ctrl+Z undoes, Ctrl+Y and Ctrl+Shift+Z redo frame changes; the goto
// field's own text is never undone, not even with nothing to redo.
void TestFramesUndo::keysWorkWhereverTheFocusIs()
{
    QFETCH(QString, focus);
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    SetIds(child->Cat.Frames, 0, IdsOf("A"));
    child->SelectSlots(0, 0);
    child->DeleteAction->trigger();
    QApplication::setActiveWindow(MainForm);
    QVERIFY(QTest::qWaitForWindowActive(MainForm));
    QWidget* target = focus == QLatin1String("grid")    ? static_cast<QWidget*>(child->Grid)
                      : focus == QLatin1String("field") ? static_cast<QWidget*>(child->SpinEdit)
                                                        : child->ComboBoxPal;
    target->setFocus();
    QTRY_VERIFY(target->hasFocus());
    QWidget* keys = QApplication::focusWidget();
    if (focus == QLatin1String("field"))
        QTest::keyClicks(keys, QStringLiteral("12"));
    const QString text = child->SpinEdit->text();

    const struct
    {
        Qt::KeyboardModifiers Modifiers;
        Qt::Key Key;
        const char* Slot0;
    } presses[] = {{Qt::ControlModifier, Qt::Key_Z, "A"},
                   {Qt::ControlModifier, Qt::Key_Y, "."},
                   {Qt::ControlModifier, Qt::Key_Z, "A"},
                   {Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z, "."},
                   {Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z, "."}};
    for (const auto& press : presses) {
        QTest::keyClick(keys, press.Key, press.Modifiers);
        QCOMPARE(TextOf(Ids(child->Cat.Frames, 0, 1)), QString::fromLatin1(press.Slot0));
    }
    QCOMPARE(child->SpinEdit->text(), text);
}

QTEST_MAIN(TestFramesUndo)
#include "tst_frames_undo.moc"
