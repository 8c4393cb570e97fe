// The Frames menu through the real window: each command on the selection,
// as one undo step, and the dialogs' live preview with OK and Cancel.

#include "FramesTestKit.h"
#include "OptimiseTestKit.h"
#include "../output/IdnTestKit.h"

#include "ColoursDialog.h"
#include "FrameCommands.h"
#include "FramePreview.h"
#include "LaserLink.h"
#include "Optimiser.h"
#include "Progress.h"
#include "TransformDialog.h"
#include "VectorCommands.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QMenuBar>
#include <QProgressDialog>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QStatusBar>

#include <cmath>
#include <functional>

using namespace FrameTools;
using namespace Kit;
using OptKit::FrameOf;
using OptKit::TPoints;

namespace {

// Slots 3, 4, 6 and 7 hold random frames, slot 5 stays empty; the frame
// of slot 7 reaches beyond the field when it is turned.
void FillSlots(TMDIChild& child, quint32 seed)
{
    QRandomGenerator random(seed);
    for (int slot : {3, 4, 6, 7}) {
        auto frame = std::make_unique<TZLT_Frame>();
        const int spread = slot == 7 ? 32000 : 3000;
        const int y = slot == 7 ? 20000 : 0;
        for (int i = random.bounded(2, 50); i > 0; --i)
            frame->Add(TZLT_Point(int16_t(random.bounded(-spread, spread)), int16_t(y + random.bounded(-300, 300)),
                                  int16_t(i), uint8_t(random.bounded(256)), uint8_t(i)));
        child.Cat.Frames.SetFrame(slot, std::move(frame));
    }
    child.Modified = false;
    child.History.Forget();
    child.CatalogChanged();
}

std::vector<TPoints> SlotPoints(const TMDIChild& child)
{
    std::vector<TPoints> points;
    for (int slot = 0; slot < 10; ++slot)
        points.push_back(child.Cat.Frames.GetFrame(slot).AllPoints());
    return points;
}

// What the operations make of the frames of slots 0..9, and the clamps.
std::vector<TPoints> Expected(const TMDIChild& child, const std::vector<TOperation>& ops, int first, int last,
                              int& clamped)
{
    std::vector<const TZLT_Frame*> sources;
    for (int slot = first; slot <= last; ++slot)
        sources.push_back(&child.Cat.Frames.GetFrame(slot));
    const auto changed = Applied(ops, sources, &clamped);
    std::vector<TPoints> points = SlotPoints(child);
    for (int slot = first; slot <= last; ++slot)
        points[size_t(slot)] = changed[size_t(slot - first)]->AllPoints();
    return points;
}

// The frames after one step named step; Undo gives the frames before back
// unmodified, Redo those after.
void CheckOneStep(TMDIChild& child, const QString& step, const std::vector<TPoints>& before,
                  const std::vector<TPoints>& after)
{
    QCOMPARE(SlotPoints(child), after);
    QCOMPARE(child.History.UndoCount(), 1);
    QCOMPARE(Tr(child.History.UndoName()), step);
    QVERIFY(child.Modified);
    MainForm->EditUndo1->trigger();
    QCOMPARE(SlotPoints(child), before);
    QVERIFY(!child.Modified);
    MainForm->EditRedo1->trigger();
    QCOMPARE(SlotPoints(child), after);
}

// The program's language for one test, English again after it however it ends.
struct TLanguage
{
    explicit TLanguage(int language) { Set(language); }
    ~TLanguage() { Set(0); }
    static void Set(int language)
    {
        MainForm->Language = language;
        MainForm->ApplyLanguage();
    }
};

TOperation Op(TKind kind)
{
    TOperation op;
    op.Kind = kind;
    return op;
}

using TCommand = QAction* TFrameCommands::*;

// Runs answer on the dialog once it is open, while the command runs.
void WhenDialog(const std::function<void(TFrameDialog&)>& answer)
{
    QTimer::singleShot(0, qApp, [answer] {
        auto* dialog = qobject_cast<TFrameDialog*>(QApplication::activeModalWidget());
        QVERIFY2(dialog, "no frame dialog is open");
        answer(*dialog);
        if (dialog->isVisible())
            dialog->reject(); // never leave it open
    });
}

// A zigzag of long lit lines: optimised with lit steps of 640 units it
// would need about 200,000 points.
std::unique_ptr<TZLT_Frame> ZigZag(int lines)
{
    auto frame = std::make_unique<TZLT_Frame>();
    for (int i = 0; i < lines; ++i)
        frame->Add(TZLT_Point(int16_t(i % 2 ? 30000 : -30000), int16_t(-20000 + 20 * i), 0, 5, 0));
    return frame;
}

// What the status bar must say, worked out here from the optimiser's own
// results, in the language's numbers: "4 frames optimised: ..." and the
// first frame left unchanged for its length.
QString ExpectedMessage(const std::vector<TOptimiseResult>& results, const std::vector<int>& slotsOf, bool minimise,
                        bool german)
{
    const QLocale locale(german ? QLocale::German : QLocale::English, german ? QLocale::Germany : QLocale::UnitedStates);
    qint64 frames = 0, before = 0, after = 0, travelBefore = 0, travelAfter = 0;
    QStringList tooLong;
    qint64 firstNeeded = 0;
    for (size_t i = 0; i < results.size(); ++i) {
        if (results[i].TooLong) {
            if (tooLong.isEmpty())
                firstNeeded = results[i].Needed;
            tooLong << QString::number(slotsOf[i]);
            continue;
        }
        ++frames, before += results[i].PointsBefore, after += results[i].PointsAfter;
        travelBefore += results[i].TravelBefore, travelAfter += results[i].TravelAfter;
    }
    QString message;
    if (frames > 0) {
        const QString count = frames == 1 ? QStringLiteral("1 ") + (german ? "Frame" : "frame")
                                          : locale.toString(frames) + (german ? " Frames" : " frames");
        message = count + (minimise ? (german ? " minimiert: " : " minimised: ") : (german ? " optimiert: " : " optimised: ")) +
                  locale.toString(before) + " → " + locale.toString(after) + (german ? " Punkte" : " points");
        if (!minimise) {
            const long percent = std::lround(100.0 * double(travelAfter - travelBefore) / double(travelBefore));
            message += (german ? ", Leerweg " : ", blanked travel ") +
                       (percent < 0 ? QStringLiteral("−") : percent > 0 ? QStringLiteral("+") : QString()) +
                       QString::number(std::labs(percent)) + " %";
        }
    }
    if (!tooLong.isEmpty()) {
        QString text = german ? QStringLiteral("Frame %1 bräuchte %2 Punkte; unverändert gelassen")
                              : QStringLiteral("Frame %1 would need %2 points; left unchanged");
        text = text.arg(tooLong[0], locale.toString(firstNeeded));
        if (tooLong.size() == 2)
            text += german ? ", ebenso 1 weiterer Frame" : ", as was 1 more frame";
        message = message.isEmpty() ? text : message + ". " + text;
    }
    return message;
}

} // namespace

