// The frame preview pane in the running program: what its picture shows as
// the user selects, switches windows, picks palettes and changes slots; its
// facts line; blanked moves; playback over the selection on a test clock;
// its keys and menu entry; and its section of the settings file.

#include "../shell/ShellTestKit.h"
#include "FramePreview.h"
#include "IniFile.h"
#include "TestClock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>

#include <tuple>

using namespace ShellTestKit;

namespace {

constexpr int64_t Ms = TTestClock::Ms;
constexpr QRgb Black = 0xFF000000u;

TFramePreview* Pane()
{
    return MainForm->Preview;
}

TMDIChild* Active()
{
    return MainForm->ActiveMDIChild();
}

QRgb Colour(int index)
{
    const TZLT_PalEntry& entry = TZLT_Pal().GetEntry(index);
    return qRgb(entry.Red, entry.Green, entry.Blue);
}

// The colours of the picture but black, with their counts of pixels;
// pixels outside the largest centred square count under 0.
QHash<QRgb, int> Colours(const QImage& image, int* rows = nullptr)
{
    const int side = std::min(image.width(), image.height());
    const QRect square((image.width() - side) / 2, (image.height() - side) / 2, side, side);
    QHash<QRgb, int> colours;
    int top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != Black) {
                ++colours[square.contains(x, y) ? image.pixel(x, y) : 0];
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (rows)
        *rows = bottom - top + 1;
    return colours;
}

// A frame of the "put" step is a line of one colour, one row high; "No
// frame" is grey writing. Returns the line's colour, 1 for the writing, 0
// for anything else.
QRgb Shown(const QImage& image)
{
    int rows = 0;
    const QHash<QRgb, int> colours = Colours(image, &rows);
    if (colours.isEmpty() || colours.contains(0))
        return 0;
    if (colours.size() == 1 && rows == 1)
        return colours.cbegin().key();
    for (auto it = colours.cbegin(); it != colours.cend(); ++it)
        if (qRed(it.key()) != qGreen(it.key()) || qGreen(it.key()) != qBlue(it.key()))
            return 0;
    return 1;
}

} // namespace

class TestFramePreview : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void showsTheSelectedFrame_data();
    void showsTheSelectedFrame();
    void drawsOnlyWhatChanged_data();
    void drawsOnlyWhatChanged();
    void factsLine_data();
    void factsLine();
    void blankedMoves();
    void playsTheSelection_data();
    void playsTheSelection();
    void pausesAndStops_data();
    void pausesAndStops();
    void keysMenuAndTexts();
    void settingsSection_data();
    void settingsSection();
    void storedGeometryComesBackOnScreen_data();
    void storedGeometryComesBackOnScreen();

private:
    void Start();
    void Run(const QString& steps);

    QTemporaryDir FDir;
    TTestClock FClock;
};

void TestFramePreview::init()
{
    QFile::remove(IniPath());
    QFile palette(FDir.filePath(QStringLiteral("green.pal")));
    QVERIFY(palette.open(QIODevice::WriteOnly));
    for (int i = 0; i < 64; ++i)
        palette.write(QByteArray("\x00\xC8\x00", 3) + QByteArray(6, '\0'));
    palette.close();
    Start();
    MainForm->PalettePath = FDir.path() + QLatin1Char('/');
}

void TestFramePreview::cleanup()
{
    Pane()->Playback.SetClock(nullptr);
    EndProgram();
    QFile::remove(IniPath());
}

void TestFramePreview::Start()
{
    StartProgram();
    MainForm->resize(1100, 700);
    QApplication::setActiveWindow(MainForm);
    QVERIFY(QTest::qWaitForWindowActive(MainForm));
    FClock = TTestClock();
    Pane()->Playback.SetClock(&FClock);
}

