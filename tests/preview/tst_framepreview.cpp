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

using namespace ShellTestKit;

namespace {

constexpr int64_t Ms = TTestClock::Ms;
constexpr QRgb Black = 0xFF000000u;
constexpr QRgb DimGrey = 0xFF505050u;

TFramePreview* Pane()
{
    return MainForm->Preview;
}

QRgb Colour(int index)
{
    const TZLT_PalEntry& entry = TZLT_Pal().GetEntry(index);
    return qRgb(entry.Red, entry.Green, entry.Blue);
}

// A horizontal line across the middle in one colour.
std::unique_ptr<TZLT_Frame> LineFrame(int colour)
{
    auto frame = std::make_unique<TZLT_Frame>();
    frame->Add(TZLT_Point(-20000, 0, 0, uint8_t(colour), 0));
    frame->Add(TZLT_Point(20000, 0, 0, uint8_t(colour), 0));
    return frame;
}

// The largest square of the image, centred.
QRect Square(const QImage& image)
{
    const int side = std::min(image.width(), image.height());
    return QRect((image.width() - side) / 2, (image.height() - side) / 2, side, side);
}

// Every colour of the image but black, with how many pixels have it; pixels
// outside the square count under outside.
QHash<QRgb, int> Colours(const QImage& image, int* outside = nullptr)
{
    QHash<QRgb, int> colours;
    const QRect square = Square(image);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (pixel == Black)
                continue;
            ++colours[pixel];
            if (outside && !square.contains(x, y))
                ++*outside;
        }
    return colours;
}

// "No frame": grey writing in the middle, nothing else.
bool ShowsNoFrame(const QImage& image)
{
    const QHash<QRgb, int> colours = Colours(image);
    int ink = 0;
    for (auto it = colours.cbegin(); it != colours.cend(); ++it) {
        if (qRed(it.key()) != qGreen(it.key()) || qGreen(it.key()) != qBlue(it.key()))
            return false;
        ink += it.value();
    }
    return ink > 20;
}

// The one colour the picture is drawn in, all of it inside the square and
// through the square's middle; 0 for anything else.
QRgb LineColour(const QImage& image)
{
    int outside = 0;
    const QHash<QRgb, int> colours = Colours(image, &outside);
    if (colours.size() != 1 || outside != 0)
        return 0;
    const QRect square = Square(image);
    const QPoint centre = square.center();
    for (int dy = -1; dy <= 1; ++dy)
        if (image.pixel(centre.x(), centre.y() + dy) == colours.cbegin().key())
            return colours.cbegin().key();
    return 0;
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

private:
    void Start();
    void Run(const QString& steps);
    TMDIChild* Active() const { return MainForm->ActiveMDIChild(); }

    QTemporaryDir FDir;
    TTestClock FClock;
};

