// Copying, placing, deleting, finding and dragging frames in catalog
// windows, driven through the main window's commands, the windows' actions,
// keys and mouse, with the overwrite-or-insert question answered by script.

#include "FramesTestKit.h"

#include <QAbstractItemModel>
#include <QDrag>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QSpinBox>
#include <QTableView>
#include <QtTest>

using namespace Kit;

namespace {

constexpr int Slots = TZLT_Cat::SlotCount;

struct TPasteRun
{
    int Questions = 0;
    int Unexpected = 0;
    QStringList Errors;
};

// Puts list on the clipboard and runs the main window's Paste on child with
// slot selected, answering the questions from script.
TPasteRun PasteByCommand(TMDIChild* child, std::unique_ptr<TZLT_FrameList> list, int slot,
                         const QString& script)
{
    MainForm->MdiArea->setActiveSubWindow(child);
    MainForm->ClipboardFrames = std::move(list);
    child->SelectSlots(slot, slot);
    TErrors errors;
    TAnswerer answerer(script);
    MainForm->EditPaste1->trigger();
    return {answerer.Questions, answerer.Unexpected, errors.Messages};
}

// The viewport point at the middle of a slot's thumbnail cell, or of its
// label, which lies above the viewport.
QPoint CellCenter(TMDIChild* child, int slot, bool label = false)
{
    child->SetLeftmostSlot(std::max(0, slot - 1));
    QCoreApplication::processEvents();
    const QPoint center = child->Grid->visualRect(child->Grid->model()->index(0, slot)).center();
    return label ? QPoint(center.x(), -10) : center;
}

bool AllSlotsValid(const TZLT_FrameList& frames)
{
    if (frames.Count() != Slots)
        return false;
    for (int i = 0; i < Slots; ++i)
        (void)frames.GetFrame(i).Count();
    return true;
}

} // namespace

class TestFramesPaste : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { EnsureMainWindow(); }
    void cleanup()
    {
        CloseAllWindows();
        MainForm->ClipboardFrames.reset();
        MainForm->DragFrames.reset();
    }

    void copyTakesEverySelectedSlot_data();
    void copyTakesEverySelectedSlot();
    void pasteStepByStep_data();
    void pasteStepByStep();
    void pasteAnswerCombinations_data();
    void pasteAnswerCombinations();
    void insertAllIntoFullCatalog_data();
    void insertAllIntoFullCatalog();
    void pastePastLastSlot_data();
    void pastePastLastSlot();
    void pasteWithoutClipboardChangesNothing();
    void pastedFramesAreCopies();
    void cutThenPasteBackAsksNothing();
    void clipboardOutlivesItsWindow();
    void pasteTwicePlacesTwice();
    void deleteClearsSelection_data();
    void deleteClearsSelection();
    void nextUsedFrame_data();
    void nextUsedFrame();
    void lastUsedFrame_data();
    void lastUsedFrame();
    void pressFillsDragBuffer_data();
    void pressFillsDragBuffer();
    void dropPlacesDragBuffer_data();
    void dropPlacesDragBuffer();
    void dropFromElsewhereIsIgnored();
    void dragLeavesClipboardAlone();
};

void TestFramesPaste::copyTakesEverySelectedSlot_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::newRow("one used slot") << 2 << 2;
    QTest::newRow("one empty slot") << 3 << 3;
    QTest::newRow("used and empty") << 1 << 6;
    QTest::newRow("up to the last slot") << Slots - 3 << Slots - 1;
    QTest::newRow("every slot") << 0 << Slots - 1;
}

void TestFramesPaste::copyTakesEverySelectedSlot()
{
    QFETCH(int, first);
    QFETCH(int, last);
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    SetIds(child->Cat.Frames, 0, IdsOf("AB.C..D"));
    SetIds(child->Cat.Frames, Slots - 2, IdsOf("E."));
    child->Modified = false;
    child->SelectSlots(first, last);

    MainForm->EditCopy1->trigger();

    QVERIFY(MainForm->ClipboardFrames);
    const TZLT_FrameList& clip = *MainForm->ClipboardFrames;
    QCOMPARE(clip.Count(), last - first + 1);
    QCOMPARE(AllIds(clip), Ids(child->Cat.Frames, first, last - first + 1));
    for (int i = 0; i < clip.Count(); ++i) {
        QVERIFY(&clip.GetFrame(i) != &child->Cat.Frames.GetFrame(first + i));
        QVERIFY(clip.GetFrame(i) == child->Cat.Frames.GetFrame(first + i));
    }
    QVERIFY(!child->Modified);
    QVERIFY(MainForm->EditPaste1->isEnabled());
}