// Runs steps separated by ";" on the active catalog window, as a user would.
void TestFramePreview::Run(const QString& steps)
{
    for (const QString& step : steps.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList words = step.simplified().split(QLatin1Char(' '));
        const QString verb = words[0];
        const auto number = [&](int i) { return words.value(i).toInt(); };
        TMDIChild* child = Active();
        const QMap<QString, QAction*> commands{{"new", MainForm->FileNew1},     {"copy", MainForm->EditCopy1},
                                               {"paste", MainForm->EditPaste1}, {"cut", MainForm->EditCut1},
                                               {"undo", MainForm->EditUndo1},   {"redo", MainForm->EditRedo1},
                                               {"close", MainForm->FileClose1}};
        if (commands.contains(verb)) {
            if (verb == QLatin1String("close"))
                child->Modified = false;
            commands[verb]->trigger();
        } else if (verb == QLatin1String("show")) {
            Pane()->show();
        } else if (verb == QLatin1String("put")) { // slot, colour: a line across the middle
            auto frame = std::make_unique<TZLT_Frame>();
            frame->Add(TZLT_Point(-20000, 0, 0, uint8_t(number(2)), 0));
            frame->Add(TZLT_Point(20000, 0, 0, uint8_t(number(2)), 0));
            child->Cat.Frames.SetFrame(number(1), std::move(frame));
            child->CatalogChanged();
        } else if (verb == QLatin1String("recolour") || verb == QLatin1String("clear")) { // in place
            auto& points = child->Cat.Frames.GetFrame(number(1)).AllPoints();
            for (TZLT_Point& p : points)
                p = TZLT_Point(p.X(), p.Y(), 0, uint8_t(number(2)), 0);
            if (verb == QLatin1String("clear"))
                points.clear();
            child->CatalogChanged();
        } else if (verb == QLatin1String("select")) {
            child->SelectSlots(number(1), words.size() > 2 ? number(2) : number(1));
        } else if (verb == QLatin1String("activate")) {
            MainForm->MdiArea->setActiveSubWindow(MainForm->MDIChildren(number(1)));
        } else if (verb == QLatin1String("palette")) {
            const int index = child->ComboBoxPal->findText(words[1]);
            child->ComboBoxPal->setCurrentIndex(index);
            emit child->ComboBoxPal->activated(index);
        } else if (verb == QLatin1String("delete")) {
            child->DeleteAction->trigger();
        } else if (verb == QLatin1String("german")) {
            MainForm->Language = 1;
            Pane()->ApplyLanguage();
        } else if (verb == QLatin1String("play")) {
            Pane()->PlayButton->click();
        } else if (verb == QLatin1String("hide")) {
            Pane()->close();
        } else if (verb == QLatin1String("float")) {
            Pane()->setFloating(true);
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
        QCoreApplication::processEvents();
    }
}

// --- the picture ------------------------------------------------------------

void TestFramePreview::showsTheSelectedFrame_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("window"); // index of the window shown, -1 for none
    QTest::addColumn<int>("slot");
    QTest::addColumn<uint>("shown"); // the line's colour, or 1: "No frame"

    const QString two = QStringLiteral("show; new; put 3 1; put 5 4; ");
    QTest::newRow("leftmost of a range") << two + "select 3 5" << 0 << 3 << Colour(1);
    QTest::newRow("follows the selection") << two + "select 3; select 5 6" << 0 << 5 << Colour(4);
    QTest::newRow("empty slot") << two + "select 4" << 0 << 4 << 1u;
    QTest::newRow("activation") << two + "new; put 0 7; activate 0; activate 1" << 1 << 0 << Colour(7);
    QTest::newRow("palette") << two + "select 3; palette green.pal" << 0 << 3 << qRgb(0, 200, 0);
    QTest::newRow("palette back") << two + "select 3; palette green.pal; palette Standard" << 0 << 3
                                  << Colour(1);
    QTest::newRow("another window's palette")
        << two + "select 3; new; palette green.pal; activate 0" << 0 << 3 << Colour(1);
    QTest::newRow("paste") << two + "select 5; copy; select 9; paste" << 0 << 9 << Colour(4);
    QTest::newRow("cut") << two + "select 5; cut" << 0 << 5 << 1u;
    QTest::newRow("delete") << two + "select 3 5; delete" << 0 << 3 << 1u;
    QTest::newRow("undo") << two + "select 3 5; delete; select 7; undo" << 0 << 3 << Colour(1);
    QTest::newRow("changed in place") << two + "select 3; recolour 3 7" << 0 << 3 << Colour(7);
    QTest::newRow("no window") << QStringLiteral("show") << -1 << -1 << 1u;
    QTest::newRow("last window closed") << two + "select 3; close" << -1 << -1 << 1u;
    QTest::newRow("shown later") << QStringLiteral("new; put 3 1; select 3; show") << 0 << 3 << Colour(1);
}

