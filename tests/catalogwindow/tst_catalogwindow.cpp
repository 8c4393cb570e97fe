// The catalog window driven as a user drives it: its grid, geometry, goto
// field, palette list, thumbnails, keys, mouse presses, texts and the close
// question.

#include "CHILDWIN.h"
#include "Dialogs.h"
#include "FrameGrid.h"
#include "Guard.h"
#include "MAIN.h"
#include "Overwrite.h"
#include "ReferenceCanvas.h"
#include "Settings.h"
#include "ThumbCanvas.h"
#include "VectorCommands.h"
#include "about.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <dirent.h>

namespace {

QStringList& Errors()
{
    static QStringList errors;
    return errors;
}

// A frame of one horizontal line through the middle in colour index color,
// and one vertical line when vertical is set.
std::unique_ptr<TZLT_Frame> LineFrame(uint8_t color, bool vertical = false)
{
    auto frame = std::make_unique<TZLT_Frame>();
    if (vertical) {
        frame->Add(TZLT_Point(0, -20000, 0, color, 0));
        frame->Add(TZLT_Point(0, 20000, 0, color, 0));
    } else {
        frame->Add(TZLT_Point(-20000, 0, 0, color, 0));
        frame->Add(TZLT_Point(20000, 0, 0, color, 0));
    }
    return frame;
}

void WriteFile(const QString& name, const QByteArray& bytes)
{
    QFile file(name);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(name));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A palette file whose 64 colours are all (r, g, b).
QByteArray PaletteBytes(uint8_t r, uint8_t g, uint8_t b)
{
    QByteArray bytes;
    for (int i = 0; i < 64; ++i) {
        bytes += char(r);
        bytes += char(g);
        bytes += char(b);
        bytes += QByteArray(6, '\0');
    }
    return bytes;
}

// The names of a directory in the order the file system lists them.
QStringList FileSystemOrder(const QString& directory)
{
    QStringList names;
    if (DIR* dir = opendir(QFile::encodeName(directory).constData())) {
        while (const dirent* entry = readdir(dir))
            names << QFile::decodeName(entry->d_name);
        closedir(dir);
    }
    return names;
}

// How many pixels of an image have the colour rgb.
int Count(const QImage& image, QRgb rgb)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == rgb ? 1 : 0;
    return count;
}

QLineEdit* SpinLine(TMDIChild* child)
{
    return child->SpinEdit->findChild<QLineEdit*>();
}

TFrameGrid* GridOf(TMDIChild* child)
{
    return static_cast<TFrameGrid*>(child->Grid);
}

} // namespace

class TestCatalogWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // grid and geometry
    void headerLabels_data();
    void headerLabels();
    void newWindow();
    void geometryFollowsHeight_data();
    void geometryFollowsHeight();
    void cellsGrowWithHeight();
    void minimumSize();
    void leftmostSlotSurvivesResize();

    // goto field
    void gotoWhileTyping();
    void gotoText_data();
    void gotoText();
    void lastSlotLeftmost();
    void gotoButtons();

    // palettes and thumbnails
    void paletteList_data();
    void paletteList();
    void paletteChangeRepaints();
    void wrongPaletteKeepsColours();
    void thumbnailEqualsFreshDrawing();
    void denseThumbnailsEqualReference();
    void changedFrameShownAfterRepaint();
    void changedFrameShownWithoutRepaint();
    void resizeRedrawsThumbnails();

    // keys, menu, texts
    void delInGotoFieldDeletesFrames();
    void delInGridDeletesFrames();
    void clipboardKeysInGotoField();
    void popupMenu();
    void popupMenuShowsNoImages_data();
    void popupMenuShowsNoImages();
    void language();

    // mouse and drag
    void pressRules_data();
    void pressRules();
    void pressOnHeaderKeepsSelection();
    void pressBesideCellsKeepsSelection();
    void doubleClickCallsOnce();
    void dragStartsAfterEightPixels_data();
    void dragStartsAfterEightPixels();
    void headerDragMovesNoColumn();
    void keyboardSelectsRanges();
    void wheelScrollsSlots();
    void slotAt_data();
    void slotAt();
    void dragSources();

    // closing
    void closeQuestion_data();
    void closeQuestion();
    void closeQuestionGerman();
    void closeYesWithFailingSave();
    void closeYesWithSaveAsCancelled();
    void closeUnmodifiedAsksNothing();
    void agreedShutDownDoesNotAskTwice();

private:
    TMDIChild* NewWindow();
    QImage Cell(TMDIChild* child, int slot);
    QImage Fresh(const TZLT_Frame& frame, QSize size, const TZLT_Pal& pal, QColor background);

    QTemporaryDir FDir;
};

void TestCatalogWindow::init()
{
    Errors().clear();
    SetErrorReporter([](const QString& message) { Errors() << message; });
    MainForm = new TMainForm;
    AboutBox = new TAboutBox(MainForm);
    SettingsBox = new TSettingsBox(MainForm);
    OverwriteBox = new TOverwriteBox(MainForm);
    MainForm->PalettePath = FDir.path() + QStringLiteral("/none/");
    MainForm->resize(900, 600);
    MainForm->show();
    QApplication::setActiveWindow(MainForm);
    QVERIFY(QTest::qWaitForWindowActive(MainForm));
}

void TestCatalogWindow::cleanup()
{
    delete MainForm;
    MainForm = nullptr;
    AboutBox = nullptr;
    SettingsBox = nullptr;
    OverwriteBox = nullptr;
    TFileDialog::TestHook = nullptr;
    Dialogs::AskHook = nullptr;
    TFrameGrid::StartDragHook = nullptr;
    SetErrorReporter(nullptr);
}

TMDIChild* TestCatalogWindow::NewWindow()
{
    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    QCoreApplication::processEvents();
    return child;
}

// The cell of a slot as the screen shows it.
QImage TestCatalogWindow::Cell(TMDIChild* child, int slot)
{
    QTableView* grid = child->Grid;
    const QRect rect = grid->visualRect(grid->model()->index(0, slot));
    return grid->viewport()->grab(rect).toImage().convertToFormat(QImage::Format_RGB32);
}

// The frame drawn afresh on a background, through the canvas the grid uses.
QImage TestCatalogWindow::Fresh(const TZLT_Frame& frame, QSize size, const TZLT_Pal& pal, QColor background)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(background);
    TThumbCanvas canvas(image);
    frame.Draw(canvas, TZLT_Rect{0, 0, size.width(), size.height()}, pal);
    return image;
}

// --- grid and geometry ------------------------------------------------------

void TestCatalogWindow::headerLabels_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("label");
    QTest::newRow("first") << 0 << "1";
    QTest::newRow("second") << 1 << "2";
    QTest::newRow("tenth") << 9 << "10";
    QTest::newRow("middle") << 16383 << "16384";
    QTest::newRow("last") << 32766 << "32767";
}