void TestFramesPaste::pasteStepByStep_data()
{
    QTest::addColumn<QString>("catalog"); // slots from 10 on
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("answers");
    QTest::addColumn<QString>("expected"); // slots from 10 on afterwards
    QTest::addColumn<int>("questions");

    QTest::newRow("empty targets: no question") << "..."
                                                << "ABC"
                                                << ""
                                                << "ABC." << 0;
    QTest::newRow("question only at the used target") << ".x.."
                                                      << "ABC"
                                                      << "o"
                                                      << "ABC." << 1;
    QTest::newRow("overwrite asks again at the next used") << "xy"
                                                           << "AB"
                                                           << "oo"
                                                           << "AB" << 2;
    QTest::newRow("overwrite all ends the questions") << "x.yz"
                                                      << "ABCD"
                                                      << "O"
                                                      << "ABCD" << 1;
    QTest::newRow("cancel skips until the next used") << "x..y."
                                                      << "ABCDE"
                                                      << "co"
                                                      << "x..DE" << 2;
    QTest::newRow("cancel at every used target") << "x.y"
                                                 << "ABC"
                                                 << "cc"
                                                 << "x.y" << 2;
    QTest::newRow("escape answers cancel") << "x"
                                           << "A"
                                           << "e"
                                           << "x" << 1;
    QTest::newRow("enter answers cancel") << "x"
                                          << "A"
                                          << "n"
                                          << "x" << 1;
    QTest::newRow("close box answers cancel") << "x"
                                              << "A"
                                              << "x"
                                              << "x" << 1;
    QTest::newRow("insert asks again for the displaced frame") << "xy"
                                                               << "AB"
                                                               << "ii"
                                                               << "ABxy" << 2;
    QTest::newRow("insert then overwrite the displaced frame") << "xy"
                                                               << "AB"
                                                               << "io"
                                                               << "ABy" << 2;
    QTest::newRow("insert then cancel") << "x"
                                        << "AB"
                                        << "ic"
                                        << "Ax" << 2;
    QTest::newRow("insert all") << "x.y"
                                << "ABC"
                                << "I"
                                << "ABCx.y" << 1;
    QTest::newRow("insert all after an overwrite") << ".xy"
                                                   << "ABCD"
                                                   << "oI"
                                                   << "ABCDy" << 2;
    QTest::newRow("empty frame overwrites a used one") << "xy"
                                                       << ".B"
                                                       << "oo"
                                                       << ".B" << 2;
    QTest::newRow("empty frame inserted before a used one") << "xy"
                                                            << ".B"
                                                            << "ii"
                                                            << ".Bxy" << 2;
}

void TestFramesPaste::pasteStepByStep()
{
    QFETCH(QString, catalog);
    QFETCH(QString, list);
    QFETCH(QString, answers);
    QFETCH(QString, expected);
    QFETCH(int, questions);

    TMDIChild* child = NewWindow();
    QVERIFY(child);
    SetIds(child->Cat.Frames, 10, IdsOf(catalog));
    child->Modified = false;
    const std::vector<int> before = AllIds(child->Cat.Frames);

    const TPasteRun run = PasteByCommand(child, MakeList(IdsOf(list)), 10, answers);

    QCOMPARE(run.Errors, QStringList());
    QCOMPARE(run.Unexpected, 0);
    QCOMPARE(run.Questions, questions);
    const int shown = int(expected.size()) + 3;
    QCOMPARE(TextOf(Ids(child->Cat.Frames, 10, shown)), expected + QStringLiteral("..."));
    QCOMPARE(TextOf(Ids(child->Cat.Frames, 0, 10)), QString(10, u'.'));
    QCOMPARE(child->Cat.Frames.Count(), Slots);
    QCOMPARE(child->Modified, AllIds(child->Cat.Frames) != before); // a paste that changed nothing is none
}

