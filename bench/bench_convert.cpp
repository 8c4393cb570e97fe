// The batch converter on a 256 MiB catalog (32767 slots of ~1000 points):
// trevasc-convert with one operation, run as a process, against the
// program's own load plus save of the same catalog in this process, in the
// same run. The page cache of the input is dropped before each, so both
// read from the disk; the processor time of both is given as well. Prints
// one "name value" line per figure.

#include "BenchSupport.h"
#include "ZLT_Catalog.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using Bench::DropFromCache;
using Bench::Fail;
using Bench::Milliseconds;
using Bench::Print;

// Processor time (user and system) of this process or of its ended children, in ms.
double CpuMs(int who)
{
    rusage usage{};
    ::getrusage(who, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

void Prepare(const QString& input, const QString& output)
{
    QFile::remove(output);
    ::sync();
    malloc_trim(0);
    DropFromCache(input);
}

double Convert(const QStringList& arguments)
{
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    const double ms = Milliseconds([&] {
        program.start(QStringLiteral(TREVASC_CONVERT_PROGRAM), arguments);
        if (!program.waitForFinished(600000))
            Fail("trevasc-convert did not end");
    });
    if (program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0)
        Fail("trevasc-convert failed");
    return ms;
}

} // namespace

int main()
{
    constexpr int Rounds = 5;
    QTemporaryDir dir;
    if (!dir.isValid())
        Fail("no temporary folder");
    const QString input = dir.filePath(QStringLiteral("big.cat"));
    const QString output = dir.filePath(QStringLiteral("out.cat"));
    {
        QRandomGenerator random(2026);
        TZLT_Cat cat;
        for (int slot = 0; slot < TZLT_Cat::SlotCount; ++slot) {
            TZLT_Frame& frame = cat.Frames.GetFrame(slot);
            const int count = 960 + int(random.bounded(129));
            frame.AllPoints().reserve(size_t(count));
            for (int i = 0; i < count; ++i)
                frame.Add(TZLT_Point(int16_t(random.bounded(65536) - 32768),
                                     int16_t(random.bounded(65536) - 32768), int16_t(i),
                                     uint8_t(random.bounded(256)), uint8_t(i)));
        }
        cat.SaveToFile(input);
    }
    Print("catalog_mib", double(QFileInfo(input).size()) / (1 << 20));
    Print("page_cache_dropped", DropFromCache(input) ? 1 : 0);

    // The operations timed, each against the load plus save beside it.
    const std::vector<std::pair<const char*, QStringList>> operations{
        {"rotate_30", {QStringLiteral("--rotate"), QStringLiteral("30")}},
        {"scale_80", {QStringLiteral("--scale"), QStringLiteral("80")}},
        {"mirror_x", {QStringLiteral("--mirror-x")}},
    };
    for (const auto& [name, options] : operations) {
        double best = 1e300, baseline = 1e300, bestCpu = 1e300, baselineCpu = 1e300;
        std::vector<double> ratios;
        for (int round = 0; round < Rounds; ++round) {
            Prepare(input, output);
            const double selfBefore = CpuMs(RUSAGE_SELF);
            const double plain = Milliseconds([&] {
                TZLT_Cat cat;
                cat.LoadFromFile(input);
                cat.SaveToFile(output);
            });
            baselineCpu = std::min(baselineCpu, CpuMs(RUSAGE_SELF) - selfBefore);
            Prepare(input, output);
            const double childrenBefore = CpuMs(RUSAGE_CHILDREN);
            const double converted = Convert(QStringList{QStringLiteral("-q")} + options + QStringList{input, output});
            bestCpu = std::min(bestCpu, CpuMs(RUSAGE_CHILDREN) - childrenBefore);
            baseline = std::min(baseline, plain);
            best = std::min(best, converted);
            ratios.push_back(converted / plain);
        }
        const std::string prefix = std::string("convert_") + name;
        Print((prefix + "_ms").c_str(), best);
        Print("load_save_ms", baseline);
        Print((prefix + "_ratio").c_str(), best / baseline);
        Print((prefix + "_pair_ratio").c_str(), Bench::Median(ratios));
        // Processor time, which the other programs on a shared machine disturb less.
        Print((prefix + "_cpu_ms").c_str(), bestCpu);
        Print("load_save_cpu_ms", baselineCpu);
        Print((prefix + "_cpu_ratio").c_str(), bestCpu / baselineCpu);
    }
    return 0;
}