void TestFramePreview::init()
{
    QFile::remove(IniPath());
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
    QFile palette(FDir.filePath(QStringLiteral("green.pal")));
    if (!palette.exists() && palette.open(QIODevice::WriteOnly)) {
        for (int i = 0; i < 64; ++i)
            palette.write(QByteArray("\x00\xC8\x00", 3) + QByteArray(6, '\0'));
        palette.close();
    }
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
        const QString& verb = words[0];
        const auto number = [&](int i) { return words.value(i).toInt(); };
        TMDIChild* child = Active();
        if (verb == QLatin1String("new")) {
            MainForm->FileNew1->trigger();
        } else if (verb == QLatin1String("show")) {
            Pane()->show();
        } else if (verb == QLatin1String("put")) { // slot, colour index
            child->Cat.Frames.SetFrame(number(1), LineFrame(number(2)));
            child->CatalogChanged();
        } else if (verb == QLatin1String("recolour")) { // the slot's frame changed in place
            for (TZLT_Point& p : child->Cat.Frames.GetFrame(number(1)).AllPoints())
                p = TZLT_Point(p.X(), p.Y(), p.Z(), uint8_t(number(2)), p.Aux());
            child->CatalogChanged();
        } else if (verb == QLatin1String("clear")) {
            child->Cat.Frames.GetFrame(number(1)).Clear();
            child->CatalogChanged();
        } else if (verb == QLatin1String("select")) {
            child->SelectSlots(number(1), words.size() > 2 ? number(2) : number(1));
        } else if (verb == QLatin1String("activate")) {
            MainForm->MdiArea->setActiveSubWindow(MainForm->MDIChildren(number(1)));
        } else if (verb == QLatin1String("palette")) {
            const int index = child->ComboBoxPal->findText(words[1]);
            QVERIFY2(index >= 0, qPrintable(step));
            child->ComboBoxPal->setCurrentIndex(index);
            emit child->ComboBoxPal->activated(index);
        } else if (verb == QLatin1String("copy")) {
            MainForm->EditCopy1->trigger();
        } else if (verb == QLatin1String("paste")) {
            MainForm->EditPaste1->trigger();
        } else if (verb == QLatin1String("cut")) {
            MainForm->EditCut1->trigger();
        } else if (verb == QLatin1String("undo")) {
            MainForm->EditUndo1->trigger();
        } else if (verb == QLatin1String("redo")) {
            MainForm->EditRedo1->trigger();
        } else if (verb == QLatin1String("delete")) {
            child->DeleteAction->trigger();
        } else if (verb == QLatin1String("close")) {
            child->Modified = false;
            MainForm->FileClose1->trigger();
        } else if (verb == QLatin1String("german")) {
            MainForm->Language = 1;
            Pane()->ApplyLanguage();
        } else if (verb == QLatin1String("play")) {
            Pane()->PlayButton->click();
        } else if (verb == QLatin1String("hide")) {
            Pane()->close();
        } else if (verb == QLatin1String("float")) {
            Pane()->setFloating(!Pane()->isFloating());
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
    QTest::addColumn<uint>("colour"); // 0: "No frame"

    const QString two = QStringLiteral("show; new; put 3 1; put 5 4; ");
    QTest::newRow("leftmost of a range") << two + "select 3 5" << 0 << 3 << Colour(1);
    QTest::newRow("follows the selection") << two + "select 3; select 5 6" << 0 << 5 << Colour(4);
    QTest::newRow("empty slot") << two + "select 4" << 0 << 4 << 0u;
    QTest::newRow("new window: its slot 0") << two + "select 3; new" << 1 << 0 << 0u;
    QTest::newRow("activation") << two + "new; put 0 7; activate 0; select 5; activate 1" << 1 << 0
                                << Colour(7);
    QTest::newRow("activation back") << two + "select 5; new; put 0 7; activate 0" << 0 << 5 << Colour(4);
    QTest::newRow("palette") << two + "select 3; palette green.pal" << 0 << 3 << qRgb(0, 200, 0);
    QTest::newRow("palette back") << two + "select 3; palette green.pal; palette Standard" << 0 << 3
                                  << Colour(1);
    QTest::newRow("palette of another window")
        << two + "select 3; new; palette green.pal; activate 0" << 0 << 3 << Colour(1);
    QTest::newRow("paste") << two + "select 5; copy; select 9; paste" << 0 << 9 << Colour(4);
    QTest::newRow("cut") << two + "select 5; cut" << 0 << 5 << 0u;
    QTest::newRow("delete") << two + "select 3 5; delete" << 0 << 3 << 0u;
    QTest::newRow("undo") << two + "select 3 5; delete; select 7; undo" << 0 << 3 << Colour(1);
    QTest::newRow("redo") << two + "select 5; delete; undo; select 9; redo" << 0 << 5 << 0u;
    QTest::newRow("changed in place") << two + "select 3; recolour 3 7" << 0 << 3 << Colour(7);
    QTest::newRow("no window") << QStringLiteral("show") << -1 << -1 << 0u;
    QTest::newRow("last window closed") << two + "select 3; close" << -1 << -1 << 0u;
    QTest::newRow("shown later") << QStringLiteral("new; put 3 1; select 3; show") << 0 << 3 << Colour(1);
}

void TestFramePreview::showsTheSelectedFrame()
{
    QFETCH(QString, steps);
    QFETCH(int, window);
    QFETCH(int, slot);
    QFETCH(uint, colour);
    Run(steps);
    QCOMPARE(Pane()->Window(), window >= 0 ? MainForm->MDIChildren(window) : nullptr);
    QCOMPARE(Pane()->ShownSlot(), slot);
    // The picture fills the pane's picture area; the screen shows it.
    const QImage image = Pane()->Picture->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(image.size(), Pane()->Picture->size());
    QCOMPARE(Pane()->Image().convertToFormat(QImage::Format_RGB32), image);
    QVERIFY(image.width() > 100 && image.height() > 100);
    if (colour == 0)
        QVERIFY(ShowsNoFrame(image));
    else
        QCOMPARE(LineColour(image), QRgb(colour));
}

void TestFramePreview::drawsOnlyWhatChanged_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("drawn");

    const QString frame = QStringLiteral("show; new; put 3 1; select 3");
    QTest::newRow("same leftmost slot") << frame << "select 3 6" << false;
    QTest::newRow("another slot changed") << frame << "put 9 4" << false;
    QTest::newRow("the same palette") << frame << "palette Standard" << false;
    QTest::newRow("language, frame shown") << frame << "german" << false;
    QTest::newRow("another slot") << frame << "select 4" << true;
    QTest::newRow("changed in place") << frame << "recolour 3 4" << true;
    QTest::newRow("another palette") << frame << "palette green.pal" << true;
    QTest::newRow("language, no frame") << frame + "; select 4"
                                        << "german" << true;
    QTest::newRow("hidden") << frame << "hide; select 4; put 4 7; recolour 4 1" << false;
}