void TestFramePreview::showsTheSelectedFrame()
{
    QFETCH(QString, steps);
    QFETCH(int, window);
    QFETCH(int, slot);
    QFETCH(uint, shown);
    Run(steps);
    QCOMPARE(Pane()->Window(), window >= 0 ? MainForm->MDIChildren(window) : nullptr);
    QCOMPARE(Pane()->ShownSlot(), slot);
    // What the screen shows is the picture drawn, filling the picture area.
    const QImage image = Pane()->Picture->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(Pane()->Image(), image);
    QVERIFY(image.width() > 100 && image.height() > 100);
    QCOMPARE(Shown(image), QRgb(shown));
}

void TestFramePreview::drawsOnlyWhatChanged_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("draws");
    // The pane shows slot 3.
    QTest::newRow("same leftmost slot") << "select 3 6" << 0;
    QTest::newRow("another slot changed") << "put 9 4" << 0;
    QTest::newRow("the same palette") << "palette Standard" << 0;
    QTest::newRow("language, frame shown") << "german" << 0;
    QTest::newRow("pane closed") << "hide; select 4; recolour 3 1" << 0;
    QTest::newRow("changed in place") << "recolour 3 4" << 1;
    QTest::newRow("another palette") << "palette green.pal" << 1;
    QTest::newRow("language, no frame") << "select 4; german" << 2;
}

void TestFramePreview::drawsOnlyWhatChanged()
{
    QFETCH(QString, change);
    QFETCH(int, draws);
    Run(QStringLiteral("show; new; put 3 1; select 3"));
    const int before = Pane()->DrawCount();
    Run(change);
    QCOMPARE(Pane()->DrawCount(), before + draws);
}

void TestFramePreview::factsLine_data()
{
    QTest::addColumn<QList<int>>("points"); // x, y, status of each
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("facts");

    const QList<int> one{5, -6, 3};
    const QList<int> corners{-32768, -32768, 0x42, 32767, 100, 2, 0, 32767, 0x40, -7, 8, 0xC5};
    QTest::newRow("one point") << one << 7 << 0 << "Frame 7: 1 point, 0 blanked, X 5…5, Y -6…-6, 0.0 ms at 30 kpps";
    QTest::newRow("one point, German") << one << 7 << 1 << "Frame 7: 1 Punkt, 0 dunkel, X 5…5, Y -6…-6, 0,0 ms bei 30 kpps";
    QTest::newRow("blanked, extremes")
        << corners << 0 << 0
        << "Frame 0: 4 points, 3 blanked, X -32,768…32,767, Y -32,768…32,767, 0.1 ms at 30 kpps";
    QTest::newRow("German") << corners << 32766 << 1
                            << "Frame 32766: 4 Punkte, 3 dunkel, X -32.768…32.767, Y -32.768…32.767, 0,1 ms bei 30 kpps";
    // The longest lines: every count at its most, a pass of seconds.
    QList<int> full = corners;
    while (full.size() < 3 * TZLT_Frame::MaxPoints)
        full << -32768 << 32767 << 0x40;
    QTest::newRow("full frame")
        << full << 32766 << 0
        << "Frame 32766: 65,535 points, 65,534 blanked, X -32,768…32,767, Y -32,768…32,767, 2,184.5 ms at 30 kpps";
    QTest::newRow("full frame, German")
        << full << 32766 << 1
        << "Frame 32766: 65.535 Punkte, 65.534 dunkel, X -32.768…32.767, Y -32.768…32.767, 2.184,5 ms bei 30 kpps";
    QTest::newRow("empty slot") << QList<int>{} << 12 << 0 << "Frame 12: empty";
    QTest::newRow("empty slot, German") << QList<int>{} << 12 << 1 << "Frame 12: leer";
}

