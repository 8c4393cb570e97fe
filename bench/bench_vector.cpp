// Vector import, each figure beside a baseline of the same run: an SVG of
// 5,000 paths with curves and a 10 MB SVG beside a plain XML read of their
// bytes, the peak memory of the large one beside that of holding its bytes,
// and a text frame of 100 characters beside optimising its points alone.

#include "BenchSupport.h"
#include "VectorImport.h"

#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QXmlStreamReader>

namespace {

QByteArray Paths(QRandomGenerator& rng, int paths, int curvesEach)
{
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 1000 1000\">\n";
    const char* colours[] = {"#ff0000", "#00ff00", "#0000ff", "#ffff00", "#00ffff", "#ff00ff", "#ffffff"};
    for (int i = 0; i < paths; ++i) {
        double x = rng.bounded(1000.0), y = rng.bounded(1000.0);
        QByteArray d = "M" + QByteArray::number(x, 'f', 2) + " " + QByteArray::number(y, 'f', 2);
        for (int k = 0; k < curvesEach; ++k) {
            d += " c";
            for (int c = 0; c < 3; ++c)
                d += " " + QByteArray::number(rng.bounded(40.0) - 20, 'f', 2) + "," +
                     QByteArray::number(rng.bounded(40.0) - 20, 'f', 2);
        }
        svg += "<path d=\"" + d + "\" fill=\"none\" stroke=\"" + colours[i % 7] + "\"/>\n";
    }
    return svg + "</svg>\n";
}

QString Write(const QTemporaryDir& dir, const char* name, const QByteArray& bytes)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        Bench::Fail("cannot write a drawing");
    return path;
}

// Reading the file and every XML token of it: what any import costs at least.
double XmlMs(const QString& file, int runs)
{
    return Bench::BestMs(runs, [] {},
                         [&] {
                             QFile f(file);
                             if (!f.open(QIODevice::ReadOnly))
                                 Bench::Fail("cannot read a drawing");
                             QXmlStreamReader xml(f.readAll());
                             int tokens = 0;
                             while (!xml.atEnd())
                                 tokens += xml.readNext() != QXmlStreamReader::Invalid;
                             if (tokens == 0)
                                 Bench::Fail("no XML");
                         });
}

double ImportMs(const QString& file, const Vector::TVectorOptions& options, int runs, Vector::TVectorFrame& last)
{
    return Bench::BestMs(runs, [] {},
                         [&] {
                             last = std::move(Vector::ImportSvgFiles({file}, TZLT_Pal(), options)[0]);
                         });
}

// The process's peak resident memory so far, in MiB.
double PeakMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return -1;
}

void Outcome(const char* name, const Vector::TVectorFrame& f)
{
    Bench::Print((std::string(name) + "_points").c_str(), f.Frame ? f.Frame->Count() : -1);
    Bench::Print((std::string(name) + "_refused").c_str(), f.Frame ? 0 : 1);
    if (!f.Frame)
        std::fprintf(stderr, "%s: %s (%s)\n", name, qPrintable(Vector::ProblemText(f.Problem)), qPrintable(f.Detail));
}
} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.svg*=false");
    QGuiApplication application(argc, argv);
    QTemporaryDir dir;
    QRandomGenerator rng(2026);

    // The 10 MB drawing first, so that the peak memory is its own.
    const QString large = Write(dir, "large.svg", Paths(rng, 4300, 60));
    const double heldMiB = [&] {
        QFile f(large);
        f.open(QIODevice::ReadOnly);
        const QByteArray bytes = f.readAll();
        Bench::Print("large_bytes", double(bytes.size()));
        return PeakMiB();
    }();
    Vector::TVectorFrame frame;
    const Vector::TVectorOptions defaults;
    const double largeMs = ImportMs(large, defaults, 1, frame);
    Bench::Print("large_peak_mib", PeakMiB());
    Bench::Print("large_baseline_peak_mib", heldMiB);
    Bench::Print("large_ms", largeMs);
    Outcome("large", frame);
    Bench::Print("large_xml_ms", XmlMs(large, 3));

    const QString paths = Write(dir, "paths5000.svg", Paths(rng, 5000, 2));
    Bench::Print("paths5000_ms", ImportMs(paths, defaults, 3, frame));
    Outcome("paths5000", frame);
    // A scanner that needs no anchors and waits: the same drawing fits a frame.
    Vector::TVectorOptions quick;
    quick.Scanner.AnchorUs = 0;
    quick.Scanner.WaitUs = 0;
    quick.Scanner.ReversalUs = 0;
    Bench::Print("paths5000_nowait_ms", ImportMs(paths, quick, 3, frame));
    Outcome("paths5000_nowait", frame);
    Vector::TVectorOptions plain;
    plain.Optimise = false;
    Bench::Print("paths5000_unoptimised_ms", ImportMs(paths, plain, 3, frame));
    Outcome("paths5000_unoptimised", frame);
    Bench::Print("paths5000_xml_ms", XmlMs(paths, 5));

    if (Vector::HersheyFontNames().isEmpty())
        Bench::Fail("no Hershey fonts (hershey-fonts-data)");
    Vector::TTextOptions text;
    for (int i = 0; i < 100; ++i)
        text.Text += i % 25 == 24 ? QChar(u'\n') : QChar(u'A' + (i * 7) % 26);
    text.Size = 5;
    Vector::TVectorFrame t;
    const double textMs = Bench::BestMs(10, [] {}, [&] { t = Vector::TextFrame(text, TZLT_Pal(), defaults); });
    if (!t.Frame)
        Bench::Fail("the text gave no frame");
    Bench::Print("text100_ms", textMs);
    Bench::Print("text100_points", t.Frame->Count());
    Vector::TVectorOptions asDrawn;
    asDrawn.Optimise = false;
    const Vector::TVectorFrame drawn = Vector::TextFrame(text, TZLT_Pal(), asDrawn);
    Bench::Print("text100_optimise_only_ms",
                 Bench::BestMs(10, [] {}, [&] { (void)Optimised(drawn.Frame->AllPoints(), defaults.Scanner); }));
    return 0;
}
