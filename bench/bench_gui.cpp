// Speed of the catalog windows: opening one (New, and a 256 MiB catalog),
// repainting a 1920-pixel-wide window full of 65535-point frames, drawing
// one such thumbnail, and the first drawing of 19 of them with the caches
// flushed, each beside a baseline measured in the same run. Prints one "name value" line per figure (times in milliseconds).
// Runs without a display: QT_QPA_PLATFORM=offscreen.

#include "BenchDrawing.h"
#include "BenchSupport.h"
#include "BenchWindows.h"
#include "CHILDWIN.h"
#include "Guard.h"
#include "MAIN.h"
#include "Overwrite.h"
#include "ThumbCanvas.h"
#include "Thumbnails.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPixmap>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bench::EvictCaches;
using Bench::Median;
using Bench::PathFrame;
using Bench::Print;
using Bench::TPainterCanvas;

double Ms(const QElapsedTimer& timer)
{
    return timer.nsecsElapsed() / 1e6;
}

// Notes the first paint of a widget.
class TPaintWatch : public QObject
{
public:
    bool Painted = false;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            Painted = true;
        return false;
    }
};

class TPaintCount : public QObject
{
public:
    int Count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        Count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

void ProcessUntilPainted(QWidget* widget)
{
    TPaintWatch watch;
    widget->installEventFilter(&watch);
    for (int i = 0; i < 1000 && !watch.Painted; ++i)
        QCoreApplication::processEvents();
    widget->removeEventFilter(&watch);
    if (!watch.Painted)
        std::fprintf(stderr, "warning: no paint seen\n");
}

void CloseWithoutQuestion(TMDIChild* child)
{
    child->Modified = false;
    delete child;
    QCoreApplication::processEvents();
}

// Time from the command until the window's grid has been painted.
double OpenUntilShown(const std::function<TMDIChild*()>& open, TMDIChild** opened = nullptr)
{
    QElapsedTimer timer;
    timer.start();
    TMDIChild* child = open();
    ProcessUntilPainted(child->Grid->viewport());
    const double ms = Ms(timer);
    if (opened)
        *opened = child;
    else
        CloseWithoutQuestion(child);
    return ms;
}

// The toolkit's own cost of a new, shown child window with nothing in it.
double EmptySubWindowMs()
{
    QElapsedTimer timer;
    timer.start();
    auto* window = new QMdiSubWindow;
    auto* client = new QWidget;
    window->setWidget(client);
    MainForm->MdiArea->addSubWindow(window);
    window->show();
    window->setGeometry(0, 0, MainForm->MdiArea->viewport()->width(), 200);
    ProcessUntilPainted(client);
    const double ms = Ms(timer);
    delete window;
    QCoreApplication::processEvents();
    return ms;
}

void NewWindowFigures()
{
    std::vector<double> empty, none, many;
    const auto fileNew = [] {
        MainForm->FileNew1->trigger();
        return MainForm->ActiveMDIChild();
    };
    OpenUntilShown(fileNew); // warm-up
    for (int run = 0; run < 9; ++run) {
        empty.push_back(EmptySubWindowMs());
        none.push_back(OpenUntilShown(fileNew));
    }
    std::vector<TMDIChild*> open;
    for (int i = 0; i < 20; ++i) {
        TMDIChild* child = nullptr;
        OpenUntilShown(fileNew, &child);
        open.push_back(child);
    }
    for (int run = 0; run < 9; ++run)
        many.push_back(OpenUntilShown(fileNew));
    for (TMDIChild* child : open)
        CloseWithoutQuestion(child);

    Print("new_window_empty_subwindow_ms", Median(empty));
    Print("new_window_ms", Median(none));
    Print("new_window_with_20_open_ms", Median(many));
}

void LargeCatalogFigures(const QString& directory)
{
    const QString fileName = directory + QStringLiteral("/large.cat");
    {
        TZLT_Cat cat;
        QRandomGenerator random(7);
        for (int slot = 0; slot < TZLT_Cat::SlotCount; ++slot) {
            TZLT_Frame& frame = cat.Frames.GetFrame(slot);
            for (int i = 0; i < 1024; ++i)
                frame.Add(TZLT_Point(int16_t(random.bounded(-30000, 30000)),
                                     int16_t(random.bounded(-30000, 30000)), 0, uint8_t(i % 64), 0));
        }
        cat.SaveToFile(fileName);
    }
    std::vector<double> load, open;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        {
            TZLT_Cat cat;
            cat.LoadFromFile(fileName);
            load.push_back(Ms(timer));
        }
        open.push_back(OpenUntilShown([&] { return MainForm->OpenCatalogWindow(fileName); }));
    }
    Print("catalog_file_mib", QFileInfo(fileName).size() / 1048576.0);
    Print("catalog_load_ms", *std::min_element(load.begin(), load.end()));
    Print("catalog_open_window_ms", *std::min_element(open.begin(), open.end()));
    Print("catalog_open_over_load",
          *std::min_element(open.begin(), open.end()) / *std::min_element(load.begin(), load.end()));
}