void TestFramesPaste::pasteAnswerCombinations_data()
{
    QTest::addColumn<QString>("script");
    const QString answers = QStringLiteral("coOiI");
    for (QChar a : answers)
        for (QChar b : answers)
            for (QChar c : answers) {
                const QString script = QString(a) + b + c;
                QTest::newRow(qPrintable(script)) << script;
            }
}

// Empty and used targets under every sequence of answers, against the
// reference, at the start of the catalog and where the last frames run past
// its end. Questions beyond the three scripted answers get Cancel in both.
void TestFramesPaste::pasteAnswerCombinations()
{
    QFETCH(QString, script);
    for (const int first : {10, Slots - 6}) {
        TMDIChild* child = NewWindow();
        QVERIFY(child);
        SetIds(child->Cat.Frames, first, IdsOf(".xy.z"));
        SetIds(child->Cat.Frames, Slots - 1, IdsOf("p"));
        child->Modified = false;
        const std::vector<int> before = AllIds(child->Cat.Frames);
        const std::vector<int> list = IdsOf("ABCDEFG");
        const TModelResult model = ModelPaste(AllIds(child->Cat.Frames), list, first, script);

        const TPasteRun run = PasteByCommand(child, MakeList(list), first, script);

        QCOMPARE(run.Questions, model.Questions);
        QCOMPARE(run.Errors.size(), model.IndexError ? 1 : 0);
        QCOMPARE(child->Cat.Frames.Count(), Slots);
        QCOMPARE(AllIds(child->Cat.Frames), model.Slots);
        QCOMPARE(child->Modified, model.Slots != before);
        CloseAllWindows();
    }
}

void TestFramesPaste::insertAllIntoFullCatalog_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("indexError");
    QTest::newRow("three frames") << 3 << false;
    QTest::newRow("a whole catalog") << Slots << false;
    QTest::newRow("more than a catalog holds") << Slots + 5 << true;
}

void TestFramesPaste::insertAllIntoFullCatalog()
{
    QFETCH(int, count);
    QFETCH(bool, indexError);
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    std::vector<int> full;
    for (int i = 0; i < Slots; ++i)
        full.push_back(i + 1);
    SetIds(child->Cat.Frames, 0, full);
    std::vector<int> list;
    for (int i = 0; i < count; ++i)
        list.push_back(-1 - (i % 30000));
    const TModelResult model = ModelPaste(full, list, 0, QStringLiteral("I"));

    const TPasteRun run = PasteByCommand(child, MakeList(list), 0, QStringLiteral("I"));

    QCOMPARE(run.Questions, 1);
    QCOMPARE(run.Errors.size(), indexError ? 1 : 0);
    QVERIFY(AllSlotsValid(child->Cat.Frames));
    QCOMPARE(AllIds(child->Cat.Frames), model.Slots);
    if (count == 3) {
        QCOMPARE(Ids(child->Cat.Frames, 0, 4), (std::vector<int>{-1, -2, -3, 1}));
        QCOMPARE(FrameId(child->Cat.Frames.GetFrame(Slots - 1)), Slots - 3);
    }
    QVERIFY(child->Modified);
}

void TestFramesPaste::pastePastLastSlot_data()
{
    QTest::addColumn<QString>("tail"); // slots 32764 to 32766
    QTest::addColumn<QString>("answers");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("questions");
    QTest::newRow("empty targets") << "..."
                                   << ""
                                   << "ABC" << 0;
    QTest::newRow("overwrite all") << "xyz"
                                   << "O"
                                   << "ABC" << 1;
    QTest::newRow("insert all") << "xyz"
                                << "I"
                                << "ABC" << 1;
    QTest::newRow("insert one by one") << "x.."
                                       << "iii"
                                       << "ABC" << 3;
    QTest::newRow("cancel everything") << "xyz"
                                       << "ccc"
                                       << "xyz" << 3;
}