void TestFramePreview::factsLine()
{
    QFETCH(QList<int>, points);
    QFETCH(int, slot);
    QFETCH(int, language);
    QFETCH(QString, facts);
    Run(QStringLiteral("show"));
    QCOMPARE(Pane()->Facts(), QString()); // no window
    Run(QStringLiteral("new"));
    auto frame = std::make_unique<TZLT_Frame>();
    for (qsizetype i = 0; i < points.size(); i += 3)
        frame->Add(TZLT_Point(int16_t(points[i]), int16_t(points[i + 1]), 0, uint8_t(points[i + 2]), 0));
    Active()->Cat.Frames.SetFrame(slot, std::move(frame));
    Active()->CatalogChanged();
    Active()->SelectSlots(slot, slot);
    MainForm->Language = language;
    Pane()->ApplyLanguage();
    QCOMPARE(Pane()->Facts(), facts);
    // The whole line shows at the pane's default width, wrapped where it
    // needs more room; the tooltip holds it too.
    QCOMPARE(Pane()->FactsLabel->toolTip(), facts);
    QLabel* line = Pane()->FactsLabel;
    QCOMPARE(line->text(), facts);
    const auto needs = [line] {
        const int flags = line->wordWrap() ? Qt::TextWordWrap : 0;
        return line->fontMetrics().boundingRect(QRect(0, 0, line->width(), 10000), flags, line->text()).size();
    };
    QTRY_VERIFY2(needs().width() <= line->width() && needs().height() <= line->height(),
                 qPrintable(QStringLiteral("%1 x %2 in %3 x %4")
                                .arg(needs().width())
                                .arg(needs().height())
                                .arg(line->width())
                                .arg(line->height())));
}

void TestFramePreview::blankedMoves()
{
    // A green stroke across the middle, blanked moves to the top and then
    // straight down through it, a blue stroke along the bottom.
    Run(QStringLiteral("show; new"));
    auto frame = std::make_unique<TZLT_Frame>();
    for (const auto& [x, y, status] : std::initializer_list<std::tuple<int, int, int>>{
             {-32768, 0, 4}, {32767, 0, 4}, {0, -32768, 0x44}, {0, 32767, 0x44}, {-32768, 32767, 7}})
        frame->Add(TZLT_Point(int16_t(x), int16_t(y), 0, uint8_t(status), 0));
    Active()->Cat.Frames.SetFrame(0, std::move(frame));
    Active()->CatalogChanged();
    const QImage plain = Pane()->Image();
    QCOMPARE(Colours(plain).keys().size(), 2);

    Pane()->ShowBlankedCheck->click();
    const QImage moves = Pane()->Image();
    const QHash<QRgb, int> colours = Colours(moves);
    QCOMPARE(colours.keys().size(), 3);
    // Dim grey along the diagonal and the whole height; the strokes stay.
    const int side = std::min(moves.width(), moves.height());
    QVERIFY(colours.value(qRgb(0x50, 0x50, 0x50)) >= side * 3 / 2 - 4);
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x)
            if (plain.pixel(x, y) != Black)
                QCOMPARE(moves.pixel(x, y), plain.pixel(x, y));
    Pane()->ShowBlankedCheck->click();
    QCOMPARE(Pane()->Image(), plain);
}

// --- playback ---------------------------------------------------------------

void TestFramePreview::playsTheSelection_data()
{
    QTest::addColumn<QList<int>>("used");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<bool>("loop");
    QTest::addColumn<QList<int>>("shown"); // at Play, then after each frame time
    QTest::addColumn<bool>("playing");

    const QList<int> used{1, 3, 4, 8};
    QTest::newRow("one slot: on to the last used")
        << used << 3 << 3 << true << QList<int>{3, 4, 8, 3, 4, 8} << true;
    QTest::newRow("a range: its used slots")
        << QList<int>{1, 3, 4, 8, 10} << 2 << 8 << true << QList<int>{3, 4, 8, 3} << true;
    QTest::newRow("empty first slot") << QList<int>{5, 6} << 0 << 0 << true << QList<int>{5, 6, 5} << true;
    QTest::newRow("no loop: stops on the last")
        << used << 3 << 3 << false << QList<int>{3, 4, 8, 8, 8} << false;
    QTest::newRow("nothing to play") << used << 9 << 9 << true << QList<int>{9, 9} << false;
}

