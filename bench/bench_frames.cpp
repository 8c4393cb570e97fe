// Speed of the frame operations of a catalog window on whole catalogs:
// Paste with Insert All, Cut, Copy and Delete of every slot, and the bulk
// picture export and import, each beside a baseline measured in the same
// run. Prints one "name value" line per figure (times in milliseconds).

#include "BenchSupport.h"
#include "BenchWindows.h"
#include "CHILDWIN.h"
#include "Guard.h"
#include "MAIN.h"
#include "Overwrite.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMdiArea>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int Slots = TZLT_Cat::SlotCount;
constexpr int Points = 100;
constexpr int Runs = 3;

using Bench::Print;

std::unique_ptr<TZLT_Frame> MakeFrame(int id)
{
    return Bench::MakeFrame(id, Points);
}

double TimeMs(const std::function<void()>& prepare, const std::function<void()>& work)
{
    prepare();
    return Bench::Milliseconds(work);
}

// Milliseconds of processor time this process spent in work, its own and
// the kernel's on its behalf: what the work costs, apart from waiting for a
// disk whose speed changes from one minute to the next.
double CpuMs(const std::function<void()>& work)
{
    const auto used = [] {
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        const auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
        return ms(usage.ru_utime) + ms(usage.ru_stime);
    };
    const double before = used();
    work();
    return used() - before;
}

// The best of a few runs; prepare runs untimed before each.
double BestMs(const std::function<void()>& prepare, const std::function<void()>& work)
{
    return Bench::BestMs(Runs, prepare, work);
}

void FillCatalog(TZLT_FrameList& frames, int id)
{
    for (int i = 0; i < Slots; ++i)
        frames.SetFrame(i, MakeFrame(id + i % 1000));
}

void FlushDisk()
{
    ::sync();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::abort();
}

} // namespace

int main(int argc, char** argv)
{
    Bench::UseOffscreenByDefault();
    TApplication app(argc, argv);
    Bench::ShowMainWindow(1280, 400);
    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    if (child == nullptr)
        return 1;
    TZLT_FrameList& frames = child->Cat.Frames;

    // A list of a whole catalog's frames, as Copy leaves it.
    TZLT_FrameList list;
    for (int i = 0; i < Slots; ++i)
        list.Add(MakeFrame(5000 + i % 1000));

    // Baseline: cloning a whole catalog's frames, the least any transfer does.
    const double clone = BestMs([] {},
                                [&] {
                                    std::vector<std::unique_ptr<TZLT_Frame>> copies;
                                    copies.reserve(Slots);
                                    for (int i = 0; i < Slots; ++i)
                                        copies.push_back(list.GetFrame(i).Clone());
                                });
    Print("baseline_clone_catalog_ms", clone);

    // Paste with the first question answered Insert All, into a full catalog.
    FillCatalog(frames, 1);
    const double paste = BestMs([] {},
                                [&] {
                                    QTimer::singleShot(0, [] { OverwriteBox->InsertAllBtn->click(); });
                                    child->PasteFrames(&list, 0);
                                });
    if (frames.Count() != Slots || !(frames.GetFrame(0) == list.GetFrame(0)))
        return 2;
    Print("paste_insert_all_full_catalog_ms", paste);
    Print("paste_insert_all_per_clone_baseline", paste / clone);

    child->SelectSlots(0, Slots - 1);
    MainForm->MdiArea->setActiveSubWindow(child);
    const double copy = BestMs([] {}, [] { MainForm->EditCopy1Execute(); });
    Print("copy_all_slots_ms", copy);
    const double cut = BestMs([&] { FillCatalog(frames, 1); }, [] { MainForm->EditCut1Execute(); });
    Print("cut_all_slots_ms", cut);
    const double remove = BestMs([&] { FillCatalog(frames, 1); }, [&] { child->DeleteActionExecute(); });
    Print("delete_all_slots_ms", remove);

    // Export of a full catalog against writing the same bytes with a plain
    // loop, and import of the exported folder against reading the files with
    // a plain loop. Runs alternate, each into a fresh folder, with the disk
    // caches flushed before each timed write.
    FillCatalog(frames, 1);
    std::vector<QByteArray> bytes;
    for (int i = 0; i < Slots; ++i)
        bytes.push_back(frames.GetFrame(i).ToPicBytes());
    double plainWrite = 1e300, exportMs = 1e300;
    std::vector<double> cpuRatios; // of each export to the plain loop run beside it
    std::unique_ptr<QTemporaryDir> exported;
    // The two sides take turns going first: writing 32767 files leaves the
    // file system busy for a while, which would otherwise favour one side.
    // This machine's disk changes its speed by several times over a minute,
    // so the processor time of each pair is compared as well.
    for (int run = 0; run < 2 * Runs; ++run) {
        double plainCpu = 0, exportCpu = 0;
        const auto plain = [&] {
            QTemporaryDir plainDir;
            const QString dir = plainDir.path();
            plainWrite = std::min(plainWrite, TimeMs(FlushDisk, [&] {
                                      plainCpu = CpuMs([&] {
                                          for (int i = 0; i < Slots; ++i)
                                              WriteFile(dir + QString::asprintf("/%05d.pic", i), bytes[size_t(i)]);
                                      });
                                  }));
        };
        const auto exportAll = [&] {
            exported = std::make_unique<QTemporaryDir>();
            exportMs = std::min(exportMs, TimeMs(FlushDisk, [&] {
                                    exportCpu = CpuMs([&] { child->ExportPics(exported->path()); });
                                }));
        };
        if (run % 2 == 0) {
            plain();
            exportAll();
        } else {
            exportAll();
            plain();
        }
        cpuRatios.push_back(exportCpu / plainCpu);
    }
    Print("baseline_plain_write_ms", plainWrite);
    Print("export_full_catalog_ms", exportMs);
    Print("export_per_plain_write", exportMs / plainWrite);
    Print("export_per_plain_write_processor_time", Bench::Median(cpuRatios));

    const QString folder = exported->path();
    if (QDir(folder).entryList(QDir::Files).size() != Slots)
        return 3;
    double plainRead = 1e300, importMs = 1e300;
    qint64 read = 0;
    for (int run = 0; run < Runs; ++run) {
        plainRead = std::min(plainRead, TimeMs([] {},
                                               [&] {
                                                   for (int i = 0; i < Slots; ++i) {
                                                       QFile file(folder + QString::asprintf("/%05d.pic", i));
                                                       if (!file.open(QIODevice::ReadOnly))
                                                           std::abort();
                                                       read += file.readAll().size();
                                                   }
                                               }));
        TMDIChild* target = nullptr;
        importMs = std::min(importMs, TimeMs(
                                          [&] {
                                              MainForm->FileNew1->trigger();
                                              target = MainForm->ActiveMDIChild();
                                          },
                                          [&] { target->ImportPics(folder); }));
        if (target->Cat.Frames.GetFrame(Slots - 1).Count() != Points)
            return 4;
        target->Modified = false;
        target->close();
    }
    Print("baseline_plain_read_ms", plainRead);
    Print("import_full_folder_ms", importMs);
    Print("import_per_plain_read", importMs / plainRead);

    for (int i = MainForm->MDIChildCount() - 1; i >= 0; --i)
        MainForm->MDIChildren(i)->Modified = false;
    return read > 0 ? 0 : 5;
}
