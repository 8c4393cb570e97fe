// Points, frames and frame lists: values, ownership and index errors.

#include "DataTestSupport.h"

#include <QObject>
#include <QTest>

#include <type_traits>

using namespace DataTest;

static_assert(sizeof(TZLT_Point) == 8, "a point is 8 bytes, no heap object");
static_assert(std::is_trivially_copyable_v<TZLT_Point>);

class TestFrames : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InstallMessageTrap(); }
    void cleanup() { CheckNoMessages(); }

    void pointKeepsItsFields();
    void normalisedCoordinates_data();
    void normalisedCoordinates();

    void frameAddGetLast();
    void frameIndexErrors_data();
    void frameIndexErrors();
    void frameClearEmptiesAndFrees();
    void frameCloneIsDeepAndIndependent();
    void frameRefusesMoreThan65535Points();

    void listAddAndInsertAtCountAppends();
    void listInsertShiftsLaterFrames();
    void listIndexErrors_data();
    void listIndexErrors();
    void listDeleteHandsBackOwnership();
    void listSetFrameHandsBackOwnership();
    void listInsertRangeKeepsOrder();
    void listTruncate_data();
    void listTruncate();
    void listClear();
    void listRefusesMissingFrames();
    void listExchangesBlocks_data();
    void listExchangesBlocks();
};

void TestFrames::pointKeepsItsFields()
{
    const TZLT_Point p(-300, 12345, -32768, 200, 255);
    QCOMPARE(p.X(), int16_t(-300));
    QCOMPARE(p.Y(), int16_t(12345));
    QCOMPARE(p.Z(), int16_t(-32768));
    QCOMPARE(p.Status(), uint8_t(200));
    QCOMPARE(p.Aux(), uint8_t(255));
}

void TestFrames::normalisedCoordinates_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<double>("expected");
    QTest::newRow("-32768") << -32768 << 0.0;
    QTest::newRow("-1") << -1 << 32767.0 / 65536.0;
    QTest::newRow("0") << 0 << 0.5;
    QTest::newRow("1") << 1 << 32769.0 / 65536.0;
    QTest::newRow("32767") << 32767 << 65535.0 / 65536.0;
}

void TestFrames::normalisedCoordinates()
{
    QFETCH(int, value);
    QFETCH(double, expected);
    const int16_t v = int16_t(value);
    // Each coordinate alone, the others far away, so a mix-up shows.
    const TZLT_Point px(v, 1000, -1000, 0, 0);
    const TZLT_Point py(1000, v, -1000, 0, 0);
    const TZLT_Point pz(1000, -1000, v, 0, 0);
    // Exact: every value is a multiple of 1/65536.
    QVERIFY2(px.NormX() == expected, qPrintable(QString::number(px.NormX(), 'g', 20)));
    QVERIFY2(py.NormY() == expected, qPrintable(QString::number(py.NormY(), 'g', 20)));
    QVERIFY2(pz.NormZ() == expected, qPrintable(QString::number(pz.NormZ(), 'g', 20)));
}

void TestFrames::frameAddGetLast()
{
    TZLT_Frame frame;
    QCOMPARE(frame.Count(), 0);
    QCOMPARE(frame.Add(TZLT_Point(1, 2, 3, 4, 5)), 0);
    QCOMPARE(frame.Add(TZLT_Point(6, 7, 8, 9, 10)), 1);
    QCOMPARE(frame.Count(), 2);
    QCOMPARE(frame.GetPoint(0), TZLT_Point(1, 2, 3, 4, 5));
    QCOMPARE(frame.GetPoint(1), TZLT_Point(6, 7, 8, 9, 10));
    QCOMPARE(frame.Last(), TZLT_Point(6, 7, 8, 9, 10));
}

void TestFrames::frameIndexErrors_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("message");
    QTest::newRow("negative") << 3 << -1 << "List index -1 out of bounds (0..2)";
    QTest::newRow("count") << 3 << 3 << "List index 3 out of bounds (0..2)";
    QTest::newRow("far") << 1 << 70000 << "List index 70000 out of bounds (0..0)";
    QTest::newRow("empty") << 0 << 0 << "List index 0 out of bounds (the list is empty)";
}

void TestFrames::frameIndexErrors()
{
    QFETCH(int, count);
    QFETCH(int, index);
    QFETCH(QString, message);
    TZLT_Frame frame;
    for (int i = 0; i < count; ++i)
        frame.Add(TZLT_Point(int16_t(i), 0, 0, 0, 0));
    QCOMPARE(MessageOf<EZLT_Index>([&] { frame.GetPoint(index); }), message);
    if (count == 0) // Last asks for index Count - 1
        QCOMPARE(MessageOf<EZLT_Index>([&] { frame.Last(); }),
                 QStringLiteral("List index -1 out of bounds (the list is empty)"));
}