void TestCatalogWindow::headerLabels()
{
    QFETCH(int, slot);
    QFETCH(QString, label);
    TMDIChild* child = NewWindow();
    const QAbstractItemModel* model = child->Grid->model();
    QCOMPARE(model->columnCount(), 32767);
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->headerData(slot, Qt::Horizontal).toString(), label);

    // The label stands at the cell's top-left on the button face.
    child->SetLeftmostSlot(slot);
    QHeaderView* header = child->Grid->horizontalHeader();
    QCOMPARE(header->logicalIndexAt(0), slot);
    const QImage image = header->grab(QRect(0, 0, child->CellSize(), header->height())).toImage();
    const QRgb face = header->palette().color(QPalette::Active, QPalette::Button).rgb();
    QCOMPARE(image.pixel(0, 0), face);
    QCOMPARE(image.pixel(1, 1), face);
    int ink = 0;
    for (int y = 2; y < 18; ++y)
        for (int x = 2; x < 2 + 7 * label.size(); ++x)
            ink += image.pixel(x, y) != face ? 1 : 0;
    QVERIFY2(ink > 5, "no label drawn");
}

void TestCatalogWindow::newWindow()
{
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    QCOMPARE(child->SelStart(), 0);
    QCOMPARE(child->SelEnd(), 0);
    QCOMPARE(child->LeftmostSlot(), 0);
    QVERIFY(child->Modified);
    QCOMPARE(child->height(), 200);
    QCOMPARE(child->Cat.Frames.Count(), 32767);
    QCOMPARE(child->SpinEdit->minimum(), 0);
    QCOMPARE(child->SpinEdit->maximum(), 32767);
    QCOMPARE(child->SpinEdit->value(), 0);
    QCOMPARE(child->ComboBoxPal->count(), 1);
    QCOMPARE(child->ComboBoxPal->currentText(), QStringLiteral("Standard"));
    QCOMPARE(child->Pal, TZLT_Pal());
    // The goto field has the focus.
    QTRY_VERIFY(child->SpinEdit->hasFocus() || SpinLine(child)->hasFocus());

    // Slot 0 shows the highlight, the others black.
    const QRgb highlight = child->Grid->palette().color(QPalette::Active, QPalette::Highlight).rgb();
    const QImage first = Cell(child, 0);
    const QImage second = Cell(child, 1);
    QCOMPARE(first.pixel(first.width() / 2, first.height() / 2), highlight);
    QCOMPARE(second.pixel(second.width() / 2, second.height() / 2), qRgb(0, 0, 0));
}

void TestCatalogWindow::geometryFollowsHeight_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("minimum") << QSize(400, 150);
    QTest::newRow("new window") << QSize(700, 200);
    QTest::newRow("odd") << QSize(513, 333);
    QTest::newRow("tall") << QSize(800, 560);
}

void TestCatalogWindow::geometryFollowsHeight()
{
    QFETCH(QSize, size);
    TMDIChild* child = NewWindow();
    child->resize(size);
    QCoreApplication::processEvents();
    QCOMPARE(child->size(), size);

    QWidget* client = child->widget();
    QTableView* grid = child->Grid;
    const int h = child->CellSize();
    QVERIFY(h > 0);
    // Grid on top, panel directly under it, together the whole client area.
    QCOMPARE(grid->geometry(), QRect(0, 0, client->width(), grid->height()));
    QCOMPARE(child->Bevel->geometry(), QRect(0, grid->height(), client->width(), 33));
    QCOMPARE(grid->height() + child->Bevel->height(), client->height());
    // A 20-pixel label row over one row of h x h cells that fills the view.
    QCOMPARE(grid->horizontalHeader()->height(), 20);
    QCOMPARE(grid->viewport()->height(), h);
    for (int slot : {0, 1, 7}) {
        const QRect cell = grid->visualRect(grid->model()->index(0, slot));
        QCOMPARE(cell.size(), QSize(h, h));
    }
    QCOMPARE(grid->columnWidth(3), grid->rowHeight(0));
}

void TestCatalogWindow::cellsGrowWithHeight()
{
    TMDIChild* child = NewWindow();
    int previous = 0;
    for (int height : {150, 180, 240, 400}) {
        child->resize(600, height);
        QCoreApplication::processEvents();
        QVERIFY2(child->CellSize() > previous, qPrintable(QString::number(height)));
        previous = child->CellSize();
    }
    // The width changes only how many cells show.
    child->resize(900, 400);
    QCoreApplication::processEvents();
    QCOMPARE(child->CellSize(), previous);
}

void TestCatalogWindow::minimumSize()
{
    TMDIChild* child = NewWindow();
    child->resize(100, 60);
    QCoreApplication::processEvents();
    QCOMPARE(child->size(), QSize(400, 150));
}

void TestCatalogWindow::leftmostSlotSurvivesResize()
{
    TMDIChild* child = NewWindow();
    child->SetLeftmostSlot(500);
    child->resize(700, 330);
    QCoreApplication::processEvents();
    QCOMPARE(child->LeftmostSlot(), 500);
    QCOMPARE(child->Grid->columnAt(0), 500);
    QCOMPARE(child->Grid->columnViewportPosition(500), 0);
    QCOMPARE(child->Grid->horizontalHeader()->logicalIndexAt(0), 500);
}

// --- goto field -------------------------------------------------------------

void TestCatalogWindow::gotoWhileTyping()
{
    TMDIChild* child = NewWindow();
    QLineEdit* line = SpinLine(child);
    line->selectAll();
    QList<int> leftmost;
    connect(line, &QLineEdit::textChanged, this, [&] { leftmost << child->LeftmostSlot(); });
    QTest::keyClicks(child->SpinEdit, QStringLiteral("125"));
    QCOMPARE(line->text(), QStringLiteral("125"));
    QCOMPARE(leftmost, QList<int>({1, 12, 125}));
    QCOMPARE(child->Grid->columnAt(0), 125);
    QCOMPARE(child->SelStart(), 0); // the selection stays
    QCOMPARE(child->SelEnd(), 0);
}

void TestCatalogWindow::gotoText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("leftmost");
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("slot") << "4711" << 4711;
    QTest::newRow("signed") << "+12" << 12;
    QTest::newRow("last slot") << "32766" << 32766;
    QTest::newRow("field maximum") << "32767" << 32766;
    QTest::newRow("beyond") << "40000" << 32766;
    QTest::newRow("negative") << "-5" << 0;
    QTest::newRow("empty") << "" << 7;
    QTest::newRow("sign only") << "-" << 7;
    QTest::newRow("letters") << "abc" << 7;
    QTest::newRow("too long") << "99999999999" << 7;
}