Q_DECLARE_METATYPE(TCommand)
Q_DECLARE_METATYPE(TKind)

class TestFrameCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { EnsureMainWindow(); }
    void cleanup() { CloseAllWindows(); }

    void MenuAndContextMenu();
    void EnabledWithAUsedFrame();
    void Commands_data();
    void Commands();
    void NothingChangedIsNoStep();
    void OptimiseAndMinimise_data();
    void OptimiseAndMinimise();
    void CancelLeavesTheFrames_data();
    void CancelLeavesTheFrames();
    void Dialogs_data();
    void Dialogs();
};

void TestFrameCommands::MenuAndContextMenu()
{
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    const QList<QAction*> bar = MainForm->menuBar()->actions();
    const auto title = [&](int i) { return bar[i]->text(); };
    const int frames = int(bar.indexOf(MainForm->Frames->Frames1->menuAction()));
    QCOMPARE(title(frames), QStringLiteral("F&rames"));
    QCOMPARE(title(frames - 1), QStringLiteral("&Edit"));
    QCOMPARE(title(frames + 1), QStringLiteral("&Window"));
    // The context menu ends with a separator and the Frames commands.
    QList<QAction*> menu;
    for (QAction* a : MainForm->Frames->Frames1->actions())
        if (!a->isSeparator())
            menu << a;
    const QList<QAction*> popup = child->PopupMenu->actions();
    QCOMPARE(popup.mid(popup.size() - menu.size()), menu);
    QVERIFY(popup[popup.size() - menu.size() - 1]->isSeparator());
    QCOMPARE(menu.size(), 13); // Text frame last
    QCOMPARE(menu.last(), MainForm->Vector->TextFrame1);
}

