// The undo budget over all catalog windows together: a seeded random run of
// pastes, deletes, undos and redos in several windows against a model of
// every step's frames and age, and the heap the histories really hold when
// windows paste and undo large frames; and freed thumbnails' memory reused.

#include "FramesTestKit.h"
#include "Guard.h"
#include "Thumbnails.h"

#include <QRandomGenerator>
#include <QtTest>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <map>

using namespace Kit;

namespace {

constexpr int Region = 12; // the slots the run uses
constexpr qint64 MiB = qint64(1) << 20;

// Frames of the run: frame id has Points(id) points.
int Points(int id)
{
    static const int sizes[] = {400, 2500, 9000};
    return id == 0 ? 0 : sizes[id % 3] + id;
}

// What the budget counts for a frame: the room of its points (a copy has
// just enough) and the frame itself.
qint64 CostOf(int id)
{
    return THistory::FrameCost + THistory::PointCost * Points(id);
}

// One window's slots as they must be, its steps with their age, and the
// frames each step keeps: those it replaced while done, those it put in
// while undone.
struct TWindowModel
{
    struct TStep
    {
        qint64 Age;
        std::vector<int> Before, After;
    };
    std::vector<int> Slots = std::vector<int>(Region, 0);
    std::vector<TStep> Steps;
    int Pos = 0;

    qint64 Cost(size_t i) const
    {
        const TStep& step = Steps[i];
        qint64 cost = 0;
        for (int s = 0; s < Region; ++s)
            if (step.Before[size_t(s)] != step.After[size_t(s)])
                cost += CostOf(int(i) < Pos ? step.Before[size_t(s)] : step.After[size_t(s)]);
        return cost;
    }
    qint64 Cost() const
    {
        qint64 cost = 0;
        for (size_t i = 0; i < Steps.size(); ++i)
            cost += Cost(i);
        return cost;
    }
};

struct TBudgetModel
{
    std::vector<TWindowModel> Windows;
    qint64 Budget = 0;
    qint64 Age = 0;

    qint64 Total() const
    {
        qint64 total = 0;
        for (const TWindowModel& w : Windows)
            total += w.Cost();
        return total;
    }

    // A change in window w to ids for its slots; one that changes nothing is no step.
    void Change(int w, std::vector<int> ids)
    {
        TWindowModel& m = Windows[size_t(w)];
        if (ids == m.Slots)
            return;
        m.Steps.resize(size_t(m.Pos));
        m.Steps.push_back({++Age, m.Slots, ids});
        m.Slots = std::move(ids);
        ++m.Pos;
        Trim(w, m.Pos - 1);
    }
    void Move(int w, int by)
    {
        TWindowModel& m = Windows[size_t(w)];
        if (m.Pos + by < 0 || m.Pos + by > int(m.Steps.size()))
            return;
        const int acted = by < 0 ? m.Pos - 1 : m.Pos;
        m.Slots = by < 0 ? m.Steps[size_t(acted)].Before : m.Steps[size_t(acted)].After;
        m.Pos += by;
        Trim(w, acted);
    }

    // The oldest step of all windows goes first, but never the one just
    // made, undone or redone (window w's step kept); the steps after it in
    // its window may go, newest first.
    void Trim(int w, int kept)
    {
        while (Total() > Budget) {
            int oldest = -1;
            bool back = false;
            qint64 age = 0;
            for (int v = 0; v < int(Windows.size()); ++v) {
                const TWindowModel& m = Windows[size_t(v)];
                if (m.Steps.empty())
                    continue;
                const bool front = !(v == w && kept == 0);
                if (!front && m.Steps.size() < 2)
                    continue;
                const qint64 a = front ? m.Steps.front().Age : m.Steps.back().Age;
                if (oldest < 0 || a < age) {
                    oldest = v;
                    back = !front;
                    age = a;
                }
            }
            if (oldest < 0)
                return;
            TWindowModel& m = Windows[size_t(oldest)];
            if (back) {
                m.Steps.pop_back();
            } else if (m.Pos == 0) {
                m.Steps.clear(); // none of them can be redone without the first
            } else {
                m.Steps.erase(m.Steps.begin());
                --m.Pos;
                if (oldest == w)
                    --kept;
            }
        }
    }
};

size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Memory of the process in RAM, as the system counts it.
qint64 Resident()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    return statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

} // namespace