void TestCatalogWindow::gotoText()
{
    QFETCH(QString, text);
    QFETCH(int, leftmost);
    TMDIChild* child = NewWindow();
    SpinLine(child)->setText(QStringLiteral("7"));
    QCOMPARE(child->LeftmostSlot(), 7);
    SpinLine(child)->setText(text);
    QCOMPARE(child->LeftmostSlot(), leftmost);
    QCOMPARE(child->Grid->columnAt(0), leftmost);
    QCOMPARE(child->Grid->columnViewportPosition(leftmost), 0);
}

void TestCatalogWindow::lastSlotLeftmost()
{
    TMDIChild* child = NewWindow();
    child->resize(800, 200);
    QCoreApplication::processEvents();
    SpinLine(child)->setText(QStringLiteral("32766"));
    QCoreApplication::processEvents();
    QTableView* grid = child->Grid;
    QCOMPARE(grid->columnAt(0), 32766);
    QCOMPARE(grid->horizontalHeader()->logicalIndexAt(0), 32766);
    QCOMPARE(grid->horizontalScrollBar()->value(), grid->horizontalScrollBar()->maximum());
    // Empty black background to the right of the last cell.
    const QImage view = grid->viewport()->grab().toImage();
    const int beyond = child->CellSize() + 20;
    QVERIFY(beyond < view.width());
    QCOMPARE(QColor(view.pixel(beyond, view.height() / 2)), QColor(Qt::black));
    QCOMPARE(grid->columnAt(beyond), -1);

    // Dragging the scroll bar to its end keeps the last slot leftmost.
    grid->horizontalScrollBar()->setValue(100);
    grid->horizontalScrollBar()->setValue(grid->horizontalScrollBar()->maximum());
    QCOMPARE(grid->columnAt(0), 32766);
}

void TestCatalogWindow::gotoButtons()
{
    TMDIChild* child = NewWindow();
    child->SpinEdit->setValue(40);
    QCOMPARE(child->LeftmostSlot(), 40);
    child->SpinEdit->stepUp();
    QCOMPARE(child->LeftmostSlot(), 41);
    child->SpinEdit->setValue(32767);
    QCOMPARE(child->LeftmostSlot(), 32766);
}

// --- palettes and thumbnails ------------------------------------------------

void TestCatalogWindow::paletteList_data()
{
    QTest::addColumn<QString>("setting"); // below the test directory
    QTest::addColumn<QStringList>("entries");
    const QStringList all{".hidden.pal", "a.pal", "b.PAL", "pal1.pal", "palB.pal", "z z.pal"};
    QTest::newRow("trailing separator") << "pals/" << all;
    QTest::newRow("start of a name") << "pals/pa" << QStringList{"pal1.pal", "palB.pal"};
    QTest::newRow("no match") << "pals/q" << QStringList{};
    QTest::newRow("missing directory") << "nowhere/" << QStringList{};
}

void TestCatalogWindow::paletteList()
{
    QFETCH(QString, setting);
    QFETCH(QStringList, entries);
    const QString dir = FDir.path() + QStringLiteral("/pals");
    QDir().mkpath(dir + QStringLiteral("/dir.pal"));
    for (const char* name :
         {"b.PAL", "a.pal", ".hidden.pal", "pal1.pal", "palB.pal", "z z.pal", "notes.txt", "a.pal.bak"})
        WriteFile(dir + QLatin1Char('/') + QLatin1String(name), PaletteBytes(1, 2, 3));

    MainForm->PalettePath = FDir.path() + QLatin1Char('/') + setting;
    TMDIChild* child = NewWindow();
    QStringList shown;
    for (int i = 1; i < child->ComboBoxPal->count(); ++i)
        shown << child->ComboBoxPal->itemText(i);
    QCOMPARE(child->ComboBoxPal->itemText(0), QStringLiteral("Standard"));
    QCOMPARE(child->ComboBoxPal->currentIndex(), 0);

    // In the file system's order, not sorted.
    QStringList expected;
    for (const QString& name : FileSystemOrder(dir))
        if (entries.contains(name))
            expected << name;
    QCOMPARE(shown, expected);
    QCOMPARE(shown.size(), entries.size());

    // Every entry loads (its colours are 1, 2, 3).
    for (int i = 1; i < child->ComboBoxPal->count(); ++i) {
        child->ComboBoxPal->setCurrentIndex(i);
        emit child->ComboBoxPal->activated(i);
        QVERIFY2(Errors().isEmpty(), qPrintable(Errors().join(QLatin1Char('\n'))));
        QCOMPARE(child->Pal.GetEntry(5).Blue, 3);
    }
}

void TestCatalogWindow::paletteChangeRepaints()
{
    const QString dir = FDir.path() + QStringLiteral("/green/");
    QDir().mkpath(dir);
    WriteFile(dir + QStringLiteral("green.pal"), PaletteBytes(0, 255, 0));
    MainForm->PalettePath = dir;
    TMDIChild* child = NewWindow();
    child->Cat.Frames.SetFrame(1, LineFrame(1)); // red in the default palette
    child->Modified = false;
    child->RepaintGrid();

    const QImage before = Cell(child, 1);
    const int length = child->CellSize() / 2; // the line spans most of the cell
    QVERIFY(Count(before, qRgb(255, 0, 0)) > length);

    // The user picks the palette file from the list with the keyboard.
    child->ComboBoxPal->setFocus();
    QTest::keyClick(child->ComboBoxPal, Qt::Key_Down);
    QCOMPARE(child->ComboBoxPal->currentText(), QStringLiteral("green.pal"));
    const QImage green = Cell(child, 1);
    QVERIFY(Count(green, qRgb(0, 255, 0)) > length);
    QCOMPARE(Count(green, qRgb(255, 0, 0)), 0);

    QTest::keyClick(child->ComboBoxPal, Qt::Key_Up);
    QCOMPARE(child->ComboBoxPal->currentText(), QStringLiteral("Standard"));
    QCOMPARE(Cell(child, 1), before);
    QVERIFY(!child->Modified);
    QVERIFY(Errors().isEmpty());
}