void TestFrameCommands::EnabledWithAUsedFrame()
{
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    FillSlots(*child, 1);
    const auto enabled = [] {
        return MainForm->Frames->MirrorX1->isEnabled() && MainForm->Frames->Transform1->isEnabled() &&
               MainForm->Frames->Optimise1->isEnabled() && MainForm->Frames->Minimise1->isEnabled();
    };
    child->SelectSlots(0, 2);
    QVERIFY(!enabled());
    child->SelectSlots(0, 3);
    QVERIFY(enabled());
    child->SelectSlots(5, 5);
    QVERIFY(!enabled());
    child->SelectSlots(4, 4);
    QVERIFY(enabled());
    child->DeleteAction->trigger();
    QVERIFY(!enabled());
    // The scanner profile is a setting: it opens without a frame too.
    QVERIFY(MainForm->Frames->ScannerProfile1->isEnabled());
}

void TestFrameCommands::Commands_data()
{
    QTest::addColumn<TCommand>("command");
    QTest::addColumn<TKind>("kind");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("step");
    QTest::newRow("mirror x") << &TFrameCommands::MirrorX1 << TKind::MirrorX << 0 << "Mirror horizontally";
    QTest::newRow("mirror y") << &TFrameCommands::MirrorY1 << TKind::MirrorY << 0 << "Mirror vertically";
    QTest::newRow("left") << &TFrameCommands::RotateLeft1 << TKind::RotateLeft << 0 << "Rotate 90° left";
    QTest::newRow("right") << &TFrameCommands::RotateRight1 << TKind::RotateRight << 0 << "Rotate 90° right";
    QTest::newRow("centre") << &TFrameCommands::Centre1 << TKind::Centre << 0 << "Centre";
    QTest::newRow("fit") << &TFrameCommands::Fit1 << TKind::Fit << 0 << "Fit to the field";
    QTest::newRow("reverse") << &TFrameCommands::Reverse1 << TKind::Reverse << 0 << "Reverse point order";
    QTest::newRow("German left") << &TFrameCommands::RotateLeft1 << TKind::RotateLeft << 1
                                 << "90° nach links drehen";
    QTest::newRow("German fit") << &TFrameCommands::Fit1 << TKind::Fit << 1 << "Ans Feld anpassen";
}

// Each command changes the used frames of the selection (slots 2..8) as
// the arithmetic says, leaves the rest, is one step named after it, and
// tells of clamped points; Undo and Redo go back and forth exactly.
void TestFrameCommands::Commands()
{
    QFETCH(TCommand, command);
    QFETCH(TKind, kind);
    QFETCH(int, language);
    QFETCH(QString, step);
    const TLanguage inLanguage(language);
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    FillSlots(*child, 7);
    child->SelectSlots(2, 8);
    const std::vector<TPoints> before = SlotPoints(*child);
    int clamped = 0;
    const std::vector<TPoints> after = Expected(*child, {Op(kind)}, 2, 8, clamped);
    MainForm->statusBar()->clearMessage();
    if (kind == TKind::RotateLeft)
        QVERIFY(clamped > 0);

    (MainForm->Frames->*command)->trigger();
    const QString message = MainForm->statusBar()->currentMessage();
    if (clamped == 0)
        QVERIFY(message.isEmpty());
    else if (language == 0)
        QCOMPARE(message, QStringLiteral("%1 points lay outside the field and were moved to its edge").arg(clamped));
    else
        QVERIFY(message.startsWith(QString::number(clamped) + QStringLiteral(" Punkte lagen außerhalb")));
    CheckOneStep(*child, step, before, after);
}