void TestFramesPaste::pastePastLastSlot()
{
    QFETCH(QString, tail);
    QFETCH(QString, answers);
    QFETCH(QString, expected);
    QFETCH(int, questions);
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    SetIds(child->Cat.Frames, Slots - 3, IdsOf(tail));
    child->Cat.Frames.SetFrame(Slots - 4, MakeFrame('w'));
    child->Modified = false;

    const TPasteRun run = PasteByCommand(child, MakeList(IdsOf("ABCDE")), Slots - 3, answers);

    QCOMPARE(run.Unexpected, 0);
    QCOMPARE(run.Questions, questions);
    QCOMPARE(run.Errors.size(), 1); // the frame list's index error, shown once
    QVERIFY(!run.Errors.first().isEmpty());
    QVERIFY(AllSlotsValid(child->Cat.Frames));
    QCOMPARE(TextOf(Ids(child->Cat.Frames, Slots - 4, 4)), QStringLiteral("w") + expected);
    QCOMPARE(child->Modified, expected != tail);
}

void TestFramesPaste::pasteWithoutClipboardChangesNothing()
{
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    SetIds(child->Cat.Frames, 0, IdsOf("AB"));
    child->Modified = false;
    MainForm->ClipboardFrames.reset();
    TAnswerer answerer;
    MainForm->EditPaste1->trigger();
    QCOMPARE(answerer.Questions, 0);
    QVERIFY(!child->Modified);
    QCOMPARE(TextOf(Ids(child->Cat.Frames, 0, 3)), QStringLiteral("AB."));

    // Nor does a paste of an empty list.
    const TPasteRun run = PasteByCommand(child, std::make_unique<TZLT_FrameList>(), 0, QString());
    QCOMPARE(run.Questions, 0);
    QVERIFY(!child->Modified);
}

void TestFramesPaste::pastedFramesAreCopies()
{
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    PasteByCommand(child, MakeList(IdsOf("AB")), 4, QString());
    const TZLT_FrameList& clip = *MainForm->ClipboardFrames;
    QVERIFY(&clip.GetFrame(0) != &child->Cat.Frames.GetFrame(4));
    QVERIFY(clip.GetFrame(0) == child->Cat.Frames.GetFrame(4));
    MainForm->ClipboardFrames->Clear();
    QCOMPARE(TextOf(Ids(child->Cat.Frames, 4, 2)), QStringLiteral("AB"));
    QCOMPARE(child->Cat.Frames.GetFrame(5).Count(), 3);
}

void TestFramesPaste::cutThenPasteBackAsksNothing()
{
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    SetIds(child->Cat.Frames, 5, IdsOf("ABCD"));
    child->Modified = false;
    child->SelectSlots(5, 7);

    MainForm->EditCut1->trigger();
    QCOMPARE(TextOf(Ids(child->Cat.Frames, 4, 5)), QStringLiteral("....D"));
    QVERIFY(child->Modified);
    QCOMPARE(TextOf(AllIds(*MainForm->ClipboardFrames)), QStringLiteral("ABC"));

    child->Modified = false;
    TAnswerer answerer;
    MainForm->EditPaste1->trigger();
    QCOMPARE(answerer.Questions, 0);
    QCOMPARE(TextOf(Ids(child->Cat.Frames, 4, 5)), QStringLiteral(".ABCD"));
    QVERIFY(child->Modified);
}

void TestFramesPaste::clipboardOutlivesItsWindow()
{
    TMDIChild* source = NewWindow();
    QVERIFY(source);
    SetIds(source->Cat.Frames, 0, IdsOf("AB"));
    source->SelectSlots(0, 1);
    MainForm->EditCopy1->trigger();
    source->Modified = false;
    source->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(MainForm->MDIChildCount(), 0);

    TMDIChild* target = NewWindow();
    QVERIFY(target);
    target->SelectSlots(3, 3);
    MainForm->EditPaste1->trigger();
    QCOMPARE(TextOf(Ids(target->Cat.Frames, 2, 4)), QStringLiteral(".AB."));
}