void TestCatalogWindow::wrongPaletteKeepsColours()
{
    const QString dir = FDir.path() + QStringLiteral("/wrong/");
    QDir().mkpath(dir);
    WriteFile(dir + QStringLiteral("good.pal"), PaletteBytes(0, 0, 255));
    WriteFile(dir + QStringLiteral("bad.pal"), PaletteBytes(255, 255, 0).left(575));
    MainForm->PalettePath = dir;
    TMDIChild* child = NewWindow();
    child->Cat.Frames.SetFrame(2, LineFrame(4));
    child->RepaintGrid();
    const int good = child->ComboBoxPal->findText(QStringLiteral("good.pal"));
    const int bad = child->ComboBoxPal->findText(QStringLiteral("bad.pal"));
    QVERIFY(good > 0 && bad > 0);

    child->ComboBoxPal->setCurrentIndex(good);
    emit child->ComboBoxPal->activated(good);
    const QImage blue = Cell(child, 2);
    QVERIFY(Count(blue, qRgb(0, 0, 255)) > child->CellSize() / 2);
    const TZLT_Pal kept = child->Pal;

    child->ComboBoxPal->setCurrentIndex(bad);
    emit child->ComboBoxPal->activated(bad);
    QCOMPARE(Errors(),
             QStringList{QStringLiteral("Invalid File : '%1'").arg(dir + QStringLiteral("bad.pal"))});
    QCOMPARE(child->Pal, kept);
    QCOMPARE(child->ComboBoxPal->currentText(), QStringLiteral("bad.pal"));
    QCOMPARE(Cell(child, 2), blue);
}

void TestCatalogWindow::thumbnailEqualsFreshDrawing()
{
    TMDIChild* child = NewWindow();
    auto frame = std::make_unique<TZLT_Frame>();
    for (int i = 0; i < 500; ++i)
        frame->Add(TZLT_Point(int16_t((i * 7919) % 65536 - 32768), int16_t((i * 104729) % 65536 - 32768), 0,
                              uint8_t((i / 50) | (i % 9 == 0 ? 0x40 : 0)), 0));
    child->Cat.Frames.SetFrame(0, frame->Clone());
    child->Cat.Frames.SetFrame(3, std::move(frame));
    child->RepaintGrid();
    const QSize size(child->CellSize(), child->CellSize());
    const QColor highlight = child->Grid->palette().color(QPalette::Active, QPalette::Highlight);
    // Twice: the second paint comes from the kept drawing.
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(Cell(child, 3), Fresh(child->Cat.Frames.GetFrame(3), size, child->Pal, Qt::black));
        QCOMPARE(Cell(child, 0), Fresh(child->Cat.Frames.GetFrame(0), size, child->Pal, highlight));
    }
    QVERIFY(Cell(child, 3) != Fresh(TZLT_Frame(), size, child->Pal, Qt::black));
}

void TestCatalogWindow::denseThumbnailsEqualReference()
{
    // Every visible cell holds a dense frame, so one paint draws them all on
    // all cores; each must be the reference canvas's drawing.
    TMDIChild* child = NewWindow();
    child->resize(900, 260);
    QCoreApplication::processEvents();
    const int side = child->CellSize();
    const int visible = child->Grid->viewport()->width() / (side + 1) + 1;
    QVERIFY(visible >= 4);
    QRandomGenerator random(77);
    for (int slot = 0; slot < visible; ++slot) {
        auto frame = std::make_unique<TZLT_Frame>();
        const bool longLines = slot % 2 == 1;
        int x = 0, y = 0;
        for (int i = 0; i < 30000; ++i) {
            if (longLines) {
                x = int(random.bounded(65536)) - 32768;
                y = int(random.bounded(65536)) - 32768;
            } else {
                x = std::clamp(x + int(random.bounded(-900, 901)), -32768, 32767);
                y = std::clamp(y + int(random.bounded(-900, 901)), -32768, 32767);
            }
            frame->Add(TZLT_Point(int16_t(x), int16_t(y), 0,
                                  uint8_t(i / 700 % 64 | (random.bounded(10) == 0 ? 0x40 : 0)), 0));
        }
        child->Cat.Frames.SetFrame(slot, std::move(frame));
    }
    child->SelectSlots(visible + 2, visible + 2); // every cell on black
    child->SetLeftmostSlot(0);
    child->RepaintGrid();
    const QImage view = child->Grid->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int slot = 0; slot < visible; ++slot) {
        const QRect rect = child->Grid->visualRect(child->Grid->model()->index(0, slot));
        QImage expected(side, side, QImage::Format_RGB32);
        expected.fill(Qt::black);
        TReferenceCanvas reference(expected);
        child->Cat.Frames.GetFrame(slot).Draw(reference, TZLT_Rect{0, 0, side, side}, child->Pal);
        // The last cell may be cut off by the window's edge.
        const QRect shown = rect.intersected(view.rect());
        QVERIFY(!shown.isEmpty());
        QCOMPARE(view.copy(shown), expected.copy(shown.translated(-rect.topLeft())));
    }
}

void TestCatalogWindow::changedFrameShownAfterRepaint()
{
    TMDIChild* child = NewWindow();
    const QSize size(child->CellSize(), child->CellSize());
    child->Cat.Frames.SetFrame(4, LineFrame(2));
    child->RepaintGrid();
    const QImage horizontal = Cell(child, 4);
    QCOMPARE(horizontal, Fresh(child->Cat.Frames.GetFrame(4), size, child->Pal, Qt::black));

    child->Cat.Frames.SetFrame(4, LineFrame(2, true));
    child->RepaintGrid();
    const QImage vertical = Cell(child, 4);
    QVERIFY(vertical != horizontal);
    QCOMPARE(vertical, Fresh(child->Cat.Frames.GetFrame(4), size, child->Pal, Qt::black));

    child->Cat.Frames.GetFrame(4).Clear();
    child->RepaintGrid();
    QCOMPARE(Cell(child, 4), Fresh(TZLT_Frame(), size, child->Pal, Qt::black));
}

void TestCatalogWindow::changedFrameShownWithoutRepaint()
{
    // Even a change that skipped the repaint request never shows an old drawing.
    TMDIChild* child = NewWindow();
    const QSize size(child->CellSize(), child->CellSize());
    child->Cat.Frames.SetFrame(5, LineFrame(3));
    child->RepaintGrid();
    const QImage before = Cell(child, 5);
    child->Cat.Frames.GetFrame(5).Add(TZLT_Point(20000, 20000, 0, 3, 0));
    const QImage after = Cell(child, 5);
    QVERIFY(after != before);
    QCOMPARE(after, Fresh(child->Cat.Frames.GetFrame(5), size, child->Pal, Qt::black));
}

void TestCatalogWindow::resizeRedrawsThumbnails()
{
    TMDIChild* child = NewWindow();
    child->Cat.Frames.SetFrame(6, LineFrame(5, true));
    child->RepaintGrid();
    const QImage small = Cell(child, 6);
    child->resize(child->width(), 420);
    QCoreApplication::processEvents();
    child->SetLeftmostSlot(6);
    const QSize size(child->CellSize(), child->CellSize());
    QVERIFY(size != small.size());
    QCOMPARE(Cell(child, 6), Fresh(child->Cat.Frames.GetFrame(6), size, child->Pal, Qt::black));
}

// --- keys, menu, texts ------------------------------------------------------