void TestFrames::frameClearEmptiesAndFrees()
{
    TZLT_Frame frame;
    frame.Clear(); // on an empty frame: nothing happens
    QCOMPARE(frame.Count(), 0);
    for (int i = 0; i < 100; ++i)
        frame.Add(TZLT_Point(int16_t(i), 0, 0, 0, 0));
    frame.Clear();
    QCOMPARE(frame.Count(), 0);
    QVERIFY(!frame.Used());
    QCOMPARE(frame.AllPoints().capacity(), size_t(0)); // no storage kept
}

void TestFrames::frameCloneIsDeepAndIndependent()
{
    auto source = MakeFrame({{1, 2, 3, 64, 0}, {-5, 6, -7, 130, 9}, {32767, -32768, 0, 63, 255}});
    const std::unique_ptr<TZLT_Frame> clone = source->Clone();
    QVERIFY(clone.get() != source.get());
    QCOMPARE(clone->Count(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(clone->GetPoint(i), source->GetPoint(i));
    QVERIFY(clone->AllPoints().data() != source->AllPoints().data());

    source->Clear();
    source->Add(TZLT_Point(9, 9, 9, 9, 9));
    QCOMPARE(clone->Count(), 3);
    QCOMPARE(clone->GetPoint(0), TZLT_Point(1, 2, 3, 64, 0));
    QCOMPARE(clone->Last(), TZLT_Point(32767, -32768, 0, 63, 255));
    source.reset();
    QCOMPARE(clone->GetPoint(1), TZLT_Point(-5, 6, -7, 130, 9));

    TZLT_Frame empty;
    const std::unique_ptr<TZLT_Frame> emptyClone = empty.Clone();
    QVERIFY(emptyClone);
    QCOMPARE(emptyClone->Count(), 0);
}

void TestFrames::frameRefusesMoreThan65535Points()
{
    TZLT_Frame frame;
    for (int i = 0; i < TZLT_Frame::MaxPoints; ++i)
        frame.Add(TZLT_Point(int16_t(i), 0, 0, 0, 0));
    QCOMPARE(frame.Count(), 65535);
    const QString message = MessageOf<EZLT_Error>([&] { frame.Add(TZLT_Point(0, 0, 0, 0, 0)); });
    QVERIFY2(message.contains(QLatin1String("65535")), qPrintable(message));
    QCOMPARE(frame.Count(), 65535);
}

// Tags frames by the X of their only point, so order and identity show.
static std::unique_ptr<TZLT_Frame> Tagged(int tag)
{
    return MakeFrame({TZLT_Point(int16_t(tag), 0, 0, 0, 0)});
}

static QList<int> Tags(const TZLT_FrameList& list)
{
    QList<int> tags;
    for (int i = 0; i < list.Count(); ++i) {
        const TZLT_Frame& frame = list.GetFrame(i);
        tags.append(frame.Count() > 0 ? frame.GetPoint(0).X() : -1);
    }
    return tags;
}

void TestFrames::listAddAndInsertAtCountAppends()
{
    TZLT_FrameList list;
    QCOMPARE(list.Count(), 0);
    QCOMPARE(list.Add(Tagged(1)), 0);
    QCOMPARE(list.Add(Tagged(2)), 1);
    list.Insert(list.Count(), Tagged(3));
    QCOMPARE(Tags(list), QList<int>({1, 2, 3}));

    TZLT_FrameList empty;
    empty.Insert(0, Tagged(7));
    QCOMPARE(Tags(empty), QList<int>({7}));
}

void TestFrames::listInsertShiftsLaterFrames()
{
    TZLT_FrameList list;
    for (int tag : {1, 2, 3})
        list.Add(Tagged(tag));
    TZLT_Frame* inserted = Tagged(9).release();
    list.Insert(1, std::unique_ptr<TZLT_Frame>(inserted));
    QCOMPARE(Tags(list), QList<int>({1, 9, 2, 3}));
    QCOMPARE(&list.GetFrame(1), inserted); // the list holds the very frame, not a copy
    list.Insert(0, Tagged(0));
    QCOMPARE(Tags(list), QList<int>({0, 1, 9, 2, 3}));
}

void TestFrames::listIndexErrors_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("message");
    // The list holds 3 frames.
    QTest::newRow("GetFrame -1") << "GetFrame" << -1 << "List index -1 out of bounds (0..2)";
    QTest::newRow("GetFrame 3") << "GetFrame" << 3 << "List index 3 out of bounds (0..2)";
    QTest::newRow("SetFrame 3") << "SetFrame" << 3 << "List index 3 out of bounds (0..2)";
    QTest::newRow("SetFrame -2") << "SetFrame" << -2 << "List index -2 out of bounds (0..2)";
    QTest::newRow("Delete 3") << "Delete" << 3 << "List index 3 out of bounds (0..2)";
    QTest::newRow("Delete -1") << "Delete" << -1 << "List index -1 out of bounds (0..2)";
    // Inserting may also append, so its range reaches Count.
    QTest::newRow("Insert 4") << "Insert" << 4 << "List index 4 out of bounds (0..3)";
    QTest::newRow("Insert -1") << "Insert" << -1 << "List index -1 out of bounds (0..3)";
    QTest::newRow("InsertRange 4") << "InsertRange" << 4 << "List index 4 out of bounds (0..3)";
}

void TestFrames::listIndexErrors()
{
    QFETCH(QString, operation);
    QFETCH(int, index);
    QFETCH(QString, message);
    TZLT_FrameList list;
    for (int tag : {1, 2, 3})
        list.Add(Tagged(tag));
    const std::function<void()> call = [&] {
        if (operation == QLatin1String("GetFrame"))
            list.GetFrame(index);
        else if (operation == QLatin1String("SetFrame"))
            list.SetFrame(index, Tagged(8));
        else if (operation == QLatin1String("Delete"))
            list.Delete(index);
        else if (operation == QLatin1String("Insert"))
            list.Insert(index, Tagged(8));
        else {
            std::vector<std::unique_ptr<TZLT_Frame>> frames;
            frames.push_back(Tagged(8));
            list.InsertRange(index, std::move(frames));
        }
    };
    QCOMPARE(MessageOf<EZLT_Index>(call), message);
    QCOMPARE(Tags(list), QList<int>({1, 2, 3})); // nothing changed
}

void TestFrames::listDeleteHandsBackOwnership()
{
    TZLT_FrameList list;
    for (int tag : {1, 2, 3})
        list.Add(Tagged(tag));
    const TZLT_Frame* middle = &list.GetFrame(1);
    std::unique_ptr<TZLT_Frame> removed = list.Delete(1);
    QCOMPARE(removed.get(), middle);
    QCOMPARE(Tags(list), QList<int>({1, 3}));
    list.Clear(); // the removed frame no longer belongs to the list
    QCOMPARE(removed->Count(), 1);
    QCOMPARE(removed->GetPoint(0).X(), int16_t(2));
}

void TestFrames::listSetFrameHandsBackOwnership()
{
    TZLT_FrameList list;
    for (int tag : {1, 2, 3})
        list.Add(Tagged(tag));
    const TZLT_Frame* old = &list.GetFrame(2);
    std::unique_ptr<TZLT_Frame> replaced = list.SetFrame(2, Tagged(7));
    QCOMPARE(replaced.get(), old);
    QCOMPARE(Tags(list), QList<int>({1, 2, 7}));
    list.Clear();
    QCOMPARE(replaced->GetPoint(0).X(), int16_t(3));
}

void TestFrames::listInsertRangeKeepsOrder()
{
    TZLT_FrameList list;
    for (int tag : {1, 2, 3})
        list.Add(Tagged(tag));
    std::vector<std::unique_ptr<TZLT_Frame>> frames;
    for (int tag : {10, 11, 12})
        frames.push_back(Tagged(tag));
    list.InsertRange(1, std::move(frames));
    QCOMPARE(Tags(list), QList<int>({1, 10, 11, 12, 2, 3}));

    std::vector<std::unique_ptr<TZLT_Frame>> tail;
    tail.push_back(Tagged(20));
    tail.push_back(Tagged(21));
    list.InsertRange(list.Count(), std::move(tail));
    QCOMPARE(Tags(list), QList<int>({1, 10, 11, 12, 2, 3, 20, 21}));

    list.InsertRange(0, {});
    QCOMPARE(list.Count(), 8);
}

void TestFrames::listTruncate_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("drop two") << 2 << QList<int>({1, 2});
    QTest::newRow("to empty") << 0 << QList<int>();
    QTest::newRow("same size") << 4 << QList<int>({1, 2, 3, 4});
    QTest::newRow("larger") << 9 << QList<int>({1, 2, 3, 4});
}