void TestFramesPaste::pasteTwicePlacesTwice()
{
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    SetIds(child->Cat.Frames, 0, IdsOf("AB"));
    child->SelectSlots(0, 1);
    MainForm->EditCopy1->trigger();
    const TZLT_FrameList* clip = MainForm->ClipboardFrames.get();

    child->SelectSlots(4, 4);
    MainForm->EditPaste1->trigger();
    child->SelectSlots(8, 8);
    MainForm->EditPaste1->trigger();

    QCOMPARE(TextOf(Ids(child->Cat.Frames, 0, 11)), QStringLiteral("AB..AB..AB."));
    QCOMPARE(MainForm->ClipboardFrames.get(), clip);
    QCOMPARE(TextOf(AllIds(*clip)), QStringLiteral("AB"));
}

void TestFramesPaste::deleteClearsSelection_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("action") << "action";
    QTest::newRow("context menu") << "menu";
    QTest::newRow("Del on the grid") << "grid";
    QTest::newRow("Del in the goto field") << "spin";
}

void TestFramesPaste::deleteClearsSelection()
{
    QFETCH(QString, how);
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    SetIds(child->Cat.Frames, 3, IdsOf("ABCDE"));
    child->Modified = false;
    child->SelectSlots(4, 6);
    TAnswerer answerer;

    if (how == QLatin1String("action")) {
        child->DeleteAction->trigger();
    } else if (how == QLatin1String("menu")) {
        QVERIFY(child->PopupMenu->actions().contains(child->DeleteAction));
        child->PopupMenu->actions().at(child->PopupMenu->actions().indexOf(child->DeleteAction))->trigger();
    } else {
        QWidget* target = how == QLatin1String("grid") ? static_cast<QWidget*>(child->Grid) : child->SpinEdit;
        MainForm->MdiArea->setActiveSubWindow(child);
        QApplication::setActiveWindow(MainForm);
        QVERIFY(QTest::qWaitForWindowActive(MainForm));
        target->setFocus();
        QTRY_VERIFY(target->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    }

    QCOMPARE(TextOf(Ids(child->Cat.Frames, 3, 5)), QStringLiteral("A...E"));
    QCOMPARE(answerer.Questions, 0);
    QVERIFY(child->Modified);
    QCOMPARE(child->SelStart(), 4);
    QCOMPARE(child->SelEnd(), 6);
}

void TestFramesPaste::nextUsedFrame_data()
{
    QTest::addColumn<QList<int>>("used");
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("leftmost");
    QTest::newRow("skips the neighbour") << QList<int>{6, 20} << 5 << 19;
    QTest::newRow("two slots on") << QList<int>{7} << 5 << 6;
    QTest::newRow("only the neighbour used") << QList<int>{6} << 5 << Slots - 1;
    QTest::newRow("nothing used") << QList<int>{} << 0 << Slots - 1;
    QTest::newRow("used last slot") << QList<int>{Slots - 1} << 0 << Slots - 2;
    QTest::newRow("selection at the end") << QList<int>{Slots - 1} << Slots - 2 << Slots - 1;
    QTest::newRow("used frames before the selection") << QList<int>{1, 2} << 10 << Slots - 1;
}

void TestFramesPaste::nextUsedFrame()
{
    QFETCH(QList<int>, used);
    QFETCH(int, selected);
    QFETCH(int, leftmost);
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    for (int slot : used)
        child->Cat.Frames.SetFrame(slot, MakeFrame(1 + slot % 1000));
    child->SelectSlots(selected, selected);
    child->Modified = false;

    child->NextUsedFrameAction->trigger();
    QCOMPARE(child->LeftmostSlot(), leftmost);
    child->SetLeftmostSlot(100);
    QVERIFY(child->PopupMenu->actions().contains(child->NextUsedFrameAction));
    child->NextUsedFrameAction->trigger();
    QCOMPARE(child->LeftmostSlot(), leftmost); // same selection, same view
    QCOMPARE(child->SelStart(), selected);
    QCOMPARE(child->SelEnd(), selected);
    QVERIFY(!child->Modified);
}

void TestFramesPaste::lastUsedFrame_data()
{
    QTest::addColumn<QList<int>>("used");
    QTest::addColumn<int>("leftmost");
    QTest::newRow("only slot 0") << QList<int>{0} << 0;
    QTest::newRow("nothing used") << QList<int>{} << 0;
    QTest::newRow("highest used wins") << QList<int>{5, 100, 42} << 99;
    QTest::newRow("last slot used") << QList<int>{Slots - 1} << Slots - 2;
    QTest::newRow("slot 1") << QList<int>{1} << 0;
}

void TestFramesPaste::lastUsedFrame()
{
    QFETCH(QList<int>, used);
    QFETCH(int, leftmost);
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    for (int slot : used)
        child->Cat.Frames.SetFrame(slot, MakeFrame(1 + slot % 1000));
    child->SelectSlots(3, 4);
    child->SetLeftmostSlot(500);
    child->Modified = false;

    QVERIFY(child->PopupMenu->actions().contains(child->LastUsedFrameAction));
    child->LastUsedFrameAction->trigger();

    QCOMPARE(child->LeftmostSlot(), leftmost);
    QCOMPARE(child->SelStart(), 3);
    QCOMPARE(child->SelEnd(), 4);
    QVERIFY(!child->Modified);
}

void TestFramesPaste::pressFillsDragBuffer_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("doubleClick");
    QTest::addColumn<bool>("fills");
    QTest::newRow("plain left") << int(Qt::LeftButton) << int(Qt::NoModifier) << false << true;
    QTest::newRow("right") << int(Qt::RightButton) << int(Qt::NoModifier) << false << false;
    QTest::newRow("shift left") << int(Qt::LeftButton) << int(Qt::ShiftModifier) << false << false;
    QTest::newRow("ctrl left") << int(Qt::LeftButton) << int(Qt::ControlModifier) << false << false;
    QTest::newRow("alt left") << int(Qt::LeftButton) << int(Qt::AltModifier) << false << false;
    QTest::newRow("double click") << int(Qt::LeftButton) << int(Qt::NoModifier) << true << false;
}