void TestFramePreview::drawsOnlyWhatChanged()
{
    QFETCH(QString, setup);
    QFETCH(QString, change);
    QFETCH(bool, drawn);
    Run(setup);
    const int before = Pane()->DrawCount();
    Run(change);
    QCOMPARE(Pane()->DrawCount(), before + (drawn ? 1 : 0));
}

void TestFramePreview::factsLine_data()
{
    QTest::addColumn<QList<QList<int>>>("points"); // x, y, status
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("facts");

    const QList<QList<int>> one{{5, -6, 3}};
    const QList<QList<int>> corners{
        {-32768, -32768, 0x40 | 2}, {32767, 100, 2}, {0, 32767, 0x40}, {-7, 8, 0xC0 | 5}};
    QTest::newRow("one point") << one << 7 << 0 << "Frame 7: 1 point, 0 blanked, X 5…5, Y -6…-6";
    QTest::newRow("one point, German") << one << 7 << 1 << "Frame 7: 1 Punkt, 0 dunkel, X 5…5, Y -6…-6";
    QTest::newRow("blanked and extremes")
        << corners << 0 << 0 << "Frame 0: 4 points, 3 blanked, X -32768…32767, Y -32768…32767";
    QTest::newRow("German") << corners << 32766 << 1
                            << "Frame 32766: 4 Punkte, 3 dunkel, X -32768…32767, Y -32768…32767";
    QTest::newRow("empty slot") << QList<QList<int>>{} << 12 << 0 << "Frame 12: empty";
    QTest::newRow("empty slot, German") << QList<QList<int>>{} << 12 << 1 << "Frame 12: leer";
}

void TestFramePreview::factsLine()
{
    QFETCH(QList<QList<int>>, points);
    QFETCH(int, slot);
    QFETCH(int, language);
    QFETCH(QString, facts);
    Run(QStringLiteral("show"));
    QCOMPARE(Pane()->Facts(), QString());
    Run(QStringLiteral("new"));
    auto frame = std::make_unique<TZLT_Frame>();
    for (const QList<int>& p : points)
        frame->Add(TZLT_Point(int16_t(p[0]), int16_t(p[1]), 0, uint8_t(p[2]), 0));
    Active()->Cat.Frames.SetFrame(slot, std::move(frame));
    Active()->CatalogChanged();
    Active()->SelectSlots(slot, slot);
    MainForm->Language = language;
    Pane()->ApplyLanguage();
    QCOMPARE(Pane()->Facts(), facts);
    QCOMPARE(Pane()->FactsLabel->toolTip(), facts);
    // The line shows as much as fits.
    const QString shown = Pane()->FactsLabel->text();
    QVERIFY(shown == facts || (shown.endsWith(QChar(0x2026)) && facts.startsWith(shown.chopped(1))));
}