void TestCatalogWindow::delInGotoFieldDeletesFrames()
{
    TMDIChild* child = NewWindow();
    child->Cat.Frames.SetFrame(3, LineFrame(1));
    child->Cat.Frames.SetFrame(4, LineFrame(1));
    child->SelectSlots(3, 3);
    child->Modified = false;
    QLineEdit* line = SpinLine(child);
    line->setText(QStringLiteral("12"));
    line->setCursorPosition(0);
    child->SpinEdit->setFocus();
    QTest::keyClick(line, Qt::Key_Delete);
    QCOMPARE(line->text(), QStringLiteral("12"));
    QVERIFY(!child->Cat.Frames.GetFrame(3).Used());
    QVERIFY(child->Cat.Frames.GetFrame(4).Used());
    QVERIFY(child->Modified);
}

void TestCatalogWindow::delInGridDeletesFrames()
{
    TMDIChild* child = NewWindow();
    child->Cat.Frames.SetFrame(8, LineFrame(1));
    child->SelectSlots(8, 8);
    child->Grid->setFocus();
    QTest::keyClick(child->Grid, Qt::Key_Delete);
    QVERIFY(!child->Cat.Frames.GetFrame(8).Used());
}

void TestCatalogWindow::clipboardKeysInGotoField()
{
    TMDIChild* child = NewWindow();
    child->Cat.Frames.SetFrame(2, LineFrame(6));
    child->SelectSlots(2, 2);
    QLineEdit* line = SpinLine(child);
    line->setText(QStringLiteral("77"));
    line->selectAll();
    child->SpinEdit->setFocus();
    QTest::keyClick(line, Qt::Key_C, Qt::ControlModifier);
    QVERIFY(MainForm->ClipboardFrames);
    QCOMPARE(MainForm->ClipboardFrames->Count(), 1);
    QCOMPARE(MainForm->ClipboardFrames->GetFrame(0), child->Cat.Frames.GetFrame(2));
    QTest::keyClick(line, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(line->text(), QStringLiteral("77"));
    QVERIFY(!child->Cat.Frames.GetFrame(2).Used());
}

void TestCatalogWindow::popupMenu()
{
    TMDIChild* child = NewWindow();
    const QList<QAction*> actions = child->PopupMenu->actions();
    QVERIFY(actions.size() > 14); // the Frames commands follow a separator
    QCOMPARE(actions[0], MainForm->EditCut1);
    QCOMPARE(actions[1], MainForm->EditCopy1);
    QCOMPARE(actions[2], MainForm->EditPaste1);
    QCOMPARE(actions[3], child->DeleteAction);
    QVERIFY(actions[4]->isSeparator());
    QCOMPARE(actions[5], child->NextUsedFrameAction);
    QCOMPARE(actions[6], child->LastUsedFrameAction);
    QVERIFY(actions[7]->isSeparator());
    QCOMPARE(actions[8], child->SavePicAction);
    QCOMPARE(actions[9], child->LoadPicAction);
    QCOMPARE(actions[10], child->SaveIldaAction);
    QCOMPARE(actions[11], child->LoadIldaAction);
    QCOMPARE(actions[12], MainForm->Vector->ImportVectorAction);
    QVERIFY(actions[13]->isSeparator());
    QCOMPARE(actions.last(), MainForm->Vector->TextFrame1);
    QCOMPARE(child->DeleteAction->shortcut(), QKeySequence(Qt::Key_Delete));
    for (QAction* action :
         {child->DeleteAction, child->NextUsedFrameAction, child->LastUsedFrameAction, child->SavePicAction,
          child->LoadPicAction, child->SaveIldaAction, child->LoadIldaAction})
        QVERIFY(action->isEnabled());

    // A right click on the grid opens it.
    const QRect cell = child->Grid->visualRect(child->Grid->model()->index(0, 2));
    QTimer::singleShot(0, child->PopupMenu, [child] {
        QVERIFY(child->PopupMenu->isVisible());
        child->PopupMenu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, cell.center(),
                            child->Grid->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(child->Grid->viewport(), &event);
    QTRY_VERIFY(!child->PopupMenu->isVisible());
}

void TestCatalogWindow::popupMenuShowsNoImages_data()
{
    QTest::addColumn<int>("language");
    QTest::newRow("English") << 0;
    QTest::newRow("German") << 1;
}

void TestCatalogWindow::popupMenuShowsNoImages()
{
    QFETCH(int, language);
    MainForm->Language = language;
    MainForm->ApplyLanguage();
    TMDIChild* child = NewWindow();
    MainForm->EditPaste1->setEnabled(false); // an entry's state shows through
    // The same entries without images, and the shared actions as the main
    // window's own menu shows them, images included.
    QMenu plain;
    QMenu withImages;
    for (QAction* action : child->PopupMenu->actions()) {
        if (action->isSeparator()) {
            plain.addSeparator();
            withImages.addSeparator();
            continue;
        }
        QAction* copy = plain.addAction(action->text());
        copy->setShortcut(action->shortcut());
        copy->setEnabled(action->isEnabled());
        withImages.addAction(action);
    }
    QVERIFY(!MainForm->EditCut1->icon().isNull());
    const auto picture = [](QMenu& menu) {
        menu.ensurePolished();
        menu.adjustSize();
        return menu.grab().toImage();
    };
    const QImage popup = picture(*child->PopupMenu);
    QCOMPARE(popup, picture(plain));
    QVERIFY(popup != picture(withImages));
    // The shared actions keep their images elsewhere.
    QVERIFY(!MainForm->EditCut1->icon().isNull());
    QVERIFY(MainForm->EditCut1->isIconVisibleInMenu());
}

void TestCatalogWindow::language()
{
    TMDIChild* child = NewWindow();
    QCOMPARE(child->Label1->text(), QStringLiteral("Goto Frame:"));
    QCOMPARE(child->Label2->text(), QStringLiteral("Palette:"));
    QCOMPARE(child->DeleteAction->text(), QStringLiteral("&Delete frame(s)"));
    QCOMPARE(child->NextUsedFrameAction->text(), QStringLiteral("Goto &next used frame"));
    QCOMPARE(child->LastUsedFrameAction->text(), QStringLiteral("Goto &last used frame"));
    QCOMPARE(child->SavePicAction->text(), QStringLiteral("Save as PIC file..."));
    QCOMPARE(child->LoadPicAction->text(), QStringLiteral("Import from PIC file..."));
    QCOMPARE(child->SavePicAction->toolTip(), QStringLiteral("Save as PIC file"));
    QCOMPARE(child->SavePicAction->statusTip(), QStringLiteral("Saves selected frame as PIC file"));
    QCOMPARE(child->LoadPicAction->statusTip(), QStringLiteral("Imports one frame from a PIC file"));
    QCOMPARE(child->SaveIldaAction->text(), QStringLiteral("Save as ILDA file..."));
    QCOMPARE(child->LoadIldaAction->text(), QStringLiteral("Import from ILDA file..."));
    QCOMPARE(child->DeleteAction->statusTip(), QString());
    const int englishWidth = child->Label1->width();
    // Where the text fits, the labels keep the layout's right edges.
    QVERIFY(englishWidth <= 78);
    QCOMPARE(child->Label1->geometry().right() + 1, 82);
    QCOMPARE(child->SpinEdit->x(), 88);
    QCOMPARE(child->Label2->geometry().right() + 1 + 12, child->ComboBoxPal->x());
    if (child->SpinEdit->width() == 65) // the field's numbers fit the layout's width
        QCOMPARE(child->Label2->geometry().right() + 1, 220);

    MainForm->Language = 1;
    child->ApplyLanguage();
    QCOMPARE(child->Label1->text(), QStringLiteral("Gehe zu Frame:"));
    QCOMPARE(child->Label2->text(), QStringLiteral("Palette:"));
    QCOMPARE(child->DeleteAction->text(), QStringLiteral("Lösche &Frame(s)"));
    QCOMPARE(child->NextUsedFrameAction->text(), QStringLiteral("Gehe zum &nächsten benutzen Frame"));
    QCOMPARE(child->LastUsedFrameAction->text(), QStringLiteral("Gehe zum &letzten benutzten Frame"));
    QCOMPARE(child->SavePicAction->text(), QStringLiteral("Speichere als PIC Datei..."));
    QCOMPARE(child->LoadPicAction->text(), QStringLiteral("Importiere von PIC Datei..."));
    QCOMPARE(child->SavePicAction->toolTip(), QStringLiteral("Speichere als PIC Datei"));
    QCOMPARE(child->SavePicAction->statusTip(), QStringLiteral("Speichert slektierten Frame als PIC Datei"));
    QCOMPARE(child->LoadPicAction->statusTip(), QStringLiteral("Importiert einen Frame aus einer PIC Datei"));
    QCOMPARE(child->SaveIldaAction->text(), QStringLiteral("Speichere als ILDA Datei..."));
    QCOMPARE(child->LoadIldaAction->text(), QStringLiteral("Importiere von ILDA Datei..."));
    // The longer text grows to the left, shows whole and still ends next to the field.
    QVERIFY(child->Label1->width() > englishWidth);
    QVERIFY(child->Label1->x() >= 0);
    QCOMPARE(child->Label1->geometry().right() + 1 + 6, child->SpinEdit->x());
    if (child->Label1->width() <= 78)
        QCOMPARE(child->Label1->geometry().right() + 1, 82);

    // A window opened now starts in German; other values mean English.
    TMDIChild* second = NewWindow();
    QCOMPARE(second->Label1->text(), QStringLiteral("Gehe zu Frame:"));
    MainForm->Language = 2;
    second->ApplyLanguage();
    QCOMPARE(second->DeleteAction->text(), QStringLiteral("&Delete frame(s)"));
}

// --- mouse and drag ---------------------------------------------------------

void TestCatalogWindow::pressRules_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("fillsDragBuffer");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selEnd");
    // Slots 1 to 3 are selected; the press is on slot 5.
    QTest::newRow("plain left") << int(Qt::LeftButton) << 0 << true << 5 << 5;
    QTest::newRow("shift left") << int(Qt::LeftButton) << int(Qt::ShiftModifier) << false << 1 << 5;
    QTest::newRow("ctrl left") << int(Qt::LeftButton) << int(Qt::ControlModifier) << false << -1 << -1;
    QTest::newRow("alt left") << int(Qt::LeftButton) << int(Qt::AltModifier) << false << -1 << -1;
    QTest::newRow("right") << int(Qt::RightButton) << 0 << false << 1 << 3;
    QTest::newRow("middle") << int(Qt::MiddleButton) << 0 << false << 1 << 3;
}

void TestCatalogWindow::pressRules()
{
    QFETCH(int, button);
    QFETCH(int, modifiers);
    QFETCH(bool, fillsDragBuffer);
    QFETCH(int, selStart);
    QFETCH(int, selEnd);
    TMDIChild* child = NewWindow();
    child->Cat.Frames.SetFrame(5, LineFrame(9));
    child->SelectSlots(1, 3);
    QTest::mouseClick(child->Grid->viewport(), Qt::LeftButton, {},
                      child->Grid->visualRect(child->Grid->model()->index(0, 1)).center());
    QTest::mouseClick(child->Grid->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      child->Grid->visualRect(child->Grid->model()->index(0, 3)).center());
    QCOMPARE(child->SelStart(), 1);
    QCOMPARE(child->SelEnd(), 3);

    auto sentinel = std::make_unique<TZLT_FrameList>();
    const TZLT_FrameList* marker = sentinel.get();
    MainForm->DragFrames = std::move(sentinel);
    MainForm->ClipboardFrames.reset();

    const QPoint pos = child->Grid->visualRect(child->Grid->model()->index(0, 5)).center();
    QTest::mouseClick(child->Grid->viewport(), Qt::MouseButton(button), Qt::KeyboardModifiers(modifiers),
                      pos);
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();

    QCOMPARE(MainForm->DragFrames.get() != marker, fillsDragBuffer);
    if (fillsDragBuffer) {
        QCOMPARE(MainForm->DragFrames->Count(), 1);
        QCOMPARE(MainForm->DragFrames->GetFrame(0), child->Cat.Frames.GetFrame(5));
    }
    QVERIFY(!MainForm->ClipboardFrames); // the frame clipboard is another thing
    if (selStart >= 0) {
        QCOMPARE(child->SelStart(), selStart);
        QCOMPARE(child->SelEnd(), selEnd);
    }
}

void TestCatalogWindow::pressOnHeaderKeepsSelection()
{
    TMDIChild* child = NewWindow();
    child->Cat.Frames.SetFrame(2, LineFrame(1));
    child->SelectSlots(2, 2);
    QHeaderView* header = child->Grid->horizontalHeader();
    const int x = child->Grid->columnViewportPosition(6) + 5;
    QList<QPoint> presses;
    TFrameGrid* grid = GridOf(child);
    const auto original = grid->PlainLeftPress;
    grid->PlainLeftPress = [&](Qt::MouseButton b, Qt::KeyboardModifiers m, bool d, const QPoint& p) {
        presses << p;
        original(b, m, d, p);
    };
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, 10));
    QCOMPARE(presses.size(), 1);
    QCOMPARE(child->SlotAt(presses[0]), 6); // a point of the label row
    QCOMPARE(child->SelStart(), 2);
    QCOMPARE(child->SelEnd(), 2);
    QVERIFY(MainForm->DragFrames);
    QCOMPARE(MainForm->DragFrames->GetFrame(0), child->Cat.Frames.GetFrame(2));
    QCOMPARE(header->sectionsMoved(), false);
}