void TestFrameCommands::NothingChangedIsNoStep()
{
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    child->Cat.Frames.SetFrame(0, MakeFrame(0));
    child->Cat.Frames.GetFrame(0).Add(TZLT_Point(0, 0, 0, 1, 0));
    child->Modified = false;
    child->CatalogChanged();
    child->SelectSlots(0, 0);
    QVERIFY(MainForm->Frames->Centre1->isEnabled());
    MainForm->Frames->Centre1->trigger();
    MainForm->Frames->Fit1->trigger();
    MainForm->Frames->Minimise1->trigger(); // one point has nothing to take away
    QCOMPARE(child->History.UndoCount(), 0);
    QVERIFY(!child->Modified);
    // An optimised frame optimises to itself; the status bar still tells.
    child->Cat.Frames.GetFrame(0).AllPoints() = Optimised(ZigZag(30)->AllPoints(), TScannerProfile());
    child->CatalogChanged();
    MainForm->statusBar()->clearMessage();
    MainForm->Frames->Optimise1->trigger();
    QCOMPARE(child->History.UndoCount(), 0);
    QVERIFY(!child->Modified);
    QVERIFY(MainForm->statusBar()->currentMessage().startsWith(QStringLiteral("1 frame optimised: ")));
}

void TestFrameCommands::OptimiseAndMinimise_data()
{
    QTest::addColumn<bool>("minimise");
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("rate");     // the projector's point rate
    QTest::addColumn<int>("litStep");  // of the profile in the settings
    QTest::addColumn<bool>("keepOrder");
    QTest::addColumn<int>("tooLong");  // zigzag frames put into slots 4, 6
    QTest::newRow("optimise") << false << 0 << 2 << 8 << 30000 << 640 << false << 0;
    QTest::newRow("optimise, German") << false << 1 << 2 << 8 << 30000 << 640 << false << 0;
    QTest::newRow("one frame") << false << 0 << 7 << 7 << 30000 << 640 << false << 0;
    QTest::newRow("one frame, German") << false << 1 << 6 << 6 << 30000 << 640 << false << 0;
    QTest::newRow("the projector's rate") << false << 0 << 2 << 8 << 12000 << 640 << false << 0;
    QTest::newRow("the profile of the settings") << false << 0 << 2 << 8 << 30000 << 200 << true << 0;
    QTest::newRow("one too long") << false << 0 << 2 << 8 << 30000 << 640 << false << 1;
    QTest::newRow("two too long, German") << false << 1 << 3 << 7 << 30000 << 640 << false << 2;
    QTest::newRow("only a frame too long") << false << 0 << 4 << 4 << 30000 << 640 << false << 1;
    QTest::newRow("minimise") << true << 0 << 2 << 8 << 30000 << 640 << false << 0;
    QTest::newRow("minimise, German") << true << 1 << 2 << 8 << 30000 << 640 << false << 0;
    QTest::newRow("minimise one frame") << true << 0 << 3 << 3 << 30000 << 640 << false << 0;
}