void DrawingFigures()
{
    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    child->setGeometry(0, 0, 1920, 200);
    ProcessUntilPainted(child->Grid->viewport());
    const int side = child->CellSize();
    const int visible = child->Grid->viewport()->width() / (side + 1) + 1;

    // A full repaint: the whole window drawn by its own paint code.
    TPaintCount paints;
    child->Grid->viewport()->installEventFilter(&paints);
    const auto repaint = [child] {
        QElapsedTimer timer;
        timer.start();
        const QPixmap picture = child->grab();
        return Ms(timer);
    };

    // Baseline: the same window with every slot empty.
    std::vector<double> empty;
    for (int run = 0; run < 30; ++run)
        empty.push_back(repaint());

    QRandomGenerator random(11);
    for (int slot = 0; slot < visible; ++slot)
        child->Cat.Frames.SetFrame(slot, PathFrame(random, TZLT_Frame::MaxPoints, side, 3));
    child->RepaintGrid();
    const double first = repaint();
    std::vector<double> warm;
    for (int run = 0; run < 30; ++run)
        warm.push_back(repaint());
    // Repaints that draw every thumbnail again, as after a palette change.
    std::vector<double> redrawn;
    for (int run = 0; run < 15; ++run) {
        child->RepaintGrid();
        redrawn.push_back(repaint());
    }
    child->Grid->viewport()->removeEventFilter(&paints);
    if (paints.Count != 76)
        std::fprintf(stderr, "warning: %d of 76 repaints reached the grid\n", paints.Count);

    // One thumbnail: the canvas of the grid against QPainter::drawLine.
    const TZLT_Frame& frame = child->Cat.Frames.GetFrame(0);
    const TZLT_Rect rect{0, 0, side, side};
    std::vector<double> fast, painter;
    for (int run = 0; run < 21; ++run) {
        QElapsedTimer timer;
        timer.start();
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        TThumbCanvas canvas(image);
        frame.Draw(canvas, rect, child->Pal);
        fast.push_back(Ms(timer));
    }
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        TPainterCanvas canvas(p);
        frame.Draw(canvas, rect, child->Pal);
        p.end();
        painter.push_back(Ms(timer));
    }
    CloseWithoutQuestion(child);

    Print("repaint_cell_px", side);
    Print("repaint_visible_thumbnails", visible);
    Print("repaint_1920_empty_ms", Median(empty));
    Print("repaint_1920_first_ms", first);
    Print("repaint_1920_thumbnails_dropped_ms", Median(redrawn));
    Print("repaint_1920_thumbnails_dropped_worst_ms", *std::max_element(redrawn.begin(), redrawn.end()));
    Print("repaint_1920_warm_ms", Median(warm));
    Print("thumbnail_qpainter_ms", Median(painter));
    Print("thumbnail_first_draw_ms", Median(fast));
    Print("thumbnail_qpainter_over_canvas", Median(painter) / Median(fast));
}

// The plain pass, a function of its own so that callgrind counts its
// instructions apart from the drawing's (TThumbCanvas::DrawPath).
[[gnu::noinline]] uint64_t ReadEveryPoint(const std::vector<std::unique_ptr<TZLT_Frame>>& frames)
{
    uint64_t sum = 0;
    for (const auto& frame : frames)
        for (const TZLT_Point& p : frame->AllPoints())
            sum += uint64_t(p.X() + p.Y() + p.Status());
    return sum;
}