void TestCatalogWindow::pressBesideCellsKeepsSelection()
{
    TMDIChild* child = NewWindow();
    child->SelectSlots(4, 6);
    child->SetLeftmostSlot(32766);
    QCoreApplication::processEvents();
    QTest::mouseClick(child->Grid->viewport(), Qt::LeftButton, {}, QPoint(child->CellSize() + 30, 10));
    QCOMPARE(child->SelStart(), 4);
    QCOMPARE(child->SelEnd(), 6);
    QVERIFY(MainForm->DragFrames);
    QCOMPARE(MainForm->DragFrames->Count(), 3);
}

void TestCatalogWindow::doubleClickCallsOnce()
{
    TMDIChild* child = NewWindow();
    TFrameGrid* grid = GridOf(child);
    int presses = 0;
    const auto original = grid->PlainLeftPress;
    grid->PlainLeftPress = [&](Qt::MouseButton b, Qt::KeyboardModifiers m, bool d, const QPoint& p) {
        ++presses;
        original(b, m, d, p);
    };
    const QPoint inGrid = grid->visualRect(grid->model()->index(0, 2)).center();
    QWindow* window = MainForm->windowHandle();
    const QPoint inWindow = window->mapFromGlobal(grid->viewport()->mapToGlobal(inGrid));
    // The platform delivers press, release, press, double click, release.
    QTest::mouseDClick(window, Qt::LeftButton, {}, inWindow);
    QCOMPARE(presses, 1);
    QCOMPARE(child->SelStart(), 2);
    // Two separate clicks are two presses.
    QTest::mouseClick(window, Qt::LeftButton, {}, inWindow);
    QTest::mouseClick(window, Qt::LeftButton, {}, inWindow);
    QCOMPARE(presses, 3);
}