class TestFramesBudget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { EnsureMainWindow(); }
    void cleanup()
    {
        CloseAllWindows();
        THistory::SetBudget(THistory::DefaultBudget);
    }

    // First, before any large block has been freed: from then on glibc
    // would keep more of what is freed on its own.
    void thumbnailsDrawnAgainReuseTheFreedPages();
    void randomRunKeepsTheBudget_data();
    void randomRunKeepsTheBudget();
    void windowsPastingLargeFramesStayWithinTheBudget();
};

void TestFramesBudget::randomRunKeepsTheBudget_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("windows");
    QTest::addColumn<qint64>("budget");
    QTest::newRow("three windows, room for a few frames") << 1u << 3 << qint64(120000);
    QTest::newRow("five windows, room for a few frames") << 2u << 5 << qint64(120000);
    QTest::newRow("four windows, room for one large frame") << 3u << 4 << qint64(80000);
    QTest::newRow("two windows, room for many frames") << 4u << 2 << qint64(600000);
}

// Pastes with Overwrite All, deletes, undos and redos in random windows. After
// every command each window's slots, steps that can be undone and redone,
// the Undo and Redo commands and the total the budget counts follow the
// model; the total stays within the budget unless a single step larger than
// it is all that is kept.
void TestFramesBudget::randomRunKeepsTheBudget()
{
    QFETCH(quint32, seed);
    QFETCH(int, windows);
    QFETCH(qint64, budget);
    QRandomGenerator random(seed);
    const auto below = [&random](int n) { return int(random.bounded(n)); };
    THistory::SetBudget(budget);
    TBudgetModel model{std::vector<TWindowModel>(size_t(windows)), budget};
    std::vector<TMDIChild*> children;
    for (int w = 0; w < windows; ++w) {
        children.push_back(NewWindow());
        QVERIFY(children.back());
    }
    int nextId = 1;
    for (int op = 0; op < 400; ++op) {
        const int w = below(windows);
        TMDIChild* child = children[size_t(w)];
        TWindowModel& m = model.Windows[size_t(w)];
        MainForm->MdiArea->setActiveSubWindow(child);
        const int kind = below(8);
        const int first = below(Region - 3);
        const int count = 1 + below(3);
        child->SelectSlots(first, first + count - 1);
        if (kind < 3) { // new frames, or those already there
            std::vector<int> list(static_cast<size_t>(count), 0);
            for (int i = 0; i < count; ++i)
                list[size_t(i)] = below(5) ? nextId++ : m.Slots[size_t(first + i)];
            std::vector<int> ids = m.Slots;
            bool used = false;
            for (int i = 0; i < count; ++i) {
                used = used || ids[size_t(first + i)] != 0;
                ids[size_t(first + i)] = list[size_t(i)];
            }
            MainForm->ClipboardFrames = std::make_unique<TZLT_FrameList>();
            for (int id : list)
                MainForm->ClipboardFrames->Add(MakeFrame(id, Points(id)));
            TAnswerer answerer(used ? QStringLiteral("O") : QString());
            MainForm->EditPaste1->trigger();
            QCOMPARE(answerer.Left() + answerer.Unexpected, 0);
            model.Change(w, ids);
        } else if (kind == 3) {
            std::vector<int> ids = m.Slots;
            std::fill(ids.begin() + first, ids.begin() + first + count, 0);
            child->DeleteAction->trigger();
            model.Change(w, ids);
        } else {
            const int by = kind < 6 ? -1 : 1;
            (by < 0 ? MainForm->EditUndo1 : MainForm->EditRedo1)->trigger();
            model.Move(w, by);
        }

        const QByteArray where = QStringLiteral("op %1, kind %2, window %3").arg(op).arg(kind).arg(w).toUtf8();
        for (int v = 0; v < windows; ++v) {
            const TWindowModel& mv = model.Windows[size_t(v)];
            const THistory& history = children[size_t(v)]->History;
            QVERIFY2(Ids(children[size_t(v)]->Cat.Frames, 0, Region) == mv.Slots, where);
            QVERIFY2(history.UndoCount() == mv.Pos, where);
            QVERIFY2(history.RedoCount() == int(mv.Steps.size()) - mv.Pos, where);
            QVERIFY2(history.Cost() == mv.Cost(), where);
        }
        QVERIFY2(MainForm->EditUndo1->isEnabled() == (m.Pos > 0), where);
        QVERIFY2(MainForm->EditRedo1->isEnabled() == (m.Pos < int(m.Steps.size())), where);
        QVERIFY2(THistory::TotalCost() == model.Total(), where);
        int steps = 0;
        for (const TMDIChild* c : children)
            steps += c->History.UndoCount() + c->History.RedoCount();
        QVERIFY2(THistory::TotalCost() <= budget || steps == 1, where);
    }
}