// Presses with the real mouse events on a thumbnail cell; a plain left press
// fills the drag buffer even when no drag follows.
void TestFramesPaste::pressFillsDragBuffer()
{
    QFETCH(int, button);
    QFETCH(int, modifiers);
    QFETCH(bool, doubleClick);
    QFETCH(bool, fills);
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    SetIds(child->Cat.Frames, 10, IdsOf("AB"));
    child->SelectSlots(3, 3);
    MainForm->ClipboardFrames = MakeList(IdsOf("Z"));
    const TZLT_FrameList* clip = MainForm->ClipboardFrames.get();
    MainForm->DragFrames = MakeList(IdsOf("Q"));
    const QPoint at = CellCenter(child, 11);
    QWidget* viewport = child->Grid->viewport();

    if (doubleClick) {
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        MainForm->DragFrames = MakeList(IdsOf("Q"));
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    } else {
        QTest::mousePress(viewport, Qt::MouseButton(button), Qt::KeyboardModifiers(modifiers), at);
    }
    QTest::mouseRelease(viewport, Qt::MouseButton(button), Qt::KeyboardModifiers(modifiers), at);
    // Close a context menu the right button may have opened.
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();

    QVERIFY(MainForm->DragFrames);
    QCOMPARE(TextOf(AllIds(*MainForm->DragFrames)), fills ? QStringLiteral("B") : QStringLiteral("Q"));
    if (fills) {
        QCOMPARE(child->SelStart(), 11);
        QVERIFY(&MainForm->DragFrames->GetFrame(0) != &child->Cat.Frames.GetFrame(11));
    }
    QCOMPARE(MainForm->ClipboardFrames.get(), clip);
    QCOMPARE(TextOf(AllIds(*clip)), QStringLiteral("Z"));

    // The window's own handler keeps to the same rule whoever calls it.
    child->SelectSlots(10, 10);
    MainForm->DragFrames = MakeList(IdsOf("Q"));
    child->GridMouseDown(Qt::MouseButton(button), Qt::KeyboardModifiers(modifiers), doubleClick, at);
    QCOMPARE(TextOf(AllIds(*MainForm->DragFrames)), fills ? QStringLiteral("A") : QStringLiteral("Q"));
}