// Optimise uses the profile of the settings at the projector's rate, on
// every used frame of the selection; Minimise takes optimised frames back.
// One step named after the command, Undo and Redo exact, and the status
// bar's sums in the language's numbers; a frame that would need too many
// points stays as it was and is named.
void TestFrameCommands::OptimiseAndMinimise()
{
    QFETCH(bool, minimise);
    QFETCH(int, language);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(int, rate);
    QFETCH(int, litStep);
    QFETCH(bool, keepOrder);
    QFETCH(int, tooLong);
    const TLanguage inLanguage(language);
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    FillSlots(*child, 11);
    if (tooLong > 0)
        child->Cat.Frames.SetFrame(4, ZigZag(2000));
    if (tooLong > 1)
        child->Cat.Frames.SetFrame(6, ZigZag(1500));
    TScannerProfile profile;
    profile.PointRate = rate;
    profile.LitStep = litStep;
    profile.KeepOrder = keepOrder;
    if (minimise) // frames as an optimisation left them
        for (int slot : {3, 4, 6, 7})
            child->Cat.Frames.GetFrame(slot).AllPoints() = Optimised(child->Cat.Frames.GetFrame(slot).AllPoints(), profile);
    child->History.Forget();
    child->Modified = false;
    MainForm->Preview->SetPointRate(rate); // as the projector settings do
    MainForm->Frames->Scanner.LitStep = litStep;
    MainForm->Frames->Scanner.KeepOrder = keepOrder;
    child->SelectSlots(first, last);

    const std::vector<TPoints> before = SlotPoints(*child);
    std::vector<TPoints> after = before;
    std::vector<TPoints> withDefaults = before; // what the profile's defaults would give
    std::vector<TOptimiseResult> results;
    std::vector<int> used;
    for (int slot = first; slot <= last; ++slot) {
        const TZLT_Frame& frame = child->Cat.Frames.GetFrame(slot);
        if (!frame.Used())
            continue;
        std::unique_ptr<TZLT_Frame> result = frame.Clone();
        const TOptimiseResult r = minimise ? Minimise(*result) : Optimise(*result, profile);
        QCOMPARE(r.TooLong, tooLong > 0 && (slot == 4 || (tooLong > 1 && slot == 6)));
        after[size_t(slot)] = result->AllPoints();
        withDefaults[size_t(slot)] = Optimised(frame.AllPoints(), TScannerProfile());
        results.push_back(r);
        used.push_back(slot);
    }
    const bool changed = after != before;
    QCOMPARE(changed, !(tooLong > 0 && first == last));
    if (rate != 30000 || litStep != 640)
        QVERIFY(after != withDefaults); // the setting counts
    const QString message = ExpectedMessage(results, used, minimise, language == 1);
    MainForm->statusBar()->clearMessage();

    (minimise ? MainForm->Frames->Minimise1 : MainForm->Frames->Optimise1)->trigger();
    MainForm->Preview->SetPointRate(30000);
    MainForm->Frames->Scanner = TScannerProfile();
    QCOMPARE(MainForm->statusBar()->currentMessage(), message);
    if (changed) {
        CheckOneStep(*child, minimise ? (language ? "Minimieren" : "Minimise")
                                      : (language ? "Für den Projektor optimieren" : "Optimise for the projector"),
                     before, after);
    } else {
        QCOMPARE(SlotPoints(*child), after);
        QCOMPARE(child->History.UndoCount(), 0);
        QVERIFY(!child->Modified);
    }
}

void TestFrameCommands::CancelLeavesTheFrames_data()
{
    QTest::addColumn<TCommand>("command");
    QTest::newRow("optimise") << &TFrameCommands::Optimise1;
    QTest::newRow("minimise") << &TFrameCommands::Minimise1;
}

// The work shows its progress; Cancel there leaves every frame as it was,
// with no step and nothing in the status bar.
void TestFrameCommands::CancelLeavesTheFrames()
{
    QFETCH(TCommand, command);
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    for (int slot = 0; slot < 40; ++slot)
        child->Cat.Frames.SetFrame(slot, MakeFrame(slot + 1, 5000));
    child->CatalogChanged();
    child->Modified = false;
    child->SelectSlots(0, 39);
    const std::vector<TPoints> before = SlotPoints(*child);
    MainForm->statusBar()->clearMessage();
    ProgressDelayMs = 0;
    qint64 cancelledAt = -1;
    ProgressHook = [&](QProgressDialog& dialog, qint64 done) {
        if (cancelledAt < 0 && dialog.isVisible()) {
            cancelledAt = done;
            QTest::mouseClick(dialog.findChild<QPushButton*>(), Qt::LeftButton);
        }
    };
    (MainForm->Frames->*command)->trigger();
    ProgressHook = nullptr;
    ProgressDelayMs = 500;
    QVERIFY(cancelledAt >= 0 && cancelledAt < 40);
    QCOMPARE(SlotPoints(*child), before);
    QCOMPARE(child->History.UndoCount(), 0);
    QVERIFY(!child->Modified);
    QCOMPARE(MainForm->statusBar()->currentMessage(), QString());
}

