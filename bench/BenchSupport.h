#pragma once

// What the benchmark programs share: timing, the "name value" output, the
// plain file baselines and the frames they work on. Header only; each
// program includes what it needs.

#include "ZLT_Catalog.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

namespace Bench {

// Ends the benchmark with a message; the program's name says which one.
[[noreturn]] inline void Fail(const char* what)
{
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, what);
    std::exit(1);
}

// One figure: its name and value on a line of its own.
inline void Print(const char* name, double value)
{
    std::printf("%s %.3f\n", name, value);
    std::fflush(stdout);
}

inline double Milliseconds(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The best of runs timings of work; prepare runs untimed before each.
inline double BestMs(int runs, const std::function<void()>& prepare, const std::function<void()>& work)
{
    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        prepare();
        best = std::min(best, Milliseconds(work));
    }
    return best;
}

// Drops the file's pages from the page cache, which any user may do for
// clean pages, so the next read comes from the disk. False when that is not
// supported here.
inline bool DropFromCache(const QString& fileName)
{
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    ::fdatasync(fd);
    const bool ok = ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    ::close(fd);
    return ok;
}

// The baseline of a load: reads the whole file into fresh memory and copies
// it once into more fresh memory, which it returns (free it with std::free),
// as a loader keeps what it read.
inline char* PlainReadAndCopy(const QString& fileName, size_t& size)
{
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY);
    if (fd < 0)
        Fail("cannot open the file to read");
    size = size_t(::lseek(fd, 0, SEEK_END));
    ::lseek(fd, 0, SEEK_SET);
    char* buffer = static_cast<char*>(std::malloc(size));
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, size - done);
        if (n <= 0)
            Fail("cannot read the file");
        done += size_t(n);
    }
    ::close(fd);
    char* copy = static_cast<char*>(std::malloc(size));
    std::memcpy(copy, buffer, size);
    std::free(buffer);
    return copy;
}

// A reader's timings beside a plain read of the same file into fresh memory,
// the best of some rounds each: from the disk (where the page cache can be
// dropped; else left at infinity) and from the cache. timedRead reads the
// file once, frees what it read and returns the milliseconds of the reading.
struct TReadTimes
{
    double Cold = 1e300;
    double PlainCold = 1e300;
    double Warm = 1e300;
    double PlainWarm = 1e300;
};

inline TReadTimes TimeReads(const QString& fileName, int rounds, bool cold,
                            const std::function<double()>& timedRead)
{
    const qint64 fileBytes = QFile(fileName).size();
    TReadTimes times;
    for (int round = 0; round < rounds; ++round) {
        for (bool dropped : {true, false}) {
            if (dropped && !cold)
                continue;
            if (dropped)
                DropFromCache(fileName);
            const double ms = timedRead();
            double& reader = dropped ? times.Cold : times.Warm;
            reader = std::min(reader, ms);
            malloc_trim(0); // each read starts from fresh memory
            if (dropped)
                DropFromCache(fileName);
            size_t size = 0;
            char* copy = nullptr;
            const double plainMs = Milliseconds([&] { copy = PlainReadAndCopy(fileName, size); });
            double& plain = dropped ? times.PlainCold : times.PlainWarm;
            plain = std::min(plain, plainMs);
            if (size != size_t(fileBytes))
                Fail("short plain read");
            std::free(copy);
            malloc_trim(0);
        }
    }
    return times;
}

// Prints a reader's figures as "<what>_ms", "<what>_ratio" and their warm
// forms beside the plain read's; the headline figures are the cold ones
// where the page cache could be dropped.
inline void PrintReadTimes(const std::string& what, const TReadTimes& times, bool cold)
{
    Print((what + "_ms").c_str(), cold ? times.Cold : times.Warm);
    Print("plain_read_copy_ms", cold ? times.PlainCold : times.PlainWarm);
    Print((what + "_ratio").c_str(), cold ? times.Cold / times.PlainCold : times.Warm / times.PlainWarm);
    Print((what + "_warm_ms").c_str(), times.Warm);
    Print("plain_read_copy_warm_ms", times.PlainWarm);
    Print((what + "_warm_ratio").c_str(), times.Warm / times.PlainWarm);
}

// The baseline of a save: writes the bytes and syncs them to disk.
inline void PlainWriteAndSync(const QString& fileName, const QByteArray& bytes)
{
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        Fail("cannot create the plain file");
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            Fail("cannot write the plain file");
        done += n;
    }
    if (::fsync(fd) != 0)
        Fail("cannot sync the plain file");
    ::close(fd);
}

// A frame of points points that differs for every id.
inline std::unique_ptr<TZLT_Frame> MakeFrame(int id, int points)
{
    auto frame = std::make_unique<TZLT_Frame>();
    for (int i = 0; i < points; ++i)
        frame->Add(
            TZLT_Point(int16_t(id + i), int16_t(-id - 3 * i), int16_t(i), uint8_t(i % 128), uint8_t(i)));
    return frame;
}

} // namespace Bench