void TestFramesPaste::dropPlacesDragBuffer_data()
{
    QTest::addColumn<bool>("ownWindow");
    QTest::addColumn<int>("row");          // -1: beside the cells
    QTest::addColumn<QString>("expected"); // target slots 20 to 24
    QTest::newRow("thumbnail cell") << false << 1 << "..AB.";
    QTest::newRow("header cell") << false << 0 << "..AB.";
    QTest::newRow("no cell") << false << -1 << ".....";
    QTest::newRow("own window duplicates") << true << 1 << "..AB.";
}

// Drops go through the catalog grid's drop handling with the source grid
// named, as a finished drag reports it.
void TestFramesPaste::dropPlacesDragBuffer()
{
    QFETCH(bool, ownWindow);
    QFETCH(int, row);
    QFETCH(QString, expected);
    TMDIChild* source = NewWindow();
    QVERIFY(source);
    SetIds(source->Cat.Frames, 0, IdsOf("AB"));
    TMDIChild* target = ownWindow ? source : NewWindow();
    QVERIFY(target);
    source->Modified = false;
    target->Modified = false;
    source->SelectSlots(0, 1);
    source->GridMouseDown(Qt::LeftButton, Qt::NoModifier, false, QPoint());
    const std::vector<int> sourceBefore = AllIds(source->Cat.Frames);

    QPoint at;
    if (row >= 0) {
        at = CellCenter(target, 22, row == 0);
    } else {
        target->SetLeftmostSlot(Slots - 1);
        QCoreApplication::processEvents();
        at = QPoint(target->Grid->viewport()->width() - 2, target->Grid->viewport()->height() / 2);
        QCOMPARE(target->SlotAt(at), -1);
    }
    TAnswerer answerer;
    RunGuarded([&] { target->GridDragDrop(source->Grid, at); });

    QCOMPARE(answerer.Questions, 0);
    QCOMPARE(TextOf(Ids(target->Cat.Frames, 20, 5)), expected);
    QCOMPARE(target->Modified, row >= 0);
    if (!ownWindow) {
        QCOMPARE(AllIds(source->Cat.Frames), sourceBefore);
        QVERIFY(!source->Modified);
    }
    QCOMPARE(TextOf(AllIds(*MainForm->DragFrames)), QStringLiteral("AB"));
}

void TestFramesPaste::dropFromElsewhereIsIgnored()
{
    TMDIChild* target = NewWindow();
    QVERIFY(target);
    target->Modified = false;
    MainForm->DragFrames = MakeList(IdsOf("AB"));
    const QPoint at = CellCenter(target, 5);
    QLabel stranger;
    target->GridDragDrop(&stranger, at);
    target->GridDragDrop(nullptr, at);
    QCOMPARE(TextOf(Ids(target->Cat.Frames, 4, 3)), QStringLiteral("..."));
    QVERIFY(!target->Modified);
}

void TestFramesPaste::dragLeavesClipboardAlone()
{
    TMDIChild* a = NewWindow();
    QVERIFY(a);
    TMDIChild* b = NewWindow();
    QVERIFY(b);
    SetIds(a->Cat.Frames, 0, IdsOf("XY"));
    a->SelectSlots(0, 0);
    MainForm->MdiArea->setActiveSubWindow(a);
    MainForm->EditCopy1->trigger(); // clipboard: X

    const QPoint press = CellCenter(a, 1);
    QTest::mousePress(a->Grid->viewport(), Qt::LeftButton, {}, press); // drag buffer: Y
    QTest::mouseRelease(a->Grid->viewport(), Qt::LeftButton, {}, press);
    RunGuarded([&] { b->GridDragDrop(a->Grid, CellCenter(b, 5)); });
    QCOMPARE(TextOf(Ids(b->Cat.Frames, 5, 1)), QStringLiteral("Y"));

    MainForm->MdiArea->setActiveSubWindow(b);
    b->SelectSlots(8, 8);
    MainForm->EditPaste1->trigger();
    QCOMPARE(TextOf(Ids(b->Cat.Frames, 5, 4)), QStringLiteral("Y..X"));
    QCOMPARE(TextOf(AllIds(*MainForm->ClipboardFrames)), QStringLiteral("X"));
    QCOMPARE(TextOf(AllIds(*MainForm->DragFrames)), QStringLiteral("Y"));
}

QTEST_MAIN(TestFramesPaste)
#include "tst_frames_paste.moc"