// Five windows each paste 16 MiB of frames and undo it, with room for 40
// MiB: the heap the histories hold is what the budget counts and stays
// within it, and so does the memory the process keeps resident (what the
// budget gives up goes back to the system, also when the windows close);
// the windows that pasted first can no longer redo.
void TestFramesBudget::windowsPastingLargeFramesStayWithinTheBudget()
{
    constexpr int Frames = 32;
    constexpr qint64 Budget = 40 * MiB;
    THistory::SetBudget(Budget);
    MainForm->ClipboardFrames = std::make_unique<TZLT_FrameList>();
    for (int i = 0; i < Frames; ++i)
        MainForm->ClipboardFrames->Add(MakeFrame(1 + i, TZLT_Frame::MaxPoints));
    std::vector<TMDIChild*> children;
    for (int w = 0; w < 5; ++w) {
        children.push_back(NewWindow());
        QVERIFY(children.back());
    }
    QCoreApplication::processEvents();
    const qint64 before = qint64(HeapInUse());
    const qint64 residentBefore = Resident();
    QVERIFY(residentBefore > 0);

    for (int w = 0; w < 5; ++w) {
        MainForm->MdiArea->setActiveSubWindow(children[size_t(w)]);
        children[size_t(w)]->SelectSlots(0, 0);
        MainForm->EditPaste1->trigger();
        QCoreApplication::processEvents();
        MainForm->EditUndo1->trigger();
        QCoreApplication::processEvents();

        const qint64 held = qint64(HeapInUse()) - before;
        const qint64 counted = THistory::TotalCost();
        QVERIFY2(counted <= Budget, qPrintable(QStringLiteral("window %1: %2 MiB").arg(w).arg(counted / MiB)));
        QVERIFY2(std::abs(held - counted) <= counted / 20 + 2 * MiB,
                 qPrintable(QStringLiteral("window %1: heap %2 MiB, counted %3 MiB")
                                .arg(w)
                                .arg(double(held) / MiB)
                                .arg(double(counted) / MiB)));
        const qint64 resident = Resident() - residentBefore;
        QVERIFY2(resident <= counted + counted / 20 + 3 * MiB,
                 qPrintable(QStringLiteral("window %1: resident %2 MiB more, counted %3 MiB")
                                .arg(w)
                                .arg(double(resident) / MiB)
                                .arg(double(counted) / MiB)));
    }
    for (int w = 0; w < 5; ++w)
        QCOMPARE(children[size_t(w)]->History.CanRedo(), w >= 3);
    MainForm->EditRedo1->trigger();
    QCOMPARE(Ids(children[4]->Cat.Frames, 0, Frames), Ids(*MainForm->ClipboardFrames, 0, Frames));
    CloseAllWindows();
    QTRY_VERIFY2(Resident() - residentBefore <= 3 * MiB,
                 qPrintable(QStringLiteral("%1 MiB more").arg(double(Resident() - residentBefore) / MiB)));
}

// A catalog's thumbnails dropped and drawn again take the pages the last
// ones had: handed back to the system, each would fault in afresh.
void TestFramesBudget::thumbnailsDrawnAgainReuseTheFreedPages()
{
    constexpr int Cells = 19;
    constexpr int Side = 103;
    std::vector<std::unique_ptr<TZLT_Frame>> frames;
    for (int i = 0; i < Cells; ++i)
        frames.push_back(MakeFrame(1 + i, 4000));
    const TZLT_Pal palette;
    const auto faultsOfDrawing = [&] {
        rusage before, after;
        getrusage(RUSAGE_SELF, &before);
        {
            std::vector<TThumbnailJob> jobs;
            for (const auto& frame : frames)
                jobs.push_back(TThumbnailJob{frame.get(), QImage()});
            DrawThumbnails(jobs, QSize(Side, Side), palette, 1);
        }
        getrusage(RUSAGE_SELF, &after);
        return after.ru_minflt - before.ru_minflt;
    };
    faultsOfDrawing();
    const long pages = long(Cells) * Side * Side * 4 / sysconf(_SC_PAGESIZE);
    const long faults = faultsOfDrawing();
    QVERIFY2(faults < pages / 4, qPrintable(QStringLiteral("%1 page faults for %2 pages").arg(faults).arg(pages)));
}

// The program's own application object, which sets how freed memory is kept.
int main(int argc, char** argv)
{
    TApplication application(argc, argv);
    TestFramesBudget test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_frames_budget.moc"