void TestFrameCommands::Dialogs_data()
{
    QTest::addColumn<bool>("transform");
    QTest::addColumn<bool>("ok");
    QTest::newRow("transform, OK") << true << true;
    QTest::newRow("transform, Cancel") << true << false;
    QTest::newRow("colours, OK") << false << true;
    QTest::newRow("colours, Cancel") << false << false;
}

// While the dialog is open the preview and the laser show the leftmost
// selected frame as it would become, after every change of a field; OK
// makes it one step, Cancel leaves the catalog and history as they were.
void TestFrameCommands::Dialogs()
{
    QFETCH(bool, transform);
    QFETCH(bool, ok);
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    FillSlots(*child, 3);
    MainForm->Preview->show();
    child->SelectSlots(3, 7);
    QCOMPARE(MainForm->Preview->ShownFrame(), &child->Cat.Frames.GetFrame(3));
    const std::vector<TPoints> before = SlotPoints(*child);

    // Ramped rotation 0..90 about all frames with a scale, or a gradient.
    TOperation expected = Op(transform ? TKind::Transform : TKind::Gradient);
    if (transform) {
        expected.Rotate = TValue(30, 90);
        expected.ScaleX = 80;
        expected.Pivot.Kind = TPivotKind::All;
    } else {
        expected.ColourA = 2;
        expected.ColourB = 40;
    }
    int clamped = 0;
    const std::vector<TPoints> after = Expected(*child, {expected}, 3, 7, clamped);
    QVERIFY(after != before);

    // The laser streams what the preview shows.
    IdnTestKit::TReceiver receiver;
    TLaserLink* laser = MainForm->Laser;
    laser->Address = QStringLiteral("127.0.0.1:%1").arg(receiver.Port());
    QVERIFY(laser->Start());
    const auto laserShows = [&](const TPoints& points) {
        return IdnTestKit::Samples(laser->Session.Frame()) == IdnTestKit::Expected(*FrameOf(points), child->Pal);
    };

    std::vector<TPoints> previews;
    int draws = 0;
    bool catalogKept = true;
    bool laserFollows = true;
    WhenDialog([&](TFrameDialog& dialog) {
        const auto look = [&] {
            previews.push_back(MainForm->Preview->ShownFrame()->AllPoints());
            catalogKept = catalogKept && SlotPoints(*child) == before;
            laserFollows = laserFollows && laserShows(previews.back());
        };
        const int drawn = MainForm->Preview->DrawCount();
        if (auto* d = qobject_cast<TTransformDialog*>(&dialog)) {
            d->First[TTransformDialog::Rotate]->setValue(30);
            look();
            d->Ramps[TTransformDialog::Rotate]->setChecked(true);
            d->Last[TTransformDialog::Rotate]->setValue(90);
            d->First[TTransformDialog::ScaleX]->setValue(80);
            d->ComboPivot->setCurrentIndex(2);
        } else if (auto* c = qobject_cast<TColoursDialog*>(&dialog)) {
            c->RadioGradient->setChecked(true);
            c->ComboA->setCurrentIndex(2);
            look();
            c->ComboB->setCurrentIndex(40);
        }
        look();
        draws = MainForm->Preview->DrawCount() - drawn;
        (ok ? dialog.accept() : dialog.reject());
    });
    (transform ? MainForm->Frames->Transform1 : MainForm->Frames->Colours1)->trigger();

    QVERIFY(catalogKept);
    QVERIFY(laserFollows);
    QVERIFY(laserShows(ok ? after[3] : before[3]));
    laser->Stop();
    QCOMPARE(int(previews.size()), 2);
    QVERIFY(previews[0] != before[3]);     // the first change already shows
    QCOMPARE(previews[1], after[3]);       // the frame as it will become
    QVERIFY(draws >= 2);
    QCOMPARE(MainForm->Preview->ShownFrame(), &child->Cat.Frames.GetFrame(3));
    if (ok) {
        CheckOneStep(*child, transform ? QStringLiteral("Transform") : QStringLiteral("Colours"), before, after);
    } else {
        QCOMPARE(SlotPoints(*child), before);
        QCOMPARE(child->History.UndoCount(), 0);
    }
}

QTEST_MAIN(TestFrameCommands)
#include "tst_frames_commands.moc"