void TestFramePreview::playsTheSelection()
{
    QFETCH(QList<int>, used);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(bool, loop);
    QFETCH(QList<int>, shown);
    QFETCH(bool, playing);

    Run(QStringLiteral("show; new"));
    for (int slot : used)
        Run(QStringLiteral("put %1 %2").arg(slot).arg(slot + 1));
    Active()->SelectSlots(first, last);
    Pane()->LoopCheck->setChecked(loop);
    Run(QStringLiteral("play"));
    QList<int> seen;
    for (int frame = 0; frame < shown.size(); ++frame) {
        FClock.RunUntil(frame * 40 * Ms); // 25 frames per second
        seen << Pane()->ShownSlot();
        QCOMPARE(Shown(Pane()->Image()), Pane()->ShownSlot() == 9 ? 1 : Colour(Pane()->ShownSlot() + 1));
    }
    QCOMPARE(seen, shown);
    QCOMPARE(Pane()->Playback.Playing(), playing);
    QCOMPARE(Pane()->PlayButton->text(), playing ? QStringLiteral("Pause") : QStringLiteral("Play"));
    if (!Pane()->Playback.Range().empty()) // the slider stands at the frame shown
        QCOMPARE(Pane()->Playback.Range()[size_t(Pane()->PositionSlider->value())], seen.last());
}

void TestFramePreview::pausesAndStops_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("playing");
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("range"); // frames to play now

    // The second of two windows plays slots 2, 5 and 7 and shows 5.
    QTest::newRow("selection: pause") << "select 7" << false << 1 << 7 << 1;
    QTest::newRow("window: pause") << "activate 0" << false << 0 << 0 << 1;
    QTest::newRow("close: stop") << "close" << false << 0 << 0 << 1;
    QTest::newRow("slots: go on") << "put 3 1; put 9 1" << true << 1 << 5 << 5;
    QTest::newRow("frame shown emptied: the next") << "clear 5" << true << 1 << 7 << 2;
    QTest::newRow("pane closed: pause") << "hide" << false << 1 << 5 << 3;
    QTest::newRow("pane floated: go on") << "float" << true << 1 << 5 << 3;
    QTest::newRow("all closed: nothing to play") << "close; close" << false << -1 << -1 << 0;
}

void TestFramePreview::pausesAndStops()
{
    QFETCH(QString, change);
    QFETCH(bool, playing);
    QFETCH(int, window);
    QFETCH(int, slot);
    QFETCH(int, range);
    // Play is enabled exactly when there is a frame to play.
    QVERIFY(!Pane()->PlayButton->isEnabled());
    Run(QStringLiteral("show; new; put 0 1; new; put 2 4; put 5 7; put 7 1; select 2; play"));
    FClock.RunUntil(40 * Ms);
    QCOMPARE(Pane()->ShownSlot(), 5);
    Run(change);
    QCOMPARE(Pane()->Playback.Playing(), playing);
    QCOMPARE(Pane()->Window(), MainForm->MDIChildren(window));
    QCOMPARE(int(Pane()->Playback.Range().size()), range);
    QCOMPARE(Pane()->PlayButton->isEnabled(), range > 0);
    if (Pane()->isVisible())
        QCOMPARE(Pane()->ShownSlot(), slot);
}