// The first drawing of 19 distinct 65535-point frames into 103-pixel cells,
// as the window draws them (on all cores) and on one core, against one
// plain pass that reads every point of the same frames; each starts with
// the caches flushed. The ratios are medians of the runs' own ratios. Three
// kinds of frame: random walks of ~3-pixel steps (a tenth blanked), circles
// of a few hundred points, and uniformly random long lines.
void DenseFirstDrawFigures(const char* kind)
{
    constexpr int Side = 103;
    constexpr int Cells = 19;
    QRandomGenerator random(13);
    std::vector<std::unique_ptr<TZLT_Frame>> frames;
    for (int cell = 0; cell < Cells; ++cell)
        frames.push_back(std::strcmp(kind, "walk") == 0      ? PathFrame(random, TZLT_Frame::MaxPoints, Side, 3)
                         : std::strcmp(kind, "circles") == 0 ? Bench::CircleFrame(random, TZLT_Frame::MaxPoints)
                                                             : Bench::LinesFrame(random, TZLT_Frame::MaxPoints));
    const TZLT_Pal palette;

    uint64_t sink = 0;
    // Processor time of this thread: on a machine shared with other work a
    // drawing longer than a time slice waits for the processor, a plain pass
    // of a few milliseconds seldom does.
    double cpuMs = 0;
    const auto threadCpuMs = [] {
        timespec t;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    };
    const auto draw = [&](int threads) {
        std::vector<TThumbnailJob> jobs;
        for (const auto& frame : frames)
            jobs.push_back(TThumbnailJob{frame.get(), QImage()});
        EvictCaches();
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = threadCpuMs();
        DrawThumbnails(jobs, QSize(Side, Side), palette, threads);
        cpuMs = threadCpuMs() - cpuStart;
        const double ms = Ms(timer);
        for (const TThumbnailJob& job : jobs)
            sink += job.Image.constBits()[Side * 4 * (Side / 2) + Side * 2];
        return ms;
    };
    const auto plainPass = [&] {
        EvictCaches();
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = threadCpuMs();
        sink += ReadEveryPoint(frames);
        cpuMs = threadCpuMs() - cpuStart;
        return Ms(timer);
    };
    std::vector<double> all, one, plain, allRatio, oneRatio, oneCpu, plainCpu, cpuRatio;
    for (int run = 0; run < 25; ++run) {
        all.push_back(draw(0));
        one.push_back(draw(1));
        oneCpu.push_back(cpuMs);
        plain.push_back(plainPass());
        plainCpu.push_back(cpuMs);
        allRatio.push_back(all.back() / plain.back());
        oneRatio.push_back(one.back() / plain.back());
        cpuRatio.push_back(oneCpu.back() / plainCpu.back());
    }
    if (sink == 42)
        std::printf("?\n"); // keeps the work
    // The walks keep the names they always had.
    const std::string prefix = std::strcmp(kind, "walk") == 0 ? std::string("dense_19_")
                                                               : std::string("dense_19_") + kind + "_";
    const auto print = [&prefix](const char* figure, double value) { Print((prefix + figure).c_str(), value); };
    print("first_draw_ms", Median(all));
    print("first_draw_worst_ms", *std::max_element(all.begin(), all.end()));
    print("first_draw_one_core_ms", Median(one));
    print("plain_pass_ms", Median(plain));
    print("first_draw_over_plain_pass", Median(allRatio));
    print("first_draw_one_core_over_plain_pass", Median(oneRatio));
    print("first_draw_one_core_processor_ms", Median(oneCpu));
    print("plain_pass_processor_ms", Median(plainCpu));
    print("first_draw_one_core_over_plain_pass_processor", Median(cpuRatio));
}

} // namespace

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    Bench::ShowMainWindow(2000, 900);

    // "bench_gui dense": the dense first drawings alone; "bench_gui dense
    // lines" one kind of them; "bench_gui dense walk sse2" as on a processor
    // without AVX2.
    const bool denseOnly = argc > 1 && std::strcmp(argv[1], "dense") == 0;
    const char* onlyKind = denseOnly && argc > 2 ? argv[2] : nullptr;
    if (denseOnly && argc > 3 && std::strcmp(argv[3], "sse2") == 0)
        TThumbCanvas::AllowAvx2(false);
    QTemporaryDir directory;
    if (!denseOnly) {
        NewWindowFigures();
        DrawingFigures();
    }
    for (const char* kind : {"walk", "circles", "lines"})
        if (!onlyKind || std::strcmp(onlyKind, kind) == 0)
            DenseFirstDrawFigures(kind);
    if (!denseOnly)
        LargeCatalogFigures(directory.path());

    delete MainForm;
    MainForm = nullptr;
    return 0;
}