void TestFramePreview::blankedMoves()
{
    // A green stroke across the middle, blanked moves from its right end to
    // the top and from there straight down through it, a blue stroke along
    // the bottom.
    Run(QStringLiteral("show; new"));
    auto frame = std::make_unique<TZLT_Frame>();
    frame->Add(TZLT_Point(-32768, 0, 0, 4, 0));
    frame->Add(TZLT_Point(32767, 0, 0, 4, 0));
    frame->Add(TZLT_Point(0, -32768, 0, 0x40 | 4, 0));
    frame->Add(TZLT_Point(0, 32767, 0, 0x40 | 4, 0));
    frame->Add(TZLT_Point(-32768, 32767, 0, 7, 0));
    Active()->Cat.Frames.SetFrame(0, std::move(frame));
    Active()->CatalogChanged();

    QVERIFY(!Pane()->ShowBlankedCheck->isChecked());
    const QImage plain = Pane()->Image();
    const QRect square = Square(plain);
    const QHash<QRgb, int> plainColours = Colours(plain);
    QCOMPARE(plainColours.keys().size(), 2);
    QVERIFY(plainColours.contains(Colour(4)) && plainColours.contains(Colour(7)));

    const int drawn = Pane()->DrawCount();
    Pane()->ShowBlankedCheck->click();
    QCOMPARE(Pane()->DrawCount(), drawn + 1);
    const QImage moves = Pane()->Image();
    // The strokes stay as they were; the moves fill in grey around them.
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x)
            if (plain.pixel(x, y) != Black)
                QCOMPARE(moves.pixel(x, y), plain.pixel(x, y));
    const QHash<QRgb, int> moveColours = Colours(moves);
    QCOMPARE(moveColours.keys().size(), 3);
    // The diagonal and the vertical move, the crossing point aside.
    QVERIFY(moveColours.value(DimGrey) >= square.height() + square.width() / 2 - 4);
    const int middle = square.left() + square.width() / 2;
    int greyAbove = 0, greyBelow = 0;
    for (int y = square.top(); y <= square.bottom(); ++y)
        for (int x = middle - 1; x <= middle; ++x)
            if (moves.pixel(x, y) == DimGrey)
                ++(y < square.center().y() ? greyAbove : greyBelow);
    QVERIFY(greyAbove > square.height() / 3);
    QVERIFY(greyBelow > square.height() / 3);

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
    QTest::addColumn<QList<int>>("shown"); // at the start, then after each frame time
    QTest::addColumn<bool>("playing");

    const QList<int> used{1, 3, 4, 8};
    QTest::newRow("one slot: on to the last used")
        << used << 3 << 3 << true << QList<int>{3, 4, 8, 3, 4, 8, 3} << true;
    QTest::newRow("a range: its used slots")
        << QList<int>{1, 3, 4, 8, 10} << 2 << 8 << true << QList<int>{3, 4, 8, 3, 4} << true;
    QTest::newRow("empty first slot") << QList<int>{5, 6} << 0 << 0 << true << QList<int>{5, 6, 5, 6} << true;
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
        Run(QStringLiteral("put %1 %2").arg(slot).arg(slot % 60 + 1));
    Active()->SelectSlots(first, last);
    Pane()->LoopCheck->setChecked(loop);
    Pane()->RateEdit->setValue(25);
    Run(QStringLiteral("play"));

    QList<int> seen{Pane()->ShownSlot()};
    for (int frame = 1; frame < shown.size(); ++frame) {
        FClock.RunUntil(frame * 40 * Ms);
        seen << Pane()->ShownSlot();
        // Each frame shown is drawn in its own colour.
        if (Pane()->ShownSlot() != 9)
            QCOMPARE(LineColour(Pane()->Image()), Colour(Pane()->ShownSlot() % 60 + 1));
    }
    QCOMPARE(seen, shown);
    QCOMPARE(Pane()->Playback.Playing(), playing);
    QCOMPARE(Pane()->PlayButton->text(), playing ? QStringLiteral("Pause") : QStringLiteral("Play"));
    // The slider stands at the frame shown.
    if (!Pane()->Playback.Range().empty())
        QCOMPARE(Pane()->Playback.Range()[size_t(Pane()->PositionSlider->value())], seen.last());
}