void TestFramePreview::keysMenuAndTexts()
{
    QAction* toggle = Pane()->ToggleAction;
    QVERIFY(Pane()->isHidden()); // at first start
    QCOMPARE(toggle->text(), QStringLiteral("Frame &preview"));
    QCOMPARE(Pane()->windowTitle(), QStringLiteral("Frame preview"));

    // F9 from a catalog window shows the pane; its close button hides it.
    Run(QStringLiteral("new; put 0 1; put 1 4"));
    QTest::keyClick(Active()->SpinEdit, Qt::Key_F9);
    QVERIFY(Pane()->isVisible() && toggle->isChecked());
    Pane()->close();
    QVERIFY(!toggle->isChecked());
    toggle->trigger();
    QVERIFY(Pane()->isVisible());

    // Space plays and pauses wherever the focus is in the pane.
    for (QWidget* focus : QList<QWidget*>{Pane()->Picture, Pane()->RateEdit, Pane()->PlayButton}) {
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key_Space);
        QVERIFY2(Pane()->Playback.Playing(), qPrintable(focus->objectName()));
        QTest::keyClick(focus, Qt::Key_Space);
        QVERIFY(!Pane()->Playback.Playing());
    }

    Run(QStringLiteral("german; select 2"));
    QCOMPARE(Pane()->windowTitle(), QStringLiteral("Frame-Vorschau"));
    QCOMPARE(toggle->text(), QStringLiteral("&Frame-Vorschau"));
    QCOMPARE(Pane()->ShowBlankedCheck->text(), QStringLiteral("Dunkle Wege zeigen"));
    QCOMPARE(Pane()->PlayButton->text(), QStringLiteral("Abspielen"));
    QCOMPARE(Shown(Pane()->Image()), 1u); // "Kein Frame"
}

// --- settings ---------------------------------------------------------------

void TestFramePreview::settingsSection_data()
{
    QTest::addColumn<QByteArray>("before");  // the file at start; empty: none
    QTest::addColumn<QString>("change");     // done to the pane before the end
    QTest::addColumn<QStringList>("values"); // of the section at the end; empty: none

    const QByteArray app = "[Application]\r\nLanguage=1\r\nPathToPalettes=/p/\r\n";
    QTest::newRow("never shown: no section") << QByteArray() << "" << QStringList();
    QTest::newRow("shown") << QByteArray() << "show"
                           << QStringList{"Visible=1", "Area=Right", "Floating=0", "FramesPerSecond=25",
                                          "Loop=1"};
    QTest::newRow("left, options, hidden")
        << QByteArray() << "left; blanked; rate 60; loop"
        << QStringList{"Visible=0", "Area=Left", "ShowBlankedMoves=1", "FramesPerSecond=60", "Loop=0"};
    QTest::newRow("other sections kept") << app + "\r\n[Mine]\r\nkeep=this\r\n"
                                         << "show; bottom" << QStringList{"Visible=1", "Area=Bottom"};
    QTest::newRow("odd values") << app + "[Preview]\r\nArea=Nowhere\r\nFramesPerSecond=500\r\n"
                                << "" << QStringList{"Visible=0", "Area=Right", "FramesPerSecond=100"};
    QTest::newRow("floating") << QByteArray() << "show; float"
                              << QStringList{"Visible=1", "Floating=1", "Geometry=120,90,360,520"};
}

