// Speed of the frame preview: drawing one 65535-point frame into a
// 1024 x 1024 picture from a cold start, beside QPainter::drawLine of the
// same frame; and playing 5000-point frames at 60 per second in an
// 800 x 800 picture for 10 s on the real clock, beside the same playback of
// frames of two points. Prints one "name value" line per figure (times in
// milliseconds). Runs without a display: QT_QPA_PLATFORM=offscreen.

#include "BenchDrawing.h"
#include "BenchSupport.h"
#include "BenchWindows.h"
#include "CHILDWIN.h"
#include "FramePreview.h"
#include "Guard.h"
#include "MAIN.h"
#include "Overwrite.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPainter>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
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

void DrawingFigures()
{
    constexpr int Side = 1024;
    QRandomGenerator random(5);
    const std::unique_ptr<TZLT_Frame> frame = PathFrame(random, TZLT_Frame::MaxPoints, Side, 3);
    const TZLT_Pal palette;
    const QFont font = QApplication::font();
    const auto render = [&](bool blanked) {
        EvictCaches();
        QElapsedTimer timer;
        timer.start();
        QImage image; // a new picture, as for a pane's first drawing
        TFramePreview::Render(image, frame.get(), palette, QSize(Side, Side), 1.0, blanked, QString(), font);
        const double ms = Ms(timer);
        if (image.pixel(Side / 2, Side / 2) == 0x12345678u) // keeps the image alive
            std::printf("?\n");
        return ms;
    };

    const double first = render(false);
    std::vector<double> cold, blanked, painter;
    for (int run = 0; run < 21; ++run) {
        cold.push_back(render(false));
        blanked.push_back(render(true));
    }
    // Another frame into the picture a pane already has, as playback draws.
    std::vector<double> again;
    QImage kept;
    TFramePreview::Render(kept, frame.get(), palette, QSize(Side, Side), 1.0, false, QString(), font);
    for (int run = 0; run < 21; ++run) {
        EvictCaches();
        QElapsedTimer timer;
        timer.start();
        TFramePreview::Render(kept, frame.get(), palette, QSize(Side, Side), 1.0, false, QString(), font);
        again.push_back(Ms(timer));
    }
    for (int run = 0; run < 5; ++run) {
        EvictCaches();
        QElapsedTimer timer;
        timer.start();
        QImage image(Side, Side, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter p(&image);
        TPainterCanvas canvas(p);
        frame->Draw(canvas, TZLT_Rect{0, 0, Side - 1, Side - 1}, palette);
        p.end();
        painter.push_back(Ms(timer));
    }

    Print("preview_draw_65535_first_ms", first);
    Print("preview_draw_65535_cold_ms", Median(cold));
    Print("preview_draw_65535_cold_worst_ms", *std::max_element(cold.begin(), cold.end()));
    Print("preview_draw_65535_blanked_moves_ms", Median(blanked));
    Print("preview_redraw_65535_same_picture_ms", Median(again));
    Print("preview_qpainter_drawline_ms", Median(painter));
    Print("preview_qpainter_over_canvas", Median(painter) / Median(cold));
}

// Notes when the picture shows a frame it did not show before.
class TShownWatch : public QObject
{
public:
    TShownWatch(TFramePreview* pane, QElapsedTimer& clock) : FPane(pane), FClock(clock) {}
    std::vector<double> Times;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && FPane->DrawCount() != FDrawn) {
            FDrawn = FPane->DrawCount();
            Times.push_back(FClock.nsecsElapsed() / 1e6);
        }
        return false;
    }

private:
    TFramePreview* FPane;
    QElapsedTimer& FClock;
    int FDrawn = -1;
};

// Plays `frames` frames of `points` points each at 60 per second for
// `seconds`, in a picture of 800 x 800, and prints the figures under prefix.
void PlaybackFigures(const char* prefix, int points, int seconds)
{
    constexpr int Side = 800;
    constexpr int Frames = 240;
    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    QRandomGenerator random(9);
    for (int slot = 0; slot < Frames; ++slot)
        child->Cat.Frames.SetFrame(slot, PathFrame(random, points, Side, 4));
    child->CatalogChanged();
    child->SelectSlots(0, 0);

    TFramePreview* pane = MainForm->Preview;
    pane->show();
    pane->setFloating(true);
    for (int i = 0; i < 4 && pane->Picture->size() != QSize(Side, Side); ++i) {
        pane->resize(pane->size() + QSize(Side, Side) - pane->Picture->size());
        for (int k = 0; k < 20; ++k)
            QCoreApplication::processEvents();
    }
    if (pane->Picture->size() != QSize(Side, Side))
        std::fprintf(stderr, "warning: picture is %dx%d\n", pane->Picture->width(), pane->Picture->height());
    pane->RateEdit->setValue(60);
    pane->LoopCheck->setChecked(true);

    QElapsedTimer clock;
    TShownWatch watch(pane, clock);
    pane->Picture->installEventFilter(&watch);
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    clock.start();
    pane->PlayPause();
    loop.exec();
    pane->PlayPause();
    const double played = clock.nsecsElapsed() / 1e9;
    pane->Picture->removeEventFilter(&watch);

    double worst = 0;
    for (size_t i = 1; i < watch.Times.size(); ++i)
        worst = std::max(worst, watch.Times[i] - watch.Times[i - 1]);
    const auto name = [prefix](const char* figure) { return QByteArray(prefix) + figure; };
    Print(name("_due"), std::floor(played * 60.0) + 1); // the first at once
    Print(name("_shown"), pane->Playback.ShownCount());
    Print(name("_skipped"), pane->Playback.SkippedCount());
    Print(name("_painted"), double(watch.Times.size()));
    Print(name("_worst_interval_ms"), worst);

    child->Modified = false;
    delete child;
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    Bench::ShowMainWindow(1400, 1000);

    DrawingFigures();
    PlaybackFigures("playback_2_points", 2, 10);
    PlaybackFigures("playback_5000_points", 5000, 10);

    delete MainForm;
    MainForm = nullptr;
    return 0;
}