void TestFramePreview::pausesAndStops_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("playing");
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("range"); // frames to play now

    // Two windows; the second plays slots 2, 5 and 7 and shows slot 5.
    QTest::newRow("selection: pause") << "select 7" << false << 1 << 7 << 1;
    QTest::newRow("window: pause") << "activate 0" << false << 0 << 0 << 1;
    QTest::newRow("close: stop") << "close" << false << 0 << 0 << 1;
    QTest::newRow("slots: go on") << "put 3 1; put 9 1" << true << 1 << 5 << 5;
    QTest::newRow("frame shown emptied: the next") << "clear 5" << true << 1 << 7 << 2;
    QTest::newRow("pane closed: pause") << "hide" << false << 1 << 5 << 3;
    QTest::newRow("pane floated: go on") << "float" << true << 1 << 5 << 3;
}

void TestFramePreview::pausesAndStops()
{
    QFETCH(QString, change);
    QFETCH(bool, playing);
    QFETCH(int, window);
    QFETCH(int, slot);
    QFETCH(int, range);

    Run(QStringLiteral("show; new; put 0 1; new; put 2 4; put 5 7; put 7 1; select 2; play"));
    FClock.RunUntil(40 * Ms);
    QVERIFY(Pane()->Playback.Playing());
    QCOMPARE(Pane()->ShownSlot(), 5);

    Run(change);
    QCOMPARE(Pane()->Playback.Playing(), playing);
    QCOMPARE(Pane()->Window(), MainForm->MDIChildren(window));
    QCOMPARE(int(Pane()->Playback.Range().size()), range);
    if (Pane()->isVisible())
        QCOMPARE(Pane()->ShownSlot(), slot);
}

void TestFramePreview::keysMenuAndTexts()
{
    QAction* toggle = Pane()->ToggleAction;
    QVERIFY(Pane()->isHidden());
    QVERIFY(!toggle->isChecked());
    QCOMPARE(toggle->text(), QStringLiteral("Frame &preview"));
    QCOMPARE(Pane()->windowTitle(), QStringLiteral("Frame preview"));
    QCOMPARE(toggle->shortcut(), QKeySequence(Qt::Key_F9));

    // F9 from a catalog window shows the pane; its close button hides it.
    Run(QStringLiteral("new; put 0 1; put 1 4"));
    QTest::keyClick(Active()->SpinEdit, Qt::Key_F9);
    QVERIFY(Pane()->isVisible());
    QVERIFY(toggle->isChecked());
    Pane()->close();
    QVERIFY(!toggle->isChecked());
    toggle->trigger();
    QVERIFY(Pane()->isVisible());

    // Space plays and pauses wherever the focus is in the pane.
    for (QWidget* focus : {Pane()->Picture, static_cast<QWidget*>(Pane()->RateEdit),
                           static_cast<QWidget*>(Pane()->PlayButton)}) {
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key_Space);
        QVERIFY2(Pane()->Playback.Playing(), qPrintable(focus->objectName()));
        QTest::keyClick(focus, Qt::Key_Space);
        QVERIFY(!Pane()->Playback.Playing());
    }
    QCOMPARE(Pane()->RateEdit->value(), 25);

    // German texts; the menu entry keeps an accelerator of its own.
    Run(QStringLiteral("german"));
    QCOMPARE(Pane()->windowTitle(), QStringLiteral("Frame-Vorschau"));
    QCOMPARE(toggle->text(), QStringLiteral("&Frame-Vorschau"));
    QCOMPARE(Pane()->ShowBlankedCheck->text(), QStringLiteral("Dunkle Wege zeigen"));
    QCOMPARE(Pane()->PlayButton->text(), QStringLiteral("Abspielen"));
    Active()->SelectSlots(2, 2);
    QCOMPARE(Pane()->Facts(), QStringLiteral("Frame 2: leer"));
    QVERIFY(ShowsNoFrame(Pane()->Image()));
}

// --- settings ---------------------------------------------------------------