void TestFramePreview::settingsSection()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, change);
    QFETCH(QStringList, values);
    cleanup();
    if (!before.isEmpty())
        WriteIni(before);
    Start();
    for (const QString& step : change.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList words = step.simplified().split(QLatin1Char(' '));
        if (words[0] == QLatin1String("show"))
            Pane()->show();
        else if (words[0] == QLatin1String("left") || words[0] == QLatin1String("bottom"))
            MainForm->addDockWidget(words[0] == QLatin1String("left") ? Qt::LeftDockWidgetArea
                                                                      : Qt::BottomDockWidgetArea,
                                    Pane());
        else if (words[0] == QLatin1String("blanked"))
            Pane()->ShowBlankedCheck->setChecked(true);
        else if (words[0] == QLatin1String("rate"))
            Pane()->RateEdit->setValue(words[1].toInt());
        else if (words[0] == QLatin1String("loop"))
            Pane()->LoopCheck->setChecked(false);
        else if (words[0] == QLatin1String("float")) {
            Pane()->setFloating(true);
            Pane()->setGeometry(120, 90, 360, 520);
        }
        QCoreApplication::processEvents();
    }
    const auto state = [] {
        const QRect g = Pane()->geometry();
        return QVariantList{!Pane()->isHidden(),
                            Pane()->ToggleAction->isChecked(),
                            int(MainForm->dockWidgetArea(Pane())),
                            Pane()->isFloating(),
                            Pane()->isFloating() ? g : QRect(),
                            Pane()->isHidden() ? 0 : g.width(),
                            Pane()->ShowBlankedCheck->isChecked(),
                            Pane()->RateEdit->value(),
                            Pane()->LoopCheck->isChecked()};
    };
    const QVariantList left = state();
    QVERIFY(MainForm->close());

    // The application's lines first, as they were; the pane's section after them.
    const QByteArray text = ReadFile(IniPath());
    const QByteArray app = before.isEmpty()
                               ? QByteArray("[Application]\nLanguage=0\nPathToPalettes=C:\\laser\\\n")
                               : before.left(before.indexOf('\n', before.indexOf("PathToPalettes")) + 1);
    QVERIFY2(text.startsWith(app), text.constData());
    QCOMPARE(text.contains("[Mine]\r\nkeep=this\r\n"), before.contains("[Mine]"));
    if (values.isEmpty()) {
        QCOMPARE(text, app);
        return;
    }
    QVERIFY(text.indexOf("[Preview]") > text.indexOf("PathToPalettes"));
    const TIniFile ini(IniPath());
    for (const QString& value : values) {
        const QString key = value.section(QLatin1Char('='), 0, 0);
        QCOMPARE(key + QLatin1Char('=') + ini.ReadString(TFramePreview::IniSection, key, QString()), value);
    }

    EndProgram();
    Start();
    // The next start shows the pane as it was left.
    QCOMPARE(state(), left);
}

void TestFramePreview::storedGeometryComesBackOnScreen_data()
{
    QTest::addColumn<QRect>("stored");
    QTest::addColumn<bool>("kept");

    QTest::newRow("on the screen: kept") << QRect(120, 90, 400, 420) << true;
    QTest::newRow("on a second monitor, now gone") << QRect(3000, 200, 400, 400) << false;
    QTest::newRow("above and left") << QRect(-5000, -5000, 400, 400) << false;
    QTest::newRow("partly beyond the corner") << QRect(700, 500, 400, 400) << false;
    QTest::newRow("larger than any screen") << QRect(0, 0, 20000, 20000) << false;
    QTest::newRow("far and huge") << QRect(-2000000000, 2000000000, 2000000000, 2000000000) << false;
}

void TestFramePreview::storedGeometryComesBackOnScreen()
{
    QFETCH(QRect, stored);
    QFETCH(bool, kept);
    cleanup();
    WriteIni(QStringLiteral("[Preview]\nVisible=1\nFloating=1\nGeometry=%1,%2,%3,%4\n")
                 .arg(stored.x())
                 .arg(stored.y())
                 .arg(stored.width())
                 .arg(stored.height())
                 .toLatin1());
    Start();
    QVERIFY(Pane()->isFloating());
    QVERIFY(QTest::qWaitForWindowExposed(Pane()));

    const QRect free = Pane()->screen()->availableGeometry();
    const QRect g = Pane()->geometry();
    // Inside the screen, give or take the frame the window system adds around it.
    const QRect frame = Pane()->frameGeometry();
    const QRect within = free.adjusted(0, 0, frame.width() - g.width(), frame.height() - g.height());
    QVERIFY2(within.contains(g),
             qPrintable(QStringLiteral("%1,%2 %3x%4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height())));
    QCOMPARE(g.size(), stored.size().boundedTo(free.size()));
    if (kept)
        QCOMPARE(g, stored);
    // The picture is drawn at the pane's size, never at the stored one.
    QVERIFY(Pane()->Image().width() <= free.width() && Pane()->Image().height() <= free.height());
    // Hidden and shown again (F9 twice) it stays where it is.
    Pane()->ToggleAction->trigger();
    Pane()->ToggleAction->trigger();
    QCOMPARE(Pane()->geometry(), g);
}

QTEST_MAIN(TestFramePreview)
#include "tst_framepreview.moc"