void TestFrames::listTruncate()
{
    QFETCH(int, count);
    QFETCH(QList<int>, expected);
    TZLT_FrameList list;
    for (int tag : {1, 2, 3, 4})
        list.Add(Tagged(tag));
    list.Truncate(count);
    QCOMPARE(Tags(list), expected);
}

void TestFrames::listClear()
{
    TZLT_FrameList list;
    list.Clear();
    QCOMPARE(list.Count(), 0);
    for (int tag : {1, 2, 3})
        list.Add(Tagged(tag));
    list.Clear();
    QCOMPARE(list.Count(), 0);
    QCOMPARE(list.Add(Tagged(5)), 0); // usable afterwards
}

void TestFrames::listRefusesMissingFrames()
{
    TZLT_FrameList list;
    list.Add(Tagged(1));
    QVERIFY(!MessageOf<EZLT_Error>([&] { list.Add(nullptr); }).isEmpty());
    QVERIFY(!MessageOf<EZLT_Error>([&] { list.Insert(0, nullptr); }).isEmpty());
    QVERIFY(!MessageOf<EZLT_Error>([&] { list.SetFrame(0, nullptr); }).isEmpty());
    std::vector<std::unique_ptr<TZLT_Frame>> frames;
    frames.push_back(Tagged(2));
    frames.push_back(nullptr);
    QVERIFY(!MessageOf<EZLT_Error>([&] { list.InsertRange(0, std::move(frames)); }).isEmpty());
    QCOMPARE(Tags(list), QList<int>({1}));
}