void TestFramePreview::settingsSection_data()
{
    QTest::addColumn<QByteArray>("before");  // the file at start; empty: none
    QTest::addColumn<QString>("change");     // done to the pane before the end
    QTest::addColumn<QStringList>("values"); // of the section at the end; empty: no section

    const QByteArray app = "[Application]\r\nLanguage=1\r\nPathToPalettes=/p/\r\n";
    QTest::newRow("never shown: no section") << QByteArray() << "" << QStringList();
    QTest::newRow("shown") << QByteArray() << "show"
                           << QStringList{"Visible=1",          "Area=Right",         "Floating=0",
                                          "ShowBlankedMoves=0", "FramesPerSecond=25", "Loop=1"};
    QTest::newRow("left, options, hidden")
        << QByteArray() << "left; blanked; rate 60; loop"
        << QStringList{"Visible=0",          "Area=Left",          "Floating=0",
                       "ShowBlankedMoves=1", "FramesPerSecond=60", "Loop=0"};
    QTest::newRow("other sections kept") << app + "\r\n[Mine]\r\nkeep=this\r\n"
                                         << "show; bottom" << QStringList{"Visible=1", "Area=Bottom"};
    QTest::newRow("read back") << app +
                                      "[Preview]\r\nVisible=1\r\nArea=Top\r\nFramesPerSecond=7\r\nLoop=0\r\n"
                               << "" << QStringList{"Visible=1", "Area=Top", "FramesPerSecond=7", "Loop=0"};
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

    Pane()->Playback.SetClock(nullptr);
    EndProgram();
    if (!before.isEmpty())
        WriteIni(before);
    Start();
    for (const QString& step : change.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList words = step.simplified().split(QLatin1Char(' '));
        if (words[0] == QLatin1String("show"))
            Pane()->show();
        else if (words[0] == QLatin1String("left"))
            MainForm->addDockWidget(Qt::LeftDockWidgetArea, Pane());
        else if (words[0] == QLatin1String("bottom"))
            MainForm->addDockWidget(Qt::BottomDockWidgetArea, Pane());
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
    QVERIFY(MainForm->close());

    // The application's lines first, as they were; the pane's section after them.
    const QByteArray text = ReadFile(IniPath());
    const QByteArray app = before.isEmpty()
                               ? QByteArray("[Application]\nLanguage=0\nPathToPalettes=C:\\laser\\\n")
                               : before.left(before.indexOf('\n', before.indexOf("PathToPalettes")) + 1);
    QVERIFY2(text.startsWith(app), text.constData());
    if (before.contains("[Mine]"))
        QVERIFY(text.contains("[Mine]\r\nkeep=this\r\n"));
    const TIniFile ini(IniPath());
    QCOMPARE(ini.ValueExists(TFramePreview::IniSection, QStringLiteral("Visible")), !values.isEmpty());
    if (values.isEmpty()) {
        QCOMPARE(text, app);
        return;
    }
    QVERIFY(text.indexOf("[Preview]") > text.indexOf("PathToPalettes"));
    for (const QString& value : values) {
        const QString key = value.section(QLatin1Char('='), 0, 0);
        QCOMPARE(key + QLatin1Char('=') + ini.ReadString(TFramePreview::IniSection, key, QString()), value);
    }

    // The next start shows the pane as it was left.
    const bool wasVisible = !Pane()->isHidden();
    const Qt::DockWidgetArea area = MainForm->dockWidgetArea(Pane());
    const bool floating = Pane()->isFloating();
    const QRect geometry = Pane()->geometry();
    const int width = Pane()->width();
    const bool blanked = Pane()->ShowBlankedCheck->isChecked();
    const int rate = Pane()->RateEdit->value();
    const bool loop = Pane()->LoopCheck->isChecked();
    EndProgram();
    Start();
    QCOMPARE(!Pane()->isHidden(), wasVisible);
    QCOMPARE(Pane()->ToggleAction->isChecked(), wasVisible);
    QCOMPARE(MainForm->dockWidgetArea(Pane()), area);
    QCOMPARE(Pane()->isFloating(), floating);
    if (floating)
        QCOMPARE(Pane()->geometry(), geometry);
    else if (wasVisible && (area == Qt::RightDockWidgetArea || area == Qt::LeftDockWidgetArea))
        QCOMPARE(Pane()->width(), width);
    QCOMPARE(Pane()->ShowBlankedCheck->isChecked(), blanked);
    QCOMPARE(Pane()->RateEdit->value(), rate);
    QCOMPARE(Pane()->LoopCheck->isChecked(), loop);
}

QTEST_MAIN(TestFramePreview)
#include "tst_framepreview.moc"
