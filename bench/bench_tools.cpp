// Speed of the Frames menu's tools: a Transform (rotate 30 degrees, scale
// 80 %) of a full catalog (32767 frames of 1000 points) through the
// window, history and repaint included, against a plain copy of the same
// points, and its Undo; then the Transform dialog's live preview of a
// 65,535-point frame, per change of a field, against drawing that frame
// into the preview's picture alone.
// Prints one "name value" line per figure (times in milliseconds).

#include "BenchSupport.h"
#include "BenchWindows.h"
#include "CHILDWIN.h"
#include "FrameCommands.h"
#include "FramePreview.h"
#include "Guard.h"
#include "MAIN.h"
#include "TransformDialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace {

constexpr int Slots = TZLT_Cat::SlotCount;
constexpr int Points = 1000;
constexpr int Runs = 3;

using Bench::Fail;
using Bench::Print;

constexpr TTextRow Step{u"Transform", u"Transformieren"};

FrameTools::TOperation RotateAndScale()
{
    FrameTools::TOperation op;
    op.Kind = FrameTools::TKind::Transform;
    op.Rotate = 30;
    op.ScaleX = 80;
    op.ScaleY = 80;
    return op;
}

} // namespace

int main(int argc, char** argv)
{
    Bench::UseOffscreenByDefault();
    TApplication app(argc, argv);
    Bench::ShowMainWindow(1280, 400);

    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    if (!child)
        Fail("no catalog window");
    for (int i = 0; i < Slots; ++i)
        child->Cat.Frames.SetFrame(i, Bench::MakeFrame(1 + i % 1000, Points));
    child->CatalogChanged();
    child->SelectSlots(0, Slots - 1);
    QCoreApplication::processEvents();

    // Baseline: a plain copy of the same points into new frames.
    double copy = 1e300;
    for (int run = 0; run < Runs; ++run) {
        std::vector<std::unique_ptr<TZLT_Frame>> copies;
        copies.reserve(Slots);
        copy = std::min(copy, Bench::Milliseconds([&] {
                            for (int i = 0; i < Slots; ++i)
                                copies.push_back(child->Cat.Frames.GetFrame(i).Clone());
                        }));
    }
    Print("baseline_copy_catalog_ms", copy);
    // The same copy into fresh memory, as the window needs it: the frames
    // a command replaces stay for Undo, so its new frames cannot reuse them.
    std::vector<std::vector<std::unique_ptr<TZLT_Frame>>> kept(Runs);
    double freshCopy = 1e300;
    for (int run = 0; run < Runs; ++run) {
        kept[size_t(run)].reserve(Slots);
        freshCopy = std::min(freshCopy, Bench::Milliseconds([&] {
                                 for (int i = 0; i < Slots; ++i)
                                     kept[size_t(run)].push_back(child->Cat.Frames.GetFrame(i).Clone());
                             }));
    }
    kept.clear();
    Print("baseline_copy_catalog_fresh_memory_ms", freshCopy);

    // The command as OK of the dialog runs it, then its repaint; and Undo.
    double transform = 1e300, undo = 1e300;
    const TZLT_Frame* before = &child->Cat.Frames.GetFrame(Slots - 1);
    for (int run = 0; run < Runs; ++run) {
        transform = std::min(transform, Bench::Milliseconds([&] {
                                 MainForm->Frames->ApplyToSelection(*child, {RotateAndScale()}, Step);
                                 QCoreApplication::processEvents();
                             }));
        if (&child->Cat.Frames.GetFrame(Slots - 1) == before || child->History.UndoCount() != 1)
            Fail("the transform changed nothing");
        undo = std::min(undo, Bench::Milliseconds([&] {
                            MainForm->EditUndo1->trigger();
                            QCoreApplication::processEvents();
                        }));
        if (&child->Cat.Frames.GetFrame(Slots - 1) != before)
            Fail("undo did not bring the frames back");
    }
    Print("transform_catalog_ms", transform);
    Print("transform_catalog_per_copy", transform / copy);
    Print("transform_catalog_per_fresh_copy", transform / freshCopy);
    Print("undo_transform_catalog_ms", undo);

    // The live preview: one 65,535-point frame in an 800 x 800 preview.
    child->Modified = false;
    child->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    MainForm->resize(1400, 900);
    MainForm->FileNew1->trigger();
    child = MainForm->ActiveMDIChild();
    child->Cat.Frames.SetFrame(0, Bench::MakeFrame(7, TZLT_Frame::MaxPoints));
    child->CatalogChanged();
    child->SelectSlots(0, 0);
    MainForm->Preview->show();
    MainForm->Preview->setFloating(true);
    MainForm->Preview->resize(800, 800);
    QCoreApplication::processEvents();

    QImage image;
    const QSize size = MainForm->Preview->Picture->size();
    std::vector<double> draws;
    for (int run = 0; run < 20; ++run)
        draws.push_back(Bench::Milliseconds([&] {
            TFramePreview::Render(image, &child->Cat.Frames.GetFrame(0), child->Pal, size, 1.0, false, QString(),
                                  QFont());
        }));
    Print("baseline_preview_draw_ms", Bench::Median(draws));

    std::vector<double> changes;
    int drawn = 0;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TTransformDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            Fail("the transform dialog did not open");
        const int first = MainForm->Preview->DrawCount();
        for (int i = 1; i <= 50; ++i)
            changes.push_back(Bench::Milliseconds([&] {
                dialog->First[TTransformDialog::Rotate]->setValue(i * 7.5);
                QCoreApplication::processEvents();
            }));
        drawn = MainForm->Preview->DrawCount() - first;
        dialog->reject();
    });
    MainForm->Frames->Transform1->trigger();
    if (drawn < 50)
        Fail("the preview did not follow every change");
    Print("live_preview_change_ms", Bench::Median(changes));
    Print("live_preview_change_worst_ms", *std::max_element(changes.begin(), changes.end()));
    Print("live_preview_per_draw", Bench::Median(changes) / Bench::Median(draws));
    return 0;
}