void TestCatalogWindow::dragStartsAfterEightPixels_data()
{
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QPoint>("move");
    QTest::addColumn<bool>("drags");
    QTest::newRow("7 right") << 0 << QPoint(7, 0) << false;
    QTest::newRow("8 right") << 0 << QPoint(8, 0) << true;
    QTest::newRow("7 diagonal") << 0 << QPoint(-7, 7) << false;
    QTest::newRow("8 up") << 0 << QPoint(0, -8) << true;
    QTest::newRow("shift 30") << int(Qt::ShiftModifier) << QPoint(30, 0) << false;
}

void TestCatalogWindow::dragStartsAfterEightPixels()
{
    QFETCH(int, modifiers);
    QFETCH(QPoint, move);
    QFETCH(bool, drags);
    TMDIChild* child = NewWindow();
    int started = 0;
    TFrameGrid::StartDragHook = [&](TFrameGrid& grid) {
        QCOMPARE(&grid, GridOf(child));
        ++started;
    };
    QWidget* viewport = child->Grid->viewport();
    const QPoint start = child->Grid->visualRect(child->Grid->model()->index(0, 3)).center();
    QTest::mousePress(viewport, Qt::LeftButton, Qt::KeyboardModifiers(modifiers), start);
    QTest::mouseMove(viewport, start + move / 2);
    QCOMPARE(started, 0);
    QTest::mouseMove(viewport, start + move);
    QCOMPARE(started, drags ? 1 : 0);
    if (drags) {
        QTest::mouseMove(viewport, start + move * 2);
        QCOMPARE(started, 1); // one drag per press
    }
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::KeyboardModifiers(modifiers), start + move);
    // Moving without the button starts nothing.
    QTest::mouseMove(viewport, start);
    QTest::mouseMove(viewport, start + QPoint(40, 0));
    QCOMPARE(started, drags ? 1 : 0);
}

void TestCatalogWindow::headerDragMovesNoColumn()
{
    TMDIChild* child = NewWindow();
    int started = 0;
    TFrameGrid::StartDragHook = [&](TFrameGrid&) { ++started; };
    QHeaderView* header = child->Grid->horizontalHeader();
    QVERIFY(!header->sectionsMovable());
    const QPoint start(child->Grid->columnViewportPosition(1) + 5, 10);
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, start);
    QTest::mouseMove(header->viewport(), start + QPoint(2 * child->CellSize(), 0));
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, start + QPoint(2 * child->CellSize(), 0));
    QCOMPARE(started, 1); // the frame drag, not a column move
    QVERIFY(!header->sectionsMoved());
    QCOMPARE(header->logicalIndexAt(start), 1);
    QCOMPARE(header->visualIndex(1), 1);
}