static std::vector<std::unique_ptr<TZLT_Frame>> TaggedBlock(const QList<int>& tags)
{
    std::vector<std::unique_ptr<TZLT_Frame>> block;
    for (int tag : tags)
        block.push_back(tag == 0 ? nullptr : Tagged(tag));
    return block;
}

void TestFrames::listExchangesBlocks_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QList<int>>("block");    // 0: a missing frame
    QTest::addColumn<QList<int>>("expected"); // the list afterwards; empty: an error
    // The list holds 1 2 3 4 5.
    QTest::newRow("one at the start") << 0 << QList<int>{9} << QList<int>{9, 1, 2, 3, 4};
    QTest::newRow("two in the middle") << 2 << QList<int>{8, 9} << QList<int>{1, 2, 8, 9, 3};
    QTest::newRow("before the last") << 4 << QList<int>{9} << QList<int>{1, 2, 3, 4, 9};
    QTest::newRow("the whole list") << 0 << QList<int>{6, 7, 8, 9, 10} << QList<int>{6, 7, 8, 9, 10};
    QTest::newRow("nothing at the end") << 5 << QList<int>{} << QList<int>{1, 2, 3, 4, 5};
    QTest::newRow("past the room") << 4 << QList<int>{8, 9} << QList<int>{};
    QTest::newRow("before the start") << -1 << QList<int>{9} << QList<int>{};
    QTest::newRow("more than the list") << 0 << QList<int>{5, 6, 7, 8, 9, 10} << QList<int>{};
    QTest::newRow("a missing frame") << 0 << QList<int>{8, 0} << QList<int>{};
}

// Insert and remove hand the very frames back and forth; an error changes
// neither side.
void TestFrames::listExchangesBlocks()
{
    QFETCH(int, index);
    QFETCH(QList<int>, block);
    QFETCH(QList<int>, expected);
    TZLT_FrameList list;
    for (int tag : {1, 2, 3, 4, 5})
        list.Add(Tagged(tag));
    std::vector<const TZLT_Frame*> before;
    for (int i = 0; i < list.Count(); ++i)
        before.push_back(&list.GetFrame(i));
    std::vector<std::unique_ptr<TZLT_Frame>> frames = TaggedBlock(block);
    std::vector<TZLT_Frame*> blockFrames;
    for (const auto& frame : frames)
        blockFrames.push_back(frame.get());

    if (expected.isEmpty()) {
        QVERIFY(!MessageOf<EZLT_Error>([&] { list.InsertExchanging(index, frames); }).isEmpty());
        QVERIFY(!MessageOf<EZLT_Error>([&] { list.RemoveExchanging(index, frames); }).isEmpty());
        QCOMPARE(Tags(list), QList<int>({1, 2, 3, 4, 5}));
        for (size_t i = 0; i < frames.size(); ++i)
            QCOMPARE(frames[i].get(), blockFrames[i]);
        return;
    }
    list.InsertExchanging(index, frames);
    QCOMPARE(Tags(list), expected);
    for (size_t i = 0; i < frames.size(); ++i) {
        QCOMPARE(&list.GetFrame(index + int(i)), blockFrames[i]);
        QCOMPARE(frames[i].get(), before[before.size() - frames.size() + i]); // pushed out, in order
    }
    list.RemoveExchanging(index, frames);
    for (int i = 0; i < list.Count(); ++i)
        QCOMPARE(&list.GetFrame(i), before[size_t(i)]);
    for (size_t i = 0; i < frames.size(); ++i)
        QCOMPARE(frames[i].get(), blockFrames[i]);
}

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_data_frames.moc"