void TestCatalogWindow::keyboardSelectsRanges()
{
    TMDIChild* child = NewWindow();
    child->Grid->setFocus();
    QTest::keyClick(child->Grid, Qt::Key_Right);
    QCOMPARE(child->SelStart(), 1);
    QCOMPARE(child->SelEnd(), 1);
    QTest::keyClick(child->Grid, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(child->Grid, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(child->SelStart(), 1);
    QCOMPARE(child->SelEnd(), 3);
    // A click with Shift extends the range as well.
    const QPoint cell6 = child->Grid->visualRect(child->Grid->model()->index(0, 6)).center();
    QTest::mouseClick(child->Grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, cell6);
    QCOMPARE(child->SelStart(), 1);
    QCOMPARE(child->SelEnd(), 6);
    QTest::keyClick(child->Grid, Qt::Key_End);
    QCOMPARE(child->SelStart(), 32766);
    // The last cell comes into view whole, with the cells before it.
    const int last = child->Grid->columnViewportPosition(32766);
    QVERIFY(last > 0);
    QVERIFY(last + child->CellSize() <= child->Grid->viewport()->width());
    QCOMPARE(child->LeftmostSlot(), child->Grid->columnAt(0));
}

void TestCatalogWindow::wheelScrollsSlots()
{
    TMDIChild* child = NewWindow();
    QWidget* viewport = child->Grid->viewport();
    const QPointF pos(20, 20);
    QWheelEvent down(pos, viewport->mapToGlobal(pos), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                     Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &down);
    const int forward = child->LeftmostSlot();
    QVERIFY(forward > 0);
    QCOMPARE(child->Grid->columnAt(0), forward);
    QWheelEvent up(pos, viewport->mapToGlobal(pos), QPoint(), QPoint(0, 240), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &up);
    QCOMPARE(child->LeftmostSlot(), 0); // never before slot 0
}

void TestCatalogWindow::slotAt_data()
{
    QTest::addColumn<int>("column");    // cell to aim at, -1 for the point as given
    QTest::addColumn<QPoint>("offset"); // from the cell's centre, or the point
    QTest::addColumn<int>("slot");
    QTest::newRow("cell centre") << 3 << QPoint(0, 0) << 3;
    QTest::newRow("label row") << 4 << QPoint(0, -1000) << 4;
    QTest::newRow("above the labels") << 4 << QPoint(0, -2000) << -1;
    QTest::newRow("left of the view") << -1 << QPoint(-1, 10) << -1;
    QTest::newRow("below the cells") << -1 << QPoint(10, 5000) << -1;
}

void TestCatalogWindow::slotAt()
{
    QFETCH(int, column);
    QFETCH(QPoint, offset);
    QFETCH(int, slot);
    TMDIChild* child = NewWindow();
    QPoint pos = offset;
    if (column >= 0) {
        const QRect cell = child->Grid->visualRect(child->Grid->model()->index(0, column));
        pos = cell.center();
        if (offset.y() == -1000)
            pos.setY(-10); // inside the 20-pixel label row above the view
        else if (offset.y() == -2000)
            pos.setY(-21);
    }
    QCOMPARE(child->SlotAt(pos), slot);

    // Beyond the last column.
    child->SetLeftmostSlot(32766);
    QCOMPARE(child->SlotAt(QPoint(child->CellSize() / 2, 5)), 32766);
    QCOMPARE(child->SlotAt(QPoint(child->CellSize() + 20, 5)), -1);
}

void TestCatalogWindow::dragSources()
{
    TMDIChild* first = NewWindow();
    TMDIChild* second = NewWindow();
    QVERIFY(first->GridDragOver(first->Grid));
    QVERIFY(first->GridDragOver(second->Grid));
    QVERIFY(first->GridDragOver(second->Grid->viewport()));
    QVERIFY(!first->GridDragOver(second->SpinEdit));
    QVERIFY(!first->GridDragOver(MainForm));
    QVERIFY(!first->GridDragOver(nullptr));

    // Data dragged in from outside the program is refused, on cells and labels.
    QMimeData mime;
    mime.setData(TFrameGrid::MimeType, QByteArray());
    for (QWidget* target : {first->Grid->viewport(), first->Grid->horizontalHeader()->viewport()}) {
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QVERIFY(!enter.isAccepted());
    }
}

// --- closing ----------------------------------------------------------------

void TestCatalogWindow::closeQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("saved");
    QTest::newRow("yes") << int(QMessageBox::Yes) << true << true;
    QTest::newRow("no") << int(QMessageBox::No) << true << false;
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << false << false;
}

void TestCatalogWindow::closeQuestion()
{
    QFETCH(int, answer);
    QFETCH(bool, closes);
    QFETCH(bool, saved);
    TMDIChild* child = NewWindow();
    const QString caption = child->windowTitle();
    const QString target = FDir.path() + QStringLiteral("/saved.cat");
    QFile::remove(target);
    QStringList asked;
    Dialogs::AskHook = [&](const QString& title, const QString& text) {
        asked << title << text;
        return QMessageBox::StandardButton(answer);
    };
    TFileDialog::TestHook = [&](TFileDialog& dialog) {
        dialog.FileName = target;
        return true;
    };
    QPointer<TMDIChild> watch(child);
    const int before = MainForm->MDIChildCount();
    child->close(); // the window's close box
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(asked, QStringList({QStringLiteral("Confirm"),
                                 QStringLiteral("File ") + caption + QStringLiteral(" not saved, save ?")}));
    QCOMPARE(watch.isNull(), closes);
    QCOMPARE(MainForm->MDIChildCount(), closes ? before - 1 : before);
    QCOMPARE(QFile::exists(target), saved);
    if (!closes)
        QVERIFY(child->Modified);
    QVERIFY(Errors().isEmpty());
}

void TestCatalogWindow::closeQuestionGerman()
{
    MainForm->Language = 1;
    TMDIChild* child = NewWindow();
    QStringList asked;
    Dialogs::AskHook = [&](const QString& title, const QString& text) {
        asked << title << text;
        return QMessageBox::Cancel;
    };
    child->close();
    QCOMPARE(asked, QStringList({QStringLiteral("Bestätigen"),
                                 QStringLiteral("Datei ") + child->windowTitle() +
                                     QStringLiteral(" nicht gespeichert, speichern ?")}));
}

void TestCatalogWindow::closeYesWithFailingSave()
{
    TMDIChild* child = NewWindow();
    child->Cat.Frames.SetFrame(0, LineFrame(1));
    Dialogs::AskHook = [](const QString&, const QString&) { return QMessageBox::Yes; };
    TFileDialog::TestHook = [&](TFileDialog& dialog) {
        dialog.FileName = FDir.path() + QStringLiteral("/no/such/dir/x.cat");
        return true;
    };
    QPointer<TMDIChild> watch(child);
    child->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(watch);
    QVERIFY(child->Modified);
    QVERIFY(child->Cat.Frames.GetFrame(0).Used());
    QCOMPARE(Errors().size(), 1);
    QVERIFY(!child->FormCloseQuery());
}

void TestCatalogWindow::closeYesWithSaveAsCancelled()
{
    TMDIChild* child = NewWindow();
    Dialogs::AskHook = [](const QString&, const QString&) { return QMessageBox::Yes; };
    TFileDialog::TestHook = [](TFileDialog&) { return false; };
    QPointer<TMDIChild> watch(child);
    child->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(watch);
    QVERIFY(child->Modified);
    QVERIFY(Errors().isEmpty());
}

void TestCatalogWindow::closeUnmodifiedAsksNothing()
{
    TMDIChild* child = NewWindow();
    child->Modified = false;
    int asked = 0;
    Dialogs::AskHook = [&](const QString&, const QString&) {
        ++asked;
        return QMessageBox::Cancel;
    };
    QPointer<TMDIChild> watch(child);
    MainForm->FileClose1->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(asked, 0);
    QVERIFY(watch.isNull());
    QCOMPARE(MainForm->MDIChildCount(), 0);
}

void TestCatalogWindow::agreedShutDownDoesNotAskTwice()
{
    TMDIChild* child = NewWindow();
    int asked = 0;
    QMessageBox::StandardButton answer = QMessageBox::No;
    Dialogs::AskHook = [&](const QString&, const QString&) {
        ++asked;
        return answer;
    };
    // Asked once by a shut-down that then closes the window.
    QVERIFY(child->FormCloseQuery());
    QPointer<TMDIChild> watch(child);
    QVERIFY(child->close());
    QCOMPARE(asked, 1);

    // After an agreement that was not followed by a close, the next close asks.
    TMDIChild* other = NewWindow();
    QVERIFY(other->FormCloseQuery());
    QCOMPARE(asked, 2);
    QCoreApplication::processEvents();
    answer = QMessageBox::Cancel;
    QVERIFY(!other->close());
    QCOMPARE(asked, 3);
}

QTEST_MAIN(TestCatalogWindow)
#include "tst_catalogwindow.moc"
