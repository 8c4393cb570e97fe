// The laser output from the windows: the Laser menu, the status field,
// Esc, the projector settings, and the frame shown streaming to a
// receiver on 127.0.0.1.

#include "../shell/ShellTestKit.h"
#include "FramePreview.h"
#include "IniFile.h"
#include "EtherDreamTestKit.h"
#include "IdnTestKit.h"
#include "LaserLink.h"
#include "Optimiser.h"
#include "ProjectorSettings.h"
#include "Progress.h"
#include "ScannerDialog.h"
#include "ZLT_Files.h"

#include <QComboBox>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <atomic>

#include <unistd.h>

using namespace ShellTestKit;
using namespace IdnTestKit;
using namespace EtherDreamTestKit;

namespace {

TLaserLink* Laser()
{
    return MainForm->Laser;
}

QString Status()
{
    return MainForm->findChild<QLabel*>(QStringLiteral("LaserStatus"))->text();
}

// The last whole frame that arrived, as samples.
std::vector<TSample> LastFrame(TReceiver& receiver)
{
    const std::vector<TFrame> frames = Frames(receiver.Datagrams);
    return frames.empty() ? std::vector<TSample>{} : Samples(frames.back().Data);
}

// Runs action and gives the frame it sent.
template <typename TAction>
std::vector<TSample> SentBy(TReceiver& receiver, TAction action)
{
    const size_t before = receiver.Datagrams.size();
    action();
    return receiver.WaitFor(before + 1) ? LastFrame(receiver) : std::vector<TSample>{};
}

bool Dark(const std::vector<TSample>& samples)
{
    return !samples.empty() && std::all_of(samples.begin(), samples.end(), [](const TSample& s) {
        return (s.R | s.G | s.B) == 0;
    });
}

bool IsClose(TReceiver& receiver)
{
    const size_t n = receiver.Datagrams.size();
    if (n < 2)
        return false;
    const TDecoded channel = Decode(receiver.Datagrams[n - 2]);
    return channel.HasConfig && channel.WordCount == 0 && (channel.ConfigFlags & 0x02) &&
           Decode(receiver.Datagrams[n - 1]).Command == 0x44;
}

uint16_t ResponderPort = 0;
QList<TIdnDiscovery::TTarget> LoopbackTargets()
{
    return {{QHostAddress(QHostAddress::LocalHost), ResponderPort}};
}

// A slow disk: the sync of a file waits until the test lets it go (at most
// 5 s), so a save is surely still running while the test looks.
std::atomic<bool> SyncWaiting{false};
std::atomic<bool> SyncGo{false};
bool SlowSync(int fd)
{
    SyncWaiting = true;
    for (int i = 0; i < 500 && !SyncGo; ++i)
        usleep(10'000);
    SyncWaiting = false;
    return ::fsync(fd) == 0;
}

// Long lit lines across the field: optimised, well over 1,000 points.
std::unique_ptr<TZLT_Frame> Lines(int count)
{
    auto frame = std::make_unique<TZLT_Frame>();
    for (int i = 0; i < count; ++i)
        frame->Add(TZLT_Point(int16_t(i % 2 ? 28000 : -28000), int16_t(-12000 + 2000 * i), 0, uint8_t(1 + i % 7), 0));
    return frame;
}

// The frame optimised at rate; needed is the points it needs.
TZLT_Frame::Points OptimisedPoints(const TZLT_Frame& frame, TScannerProfile profile, int rate, qint64& needed)
{
    profile.PointRate = rate;
    TOptimiseResult result;
    TZLT_Frame::Points points = Optimised(frame.AllPoints(), profile, &result);
    needed = result.Needed;
    return points;
}

// "Frame 2: 12 → 1,204 points, 0.4 → 40.1 ms", worked out here; the
// frame of after points is too long for a frame.
QString ScannerFacts(int slot, qint64 before, qint64 after, int rate, bool german)
{
    const QString tooLong = german ? QStringLiteral("; mehr als 65.535 Punkte, er bleibt daher, wie er ist")
                                   : QStringLiteral("; more than 65,535 points, so it stays as it is");
    const QLocale locale(german ? QLocale::German : QLocale::English, german ? QLocale::Germany : QLocale::UnitedStates);
    const auto ms = [&](qint64 points) { return locale.toString(double(points) * 1000.0 / rate, 'f', 1); };
    return QStringLiteral("Frame %1: %2 → %3 %4, %5 → %6 ms")
        .arg(QString::number(slot), locale.toString(before), locale.toString(after),
             german ? QStringLiteral("Punkte") : QStringLiteral("points"), ms(before), ms(after)) +
           (after > TZLT_Frame::MaxPoints ? tooLong : QString());
}

} // namespace

enum class TArrives
{
    Frames, // IDN frame chunks
    Stream, // IDN wave chunks
    Dac,    // points played by the Ether Dream
};
Q_DECLARE_METATYPE(TArrives)
Q_DECLARE_METATYPE(TScannerProfile)

class TestLaserWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QFile::remove(IniPath());
        TProjectorSettingsBox::ScanTargets = &LoopbackTargets;
        StartProgram();
    }
    void cleanup() { EndProgram(); }

    void menuAndStatus();
    void statusFollowsLookupAndAnswers_data();
    void statusFollowsLookupAndAnswers();
    void outputFollowsTheShownFrame();
    void escapeIsBlackout();
    void noAddressAsksForOne();
    void settingsAndSearch();
    void streamGoesOnBehindDialogs();
    void streamAndBlackoutDuringLongSaves_data();
    void streamAndBlackoutDuringLongSaves();
    void settingsKeptOutputNot();
    void kinds_data();
    void kinds();
    void kindSettings_data();
    void kindSettings();
    void etherDreamSearch();
    void scannerProfile_data();
    void scannerProfile();
};

void TestLaserWindow::menuAndStatus()
{
    QStringList menus;
    for (QAction* entry : MainForm->menuBar()->actions())
        menus << entry->text();
    QCOMPARE(menus, QStringList({"&File", "&Edit", "F&rames", "&Window", "&Laser", "&Help"}));
    QMenu* laser = MainForm->menuBar()->actions().at(4)->menu();
    QStringList entries;
    for (QAction* entry : laser->actions())
        entries << (entry->isSeparator() ? QStringLiteral("|") : entry->text() + QLatin1Char(' ') +
                                                                   entry->shortcut().toString());
    QCOMPARE(entries, QStringList({"Laser &output Ctrl+L", "&Blackout Esc", "|", "&Projector settings... ",
                                      "Scanner profile... "}));
    // The same command as in the Frames menu.
    QCOMPARE(laser->actions().last(), MainForm->Frames->ScannerProfile1);
    QVERIFY(MainForm->Frames->Frames1->actions().contains(MainForm->Frames->ScannerProfile1));
    QVERIFY(MainForm->LaserOutput1->isCheckable());
    QVERIFY(!MainForm->LaserOutput1->isChecked());
    QCOMPARE(Status(), QStringLiteral("Laser off"));
    // The toolbar's picture differs when output is on.
    const QIcon icon = MainForm->LaserOutput1->icon();
    QVERIFY(icon.pixmap(16, 16, QIcon::Normal, QIcon::On).toImage() !=
            icon.pixmap(16, 16, QIcon::Normal, QIcon::Off).toImage());

    MainForm->Language = 1;
    MainForm->ApplyLanguage();
    QCOMPARE(MainForm->LaserOutput1->text(), QStringLiteral("Laser-&Ausgabe"));
    QCOMPARE(MainForm->LaserSettings1->text(), QStringLiteral("&Projektor-Einstellungen..."));
    QCOMPARE(Status(), QStringLiteral("Laser aus"));
    TReceiver receiver;
    Laser()->Address = QStringLiteral("127.0.0.1:%1").arg(receiver.Port());
    MainForm->LaserOutput1->trigger();
    QCOMPARE(Status(), QStringLiteral("Laser an: 127.0.0.1:%1, 30 kpps").arg(receiver.Port()));
    Laser()->PointRate = 12500;
    QVERIFY(Laser()->Start());
    QCOMPARE(Status(), QStringLiteral("Laser an: 127.0.0.1:%1, 12,5 kpps").arg(receiver.Port()));
}

void TestLaserWindow::statusFollowsLookupAndAnswers_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("lookingUp");
    QTest::addColumn<QString>("on"); // %1 the port
    QTest::addColumn<QString>("lossy");
    QTest::addColumn<bool>("continuous"); // IDN frames or the continuous stream
    for (const bool continuous : {false, true}) {
        const char* mode = continuous ? ", continuous" : "";
        QTest::addRow("English%s", mode)
            << 0 << "Laser: looking up localhost..."
            << "Laser on: localhost:%1, 30 kpps"
            << "Laser: the projector reports lost or refused frames" << continuous;
        QTest::addRow("German%s", mode)
            << 1 << "Laser: suche localhost..."
            << "Laser an: localhost:%1, 30 kpps"
            << "Laser: der Projektor meldet verlorene oder abgelehnte Frames" << continuous;
    }
}

// "Laser on" only once the host name is found and while the projector's
// answers report no lost or refused data.
void TestLaserWindow::statusFollowsLookupAndAnswers()
{
    QFETCH(int, language);
    QFETCH(QString, lookingUp);
    QFETCH(QString, on);
    QFETCH(QString, lossy);
    QFETCH(bool, continuous);
    MainForm->Language = language;
    MainForm->ApplyLanguage();
    TReceiver receiver;
    on = on.arg(receiver.Port());
    Laser()->Address = QStringLiteral("localhost:%1").arg(receiver.Port());
    Laser()->Continuous = continuous;
    MainForm->LaserOutput1->trigger();
    QVERIFY(Laser()->On());
    QCOMPARE(Status(), lookingUp);
    QVERIFY(receiver.Datagrams.empty());
    QTRY_COMPARE(Status(), on);
    // The continuous stream goes out on the event loop's timers.
    QTRY_VERIFY((receiver.Read(), !receiver.Datagrams.empty()));

    QVERIFY(receiver.Acknowledge(0, 0x0001)); // a new connection is no loss
    QTest::qWait(200);
    QCOMPARE(Status(), on);
    QVERIFY(receiver.Acknowledge(0, 0x0010));
    QTRY_COMPARE(Status(), lossy);
    QVERIFY(Laser()->On());
    QTest::qWait(1200); // the next request
    QCOMPARE(Status(), lossy);
    QVERIFY(receiver.Acknowledge(0));
    QTRY_COMPARE(Status(), on);
}

void TestLaserWindow::outputFollowsTheShownFrame()
{
    TReceiver receiver;
    Laser()->Address = QStringLiteral("127.0.0.1:%1").arg(receiver.Port());
    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    child->Cat.Frames.SetFrame(0, Figure(300, 5));
    child->Cat.Frames.SetFrame(1, Figure(40));
    auto spot = std::make_unique<TZLT_Frame>();
    spot->Add(TZLT_Point(1000, 1000, 0, 2, 0));
    spot->Add(TZLT_Point(1100, 1050, 0, 2, 0));
    child->Cat.Frames.SetFrame(2, std::move(spot));
    // The beam held on one point for 999 of 1,001 samples, then a line.
    auto held = std::make_unique<TZLT_Frame>();
    for (int i = 0; i < 1000; ++i)
        held->Add(TZLT_Point(-3000, 2000, 0, 2, 0));
    held->Add(TZLT_Point(20000, -20000, 0, 2, 0));
    child->Cat.Frames.SetFrame(3, std::move(held));
    child->CatalogChanged();
    child->SelectSlots(0, 0);

    MainForm->LaserOutput1->trigger();
    QVERIFY(MainForm->LaserOutput1->isChecked());
    QCOMPARE(Status(), QStringLiteral("Laser on: 127.0.0.1:%1, 30 kpps").arg(receiver.Port()));
    QVERIFY(receiver.WaitFor(1));
    QVERIFY(LastFrame(receiver) == Expected(child->Cat.Frames.GetFrame(0), child->Pal));

    // The selection, with the preview pane closed.
    QVERIFY(MainForm->Preview->isHidden());
    const auto shown = [child](int slot) { return Expected(child->Cat.Frames.GetFrame(slot), child->Pal); };
    QVERIFY(SentBy(receiver, [&] { child->SelectSlots(1, 1); }) == shown(1));

    // A frame that would hold the beam on one spot goes dark, and says so.
    QVERIFY(Dark(SentBy(receiver, [&] { child->SelectSlots(2, 2); })));
    QCOMPARE(Status(), QStringLiteral("Frame sent dark: it would hold the beam on one spot"));
    QVERIFY(SentBy(receiver, [&] { child->SelectSlots(1, 1); }) == shown(1));
    QVERIFY(Dark(SentBy(receiver, [&] { child->SelectSlots(3, 3); })));
    QCOMPARE(Status(), QStringLiteral("Frame sent dark: it would hold the beam on one spot for over a fifth of a "
                                      "pass"));
    MainForm->Language = 1;
    MainForm->ApplyLanguage();
    QCOMPARE(Status(), QStringLiteral("Frame dunkel gesendet: er würde den Strahl über ein Fünftel eines "
                                      "Durchlaufs auf einem Punkt halten"));
    MainForm->Language = 0;
    MainForm->ApplyLanguage();

    // A change of the shown slot's points, and an empty slot.
    child->SelectSlots(1, 1);
    const std::vector<TSample> changed = SentBy(receiver, [&] {
        child->Cat.Frames.SetFrame(1, Figure(77, 2));
        child->CatalogChanged();
    });
    QVERIFY(changed == shown(1));
    QCOMPARE(Status(), QStringLiteral("Laser on: 127.0.0.1:%1, 30 kpps").arg(receiver.Port()));
    QVERIFY(Dark(SentBy(receiver, [&] { child->SelectSlots(9, 9); })));

    // Playback: the frame it is at.
    child->SelectSlots(0, 1);
    QVERIFY(SentBy(receiver, [&] { MainForm->Preview->PositionSlider->setValue(1); }) == shown(1));

    // No window: dark.
    QVERIFY(Dark(SentBy(receiver, [&] {
        child->Modified = false;
        MainForm->FileClose1->trigger();
        QTRY_VERIFY(MainForm->MDIChildCount() == 0);
    })));
}

void TestLaserWindow::escapeIsBlackout()
{
    TReceiver receiver;
    Laser()->Address = QStringLiteral("127.0.0.1:%1").arg(receiver.Port());
    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    MainForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));

    // Esc inside a dialog belongs to the dialog.
    MainForm->LaserOutput1->trigger();
    QVERIFY(Laser()->On());
    WhenModal([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    MainForm->LaserSettings1->trigger();
    QVERIFY(Laser()->On());
    MainForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));

    // In the catalog window it stops the output at once.
    child->SpinEdit->setFocus();
    QTest::keyClick(child->SpinEdit, Qt::Key_Escape);
    QVERIFY(!Laser()->On());
    QVERIFY(!MainForm->LaserOutput1->isChecked());
    QCOMPARE(Status(), QStringLiteral("Laser off"));
    QVERIFY(receiver.WaitFor(3));
    QVERIFY(IsClose(receiver));

    // And in the main window.
    MainForm->LaserOutput1->trigger();
    QVERIFY(Laser()->On());
    const size_t before = receiver.Datagrams.size();
    QTest::keyClick(MainForm, Qt::Key_Escape);
    QVERIFY(!Laser()->On());
    QVERIFY(receiver.WaitFor(before + 3));
    QVERIFY(IsClose(receiver));
}

void TestLaserWindow::noAddressAsksForOne()
{
    TReceiver receiver;
    // Cancelled: output stays off and nothing is sent.
    WhenModal([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    MainForm->LaserOutput1->trigger();
    QVERIFY(!Laser()->On());
    QVERIFY(!MainForm->LaserOutput1->isChecked());
    QCOMPARE(Status(), QStringLiteral("Laser off"));

    // An address given: output starts.
    const QString address = QStringLiteral("127.0.0.1:%1").arg(receiver.Port());
    WhenModal([address](QWidget* dialog) {
        auto* box = qobject_cast<TProjectorSettingsBox*>(dialog);
        QVERIFY(box);
        box->EditAddress->setText(QStringLiteral("no good:x"));
        QVERIFY(!box->Buttons->button(QDialogButtonBox::Ok)->isEnabled());
        box->EditAddress->setText(address);
        box->Buttons->button(QDialogButtonBox::Ok)->click();
    });
    MainForm->LaserOutput1->trigger();
    QVERIFY(Laser()->On());
    QCOMPARE(Laser()->Address, address);
    QVERIFY(receiver.WaitFor(1));

    // Clearing the address stops the output.
    WhenModal([](QWidget* dialog) {
        auto* box = qobject_cast<TProjectorSettingsBox*>(dialog);
        box->EditAddress->clear();
        box->Buttons->button(QDialogButtonBox::Ok)->click();
    });
    MainForm->LaserSettings1->trigger();
    QVERIFY(!Laser()->On());
    QVERIFY(receiver.WaitFor(3));
    QVERIFY(IsClose(receiver));
}

// A search lists the projector that answers, and choosing it takes its
// address and service; the point rate goes into the preview's facts.
void TestLaserWindow::settingsAndSearch()
{
    TResponder responder("Beamer", "", 0, QByteArray("\x04\x18\x00\x01", 4) + Entry(4, 0x80, 0, "Left"));
    ResponderPort = responder.Target().Port;
    WhenModal([](QWidget* dialog) {
        auto* box = qobject_cast<TProjectorSettingsBox*>(dialog);
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QStringLiteral("Projector settings"));
        QCOMPARE(box->SpinPointRate->value(), 30000);
        box->ButtonSearch->click();
        QTRY_VERIFY(!box->Discovery.Scanning());
        QCOMPARE(box->ListProjectors->topLevelItemCount(), 1);
        QTreeWidgetItem* item = box->ListProjectors->topLevelItem(0);
        QCOMPARE(item->text(0), QStringLiteral("Beamer"));
        QCOMPARE(item->text(1), QStringLiteral("127.0.0.1:%1").arg(ResponderPort));
        QCOMPARE(item->text(2), QStringLiteral("4 Left"));
        item->setSelected(true);
        QCOMPARE(box->SpinService->value(), 4);
        QCOMPARE(box->SpinLargestDatagram->value(), 1472);
        box->SpinLargestDatagram->setValue(9000);
        box->SpinPointRate->setValue(45000);
        box->Buttons->button(QDialogButtonBox::Ok)->click();
    });
    MainForm->LaserSettings1->trigger();
    QCOMPARE(Laser()->Address, QStringLiteral("127.0.0.1:%1").arg(ResponderPort));
    QCOMPARE(Laser()->Service, 4);
    QCOMPARE(Laser()->PointRate, 45000);
    QCOMPARE(Laser()->LargestDatagram, 9000);
    QVERIFY(!Laser()->On()); // settings alone start nothing

    // The preview's facts give the pass at the new rate: 9 steps of 45 kpps.
    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    child->Cat.Frames.SetFrame(0, Figure(10));
    child->CatalogChanged();
    MainForm->Preview->show();
    child->SelectSlots(0, 0);
    QVERIFY(MainForm->Preview->Facts().endsWith(QStringLiteral(", 0.2 ms at 45 kpps")));
}

// A modal dialog runs an event loop of its own: the timers of the stream
// keep firing, so the projector keeps getting the frame.
void TestLaserWindow::streamGoesOnBehindDialogs()
{
    TReceiver receiver;
    Laser()->Address = QStringLiteral("127.0.0.1:%1").arg(receiver.Port());
    MainForm->LaserOutput1->trigger();
    QVERIFY(receiver.WaitFor(1));
    size_t during = 0;
    WhenModal([&receiver, &during](QWidget* dialog) {
        const size_t before = receiver.Datagrams.size();
        QTest::qWait(1000); // runs the dialog's loop
        receiver.Read();
        during = receiver.Datagrams.size() - before;
        static_cast<QDialog*>(dialog)->reject();
    });
    MainForm->HelpAbout1->trigger();
    QVERIFY2(during >= 2, qPrintable(QString::number(during)));
    QVERIFY(Laser()->On());
}

void TestLaserWindow::streamAndBlackoutDuringLongSaves_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("dialogShown"); // the progress dialog has come up
    for (const char* command : {"File › Save", "File › Export ILDA"}) {
        QTest::addRow("%s", command) << QString::fromUtf8(command) << false;
        QTest::addRow("%s, progress dialog shown", command) << QString::fromUtf8(command) << true;
    }
}

// A save of a large catalog or an ILDA export on a slow disk: meanwhile the
// frame keeps going out, and Esc stops the output at once (also with the
// progress dialog in front); the file is then written whole.
void TestLaserWindow::streamAndBlackoutDuringLongSaves()
{
    QFETCH(QString, command);
    QFETCH(bool, dialogShown);
    const bool save = command == QStringLiteral("File › Save");
    TReceiver receiver;
    Laser()->Address = QStringLiteral("127.0.0.1:%1").arg(receiver.Port());
    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    for (int slot = 0; slot < TZLT_Cat::SlotCount; ++slot) // 25 MiB of frames
        child->Cat.Frames.SetFrame(slot, Figure(100, 7));
    child->CatalogChanged();
    child->SelectSlots(0, 0);
    QTemporaryDir dir;
    const QString path = dir.filePath(save ? QStringLiteral("big.cat") : QStringLiteral("big.ild"));
    child->setWindowTitle(path);
    TFileDialog::TestHook = [path](TFileDialog& dialog) {
        dialog.FileName = path;
        return true;
    };
    MainForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));
    MainForm->LaserOutput1->trigger();
    QVERIFY(receiver.WaitFor(1));

    ProgressDelayMs = dialogShown ? 0 : 3600 * 1000;
    const ZLT_Files::SyncFunction oldSync = ZLT_Files::SetSyncFunction(&SlowSync);
    SyncGo = false;
    bool writing = false, modal = false, off = false, closed = false;
    size_t during = 0;
    QTimer::singleShot(0, MainForm, [&] {
        QTRY_VERIFY_WITH_TIMEOUT(SyncWaiting, 5000);
        receiver.Read();
        const size_t before = receiver.Datagrams.size();
        QTest::qWait(600);
        receiver.Read();
        during = receiver.Datagrams.size() - before;
        QWidget* dialog = QApplication::activeModalWidget();
        modal = dialog != nullptr;
        QTest::keyClick(dialog ? dialog : static_cast<QWidget*>(MainForm), Qt::Key_Escape);
        off = !Laser()->On();
        closed = receiver.WaitFor(receiver.Datagrams.size() + 2) && IsClose(receiver);
        writing = SyncWaiting;
        SyncGo = true;
    });
    (save ? MainForm->FileSave1 : MainForm->FileExportIlda1)->trigger();
    ZLT_Files::SetSyncFunction(oldSync);
    ProgressDelayMs = 500;
    TFileDialog::TestHook = nullptr;

    QVERIFY(writing);
    QCOMPARE(modal, dialogShown);
    QVERIFY2(during >= 3, qPrintable(QString::number(during))); // the frame at least every 150 ms
    QVERIFY(off);
    QVERIFY(closed);
    // The file is whole, as without output.
    const QByteArray written = ZLT_Files::ReadWholeFile(path);
    if (save) {
        QCOMPARE(written, child->Cat.ToBytes());
        QVERIFY(!child->Modified);
    } else {
        QCOMPARE(written.left(4), QByteArray("ILDA"));
        QVERIFY(written.size() > 100 * 32767);
    }
}

// The end of the program closes the stream; the settings are kept, but not
// whether output was on.
void TestLaserWindow::settingsKeptOutputNot()
{
    TReceiver receiver;
    Laser()->Address = QStringLiteral("127.0.0.1:%1").arg(receiver.Port());
    Laser()->PointRate = 20000;
    Laser()->Service = 2;
    MainForm->LaserOutput1->trigger();
    QVERIFY(receiver.WaitFor(1));
    MainForm->close();
    QVERIFY(receiver.WaitFor(3));
    QVERIFY(IsClose(receiver));
    const TIniFile ini(IniPath());
    QCOMPARE(ini.ReadString(QStringLiteral("Laser"), QStringLiteral("Address"), QString()),
             QStringLiteral("127.0.0.1:%1").arg(receiver.Port()));
    QCOMPARE(ini.ReadInteger(QStringLiteral("Laser"), QStringLiteral("Service"), -1), 2);
    QCOMPARE(ini.ReadInteger(QStringLiteral("Laser"), QStringLiteral("PointRate"), -1), 20000);
    QCOMPARE(ini.ReadInteger(QStringLiteral("Laser"), QStringLiteral("LargestDatagram"), -1), 1472);
    // These keys, none of them whether output was on.
    QStringList keys;
    for (const QString& line : QString::fromUtf8(ini.Text()).section(QStringLiteral("[Laser]"), 1).split('\n'))
        if (line.startsWith(QLatin1Char('[')))
            break;
        else if (line.contains(QLatin1Char('=')))
            keys << line.section(QLatin1Char('='), 0, 0);
    QCOMPARE(keys, QStringList({"Address", "Service", "PointRate", "LargestDatagram"}));
    EndProgram();
    StartProgram();
    QCOMPARE(Laser()->PointRate, 20000);
    QVERIFY(!Laser()->On());
    QVERIFY(!MainForm->LaserOutput1->isChecked());
    QCOMPARE(Status(), QStringLiteral("Laser off"));
    receiver.Read();
    const size_t before = receiver.Datagrams.size();
    QVERIFY(receiver.Quiet());
    QCOMPARE(receiver.Datagrams.size(), before);
}

void TestLaserWindow::kinds_data()
{
    QTest::addColumn<bool>("etherDream");
    QTest::addColumn<bool>("continuous");
    QTest::addColumn<int>("points"); // of the frame shown first; then one of 300
    QTest::addColumn<TArrives>("first");
    QTest::addColumn<TArrives>("then");
    QTest::newRow("IDN frames") << false << false << 500 << TArrives::Frames << TArrives::Frames;
    QTest::newRow("IDN frame at the receivers' limit") << false << false << 28566 << TArrives::Frames
                                                        << TArrives::Frames;
    QTest::newRow("IDN frame past it streams") << false << false << 28567 << TArrives::Stream << TArrives::Frames;
    QTest::newRow("IDN continuous stream") << false << true << 500 << TArrives::Stream << TArrives::Stream;
    QTest::newRow("Ether Dream") << true << false << 500 << TArrives::Dac << TArrives::Dac;
}

// What the preview shows goes out by the kind chosen, and Esc makes it
// dark for every kind.
void TestLaserWindow::kinds()
{
    QFETCH(bool, etherDream);
    QFETCH(bool, continuous);
    QFETCH(int, points);
    QFETCH(TArrives, first);
    QFETCH(TArrives, then);
    TReceiver receiver;
    TDacThread dac;
    uint16_t port = receiver.Port();
    if (etherDream)
        dac.Run([&] { port = dac.Dac->Port(); });
    Laser()->Kind = etherDream ? TOutputKind::EtherDream : TOutputKind::Idn;
    Laser()->Continuous = continuous;
    Laser()->Address = QStringLiteral("127.0.0.1:%1").arg(port);
    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    child->Cat.Frames.SetFrame(0, Figure(points, 9));
    // Another drawing, apart from the first from its first point on.
    auto other = std::make_unique<TZLT_Frame>();
    for (int i = 0; i < 300; ++i) {
        const TZLT_Point p = Figure(300, 4)->GetPoint(i);
        other->Add(TZLT_Point(int16_t(p.X() ^ 0x1234), p.Y(), 0, p.Status(), 0));
    }
    child->Cat.Frames.SetFrame(1, std::move(other));
    child->CatalogChanged();
    child->SelectSlots(0, 0);

    // Whether the frame of slot arrived, alone, as a whole frame or from its
    // first point on looped, in what came from the start (or from now on).
    const auto arrived = [&](TArrives how, int slot, bool fromStart) {
        const std::vector<TSample> expected = Expected(child->Cat.Frames.GetFrame(slot), child->Pal);
        const size_t from = fromStart                ? 0
                            : how == TArrives::Dac ? dac.Get(&TFakeDac::Played).size()
                                                   : receiver.Datagrams.size();
        QTest::qWait(400);
        receiver.Read();
        const std::vector<TPlayed> played = dac.Get(&TFakeDac::Played);
        if (how == TArrives::Frames) {
            const std::vector<TFrame> frames = Frames(receiver.Datagrams, from);
            return !frames.empty() && Samples(frames.back().Data) == expected &&
                   WaveChunks(receiver.Datagrams, from).empty();
        }
        std::vector<TSample> got;
        if (how == TArrives::Dac) {
            for (size_t i = from; i < played.size(); ++i) {
                const TPlayed& p = played[i];
                got.push_back({p.X, p.Y, uint8_t(p.R >> 8), uint8_t(p.G >> 8), uint8_t(p.B >> 8)});
            }
        } else {
            QByteArray bytes;
            for (const TWaveChunk& chunk : WaveChunks(receiver.Datagrams, from))
                bytes += chunk.Data;
            got = Samples(bytes);
            if (!Frames(receiver.Datagrams, from).empty())
                return false;
        }
        size_t start = 0;
        while (start + 1 < got.size() && !(got[start] == expected[0] && got[start + 1] == expected[1]))
            ++start;
        if (got.size() < start + std::min<size_t>(expected.size(), 3000))
            return false;
        for (size_t i = start; i < got.size(); ++i)
            if (!(got[i] == expected[(i - start) % expected.size()]))
                return false;
        return true;
    };

    MainForm->LaserOutput1->trigger();
    QVERIFY(Laser()->On());
    QVERIFY(arrived(first, 0, true));
    QCOMPARE(Status(), QStringLiteral("Laser on: 127.0.0.1:%1, 30 kpps").arg(port));
    child->SelectSlots(1, 1);
    QVERIFY(arrived(then, 1, false));

    if (etherDream) {
        // A stall of the event loop does not reach the points, which go out
        // from a thread of their own.
        QThread::msleep(150);
        QTest::qWait(100);
        QCOMPARE(dac.Get(&TFakeDac::Underflows), 0);
        // A ring that ran empty all the same is shown, and the DAC plays again.
        dac.Run([&] { dac.Dac->Underflow(); });
        QTRY_COMPARE(Status(), QStringLiteral("Laser on: 127.0.0.1:%1, 30 kpps, underrun").arg(port));
        QVERIFY(arrived(then, 1, false));
        dac.Run([&] { dac.Dac->EmergencyStop(); });
        QTRY_COMPARE(Status(), QStringLiteral("Laser: DAC stopped (emergency stop)"));
        MainForm->Language = 1;
        MainForm->ApplyLanguage();
        QCOMPARE(Status(), QStringLiteral("Laser: DAC gestoppt (Not-Aus)"));
        MainForm->Language = 0;
        MainForm->ApplyLanguage();
        // On again: the stop is cleared, and the frame plays.
        MainForm->LaserOutput1->trigger();
        MainForm->LaserOutput1->trigger();
        QVERIFY(Laser()->On());
        QVERIFY(arrived(then, 1, false));
        QCOMPARE(dac.Get(&TFakeDac::Commands).count('c'), 1);
    }

    QTest::keyClick(MainForm, Qt::Key_Escape);
    QVERIFY(!Laser()->On());
    if (etherDream) {
        QTRY_VERIFY(dac.Get(&TFakeDac::Commands).endsWith('s'));
        QCOMPARE(dac.Get(&TFakeDac::Playback), uint8_t(TFakeDac::Idle));
    } else {
        QVERIFY(receiver.WaitFor(receiver.Datagrams.size() + 2));
        QVERIFY(IsClose(receiver.Datagrams, then == TArrives::Stream ? 0x01 : 0x02));
    }
}

void TestLaserWindow::kindSettings_data()
{
    QTest::addColumn<QByteArray>("ini"); // the [Laser] section's lines
    QTest::addColumn<bool>("etherDream");
    QTest::addColumn<bool>("continuous");
    QTest::addColumn<int>("latencyMs");
    QTest::addColumn<QStringList>("saved"); // its keys when written again

    const QStringList old{"Address", "Service", "PointRate", "LargestDatagram"};
    QTest::newRow("no kind: IDN, as before") << QByteArray("Address=10.0.0.9\nPointRate=25000\n") << false << false
                                             << 50 << old;
    QTest::newRow("Ether Dream") << QByteArray("Address=10.0.0.9\nKind=EtherDream\nLatencyMs=80\n") << true << false
                                 << 80 << old + QStringList{"Kind", "LatencyMs"};
    QTest::newRow("IDN continuous") << QByteArray("Address=10.0.0.9\nKind=IDN\nIdnMode=Continuous\n") << false << true
                                    << 50 << old + QStringList{"Kind", "IdnMode"};
    QTest::newRow("unknown kind, latency out of range")
        << QByteArray("Kind=Laserbox\nLatencyMs=5\n") << false << false << 20 << old + QStringList{"Kind", "LatencyMs"};
}

// The kind, the IDN mode and the latency come back from the settings file
// and go into it again; a file without them means IDN frames.
void TestLaserWindow::kindSettings()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, etherDream);
    QFETCH(bool, continuous);
    QFETCH(int, latencyMs);
    QFETCH(QStringList, saved);
    EndProgram();
    WriteIni("[Application]\nLanguage=0\nPathToPalettes=C:\\laser\\\n[Laser]\n" + ini);
    StartProgram();
    QCOMPARE(Laser()->Kind == TOutputKind::EtherDream, etherDream);
    QCOMPARE(Laser()->Continuous, continuous);
    QCOMPARE(Laser()->LatencyMs, latencyMs);
    MainForm->close();
    const TIniFile file(IniPath());
    QStringList keys;
    for (const QString& line : QString::fromUtf8(file.Text()).section(QStringLiteral("[Laser]"), 1).split('\n'))
        if (line.startsWith(QLatin1Char('[')))
            break;
        else if (line.contains(QLatin1Char('=')))
            keys << line.section(QLatin1Char('='), 0, 0);
    keys.sort();
    saved.sort();
    QCOMPARE(keys, saved);
    if (etherDream)
        QCOMPARE(file.ReadString(QStringLiteral("Laser"), QStringLiteral("Kind"), QString()), QStringLiteral("EtherDream"));
    EndProgram();
    StartProgram();
}

// The search lists Ether Dream DACs beside IDN projectors; picking one
// makes the kind Ether Dream, with its address and its highest rate.
void TestLaserWindow::etherDreamSearch()
{
    TResponder responder("Beamer", "", 0, QByteArray());
    ResponderPort = responder.Target().Port;
    TEtherDreamDiscovery::Port = FreePort();
    TBroadcaster broadcaster(TEtherDreamDiscovery::Port);
    broadcaster.Datagrams = {Broadcast("\x00\x04\xA3\x01\x02\x03", 2, 3, 1799, 50000)};
    WhenModal([](QWidget* dialog) {
        auto* box = qobject_cast<TProjectorSettingsBox*>(dialog);
        QVERIFY(box);
        QCOMPARE(box->ComboKind->currentText(), QStringLiteral("IDN projector"));
        QCOMPARE(box->ComboKind->itemText(1), QStringLiteral("Ether Dream"));
        QCOMPARE(box->ComboIdnMode->currentText(), QStringLiteral("Frames"));
        QCOMPARE(box->ComboIdnMode->itemText(1), QStringLiteral("Continuous stream"));
        QVERIFY(box->SpinLatency->isHidden());
        box->ButtonSearch->click();
        QTRY_VERIFY(box->ButtonSearch->isEnabled());
        QCOMPARE(box->ListProjectors->topLevelItemCount(), 2);
        QTreeWidgetItem* item = box->ListProjectors->topLevelItem(1);
        QCOMPARE(item->text(0), QStringLiteral("Ether Dream 00:04:a3:01:02:03"));
        QCOMPARE(item->text(1), QStringLiteral("127.0.0.1"));
        QCOMPARE(item->text(2), QStringLiteral("hardware 2, software 3, buffer 1799"));
        item->setSelected(true);
        QCOMPARE(box->ComboKind->currentIndex(), 1);
        QVERIFY(!box->SpinLatency->isHidden());
        QVERIFY(box->SpinService->isHidden());
        QCOMPARE(box->SpinLatency->value(), 50);
        QCOMPARE(box->SpinPointRate->maximum(), 50000);
        box->SpinLatency->setValue(70);
        box->Buttons->button(QDialogButtonBox::Ok)->click();
    });
    MainForm->LaserSettings1->trigger();
    QVERIFY(Laser()->Kind == TOutputKind::EtherDream);
    QCOMPARE(Laser()->Address, QStringLiteral("127.0.0.1"));
    QCOMPARE(Laser()->LatencyMs, 70);
    TIdnAddress address;
    QVERIFY(TPointOutputs::ParseAddress(Laser()->Kind, Laser()->Address, address));
    QCOMPARE(address.Port, uint16_t(7765));

    MainForm->Language = 1;
    MainForm->ApplyLanguage();
    WhenModal([](QWidget* dialog) {
        auto* box = qobject_cast<TProjectorSettingsBox*>(dialog);
        QCOMPARE(box->ComboKind->itemText(0), QStringLiteral("IDN-Projektor"));
        QCOMPARE(box->ComboIdnMode->itemText(1), QStringLiteral("Kontinuierlicher Strom"));
        QCOMPARE(box->SpinLatency->value(), 70);
        static_cast<QDialog*>(dialog)->reject();
    });
    MainForm->LaserSettings1->trigger();
}

QTEST_MAIN(TestLaserWindow)
#include "tst_output_laserwindow.moc"

void TestLaserWindow::scannerProfile_data()
{
    QTest::addColumn<QByteArray>("ini");         // the settings before the program starts
    QTest::addColumn<TScannerProfile>("shown");  // what the dialog shows
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("defaults");          // the Defaults button is pressed
    QTest::addColumn<int>("litStep");            // typed; -1 for none
    QTest::addColumn<bool>("ok");
    TScannerProfile fromFile;
    fromFile.LitStep = 1, fromFile.CornerAngle = 180, fromFile.KeepOrder = true, fromFile.ReversalUs = 150;
    TScannerProfile edited;
    edited.LitStep = 300, edited.AnchorUs = 0;
    const QByteArray clamped = "[Scanner]\nLitStep=0\nCornerAngle=500\nWaitUs=abc\nKeepOrder=1\nReversalUs=150\n"
                               "[Laser]\nPointRate=20000\n";
    const QByteArray edits = "[Scanner]\nLitStep=300\nAnchorUs=0\n";
    QTest::newRow("defaults, OK") << QByteArray() << TScannerProfile() << 0 << false << -1 << true;
    QTest::newRow("typed, OK") << QByteArray() << TScannerProfile() << 0 << false << 200 << true;
    QTest::newRow("typed, Cancel") << QByteArray() << TScannerProfile() << 0 << false << 200 << false;
    QTest::newRow("from the file, clamped, German") << clamped << fromFile << 1 << false << 300 << true;
    QTest::newRow("Defaults button, OK") << edits << edited << 0 << true << -1 << true;
    QTest::newRow("Defaults button, Cancel") << edits << edited << 1 << true << -1 << false;
}

// Frames › Scanner profile: the profile of the settings (missing keys are
// the defaults, values out of range clamped), the projector's rate shown;
// while it is open the preview and the laser show the leftmost selected
// frame optimised as typed, with points and pass time before and after.
// OK keeps the profile in [Scanner] at the end of the program, Cancel
// keeps nothing; the values come back at the next start.
void TestLaserWindow::scannerProfile()
{
    QFETCH(QByteArray, ini);
    QFETCH(TScannerProfile, shown);
    QFETCH(int, language);
    QFETCH(bool, defaults);
    QFETCH(int, litStep);
    QFETCH(bool, ok);
    if (!ini.isEmpty()) {
        EndProgram();
        WriteIni(ini);
        StartProgram();
    }
    const bool german = language == 1;
    MainForm->Language = language;
    MainForm->ApplyLanguage();
    const int rate = ini.contains("PointRate") ? 20000 : 30000;
    MainForm->Preview->show();
    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    child->Cat.Frames.SetFrame(2, Lines(14));
    child->Cat.Frames.SetFrame(3, Lines(3));
    child->CatalogChanged();
    child->SelectSlots(2, 4);
    child->Modified = false;
    const TZLT_Frame& frame = child->Cat.Frames.GetFrame(2);
    TReceiver receiver;
    Laser()->Address = QStringLiteral("127.0.0.1:%1").arg(receiver.Port());
    QVERIFY(Laser()->Start());

    TScannerProfile typed = defaults ? TScannerProfile() : shown;
    if (litStep >= 0)
        typed.LitStep = litStep;
    qint64 neededBefore = 0, neededAfter = 0;
    const TZLT_Frame::Points before = OptimisedPoints(frame, shown, rate, neededBefore);
    const TZLT_Frame::Points after = OptimisedPoints(frame, typed, rate, neededAfter);
    QVERIFY((before != after) == (typed != shown));
    QVERIFY(neededAfter > 1000);

    TScannerProfile opened;
    QString title, rateText, defaultsText, factsBefore, factsAfter;
    bool previewBefore = false, previewAfter = false, laserAfter = false;
    WhenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<TScannerDialog*>(modal);
        QVERIFY(dialog);
        opened = dialog->Profile();
        title = dialog->windowTitle();
        rateText = dialog->PointRate->text();
        defaultsText = dialog->DefaultsButton->text();
        factsBefore = MainForm->Preview->Facts();
        previewBefore = MainForm->Preview->ShownFrame()->AllPoints() == before;
        if (defaults)
            dialog->DefaultsButton->click();
        if (litStep >= 0) {
            dialog->Fields[TScannerDialog::LitStep]->selectAll();
            QTest::keyClicks(dialog->Fields[TScannerDialog::LitStep], QString::number(litStep));
        }
        factsAfter = MainForm->Preview->Facts();
        previewAfter = MainForm->Preview->ShownFrame()->AllPoints() == after;
        auto shownFrame = std::make_unique<TZLT_Frame>();
        shownFrame->AllPoints() = after;
        laserAfter = Samples(Laser()->Session.Frame()) == Expected(*shownFrame, child->Pal);
        (ok ? dialog->accept() : dialog->reject());
    });
    MainForm->Frames->ScannerProfile1->trigger();

    TScannerProfile expectedOpened = shown;
    expectedOpened.PointRate = rate;
    QCOMPARE(opened, expectedOpened);
    QCOMPARE(title, german ? QStringLiteral("Scanner-Profil") : QStringLiteral("Scanner profile"));
    QCOMPARE(defaultsText, german ? QStringLiteral("Standardwerte") : QStringLiteral("Defaults"));
    QCOMPARE(rateText, german ? QStringLiteral("%1 Punkte pro Sekunde (Projektor-Einstellungen)").arg(rate == 20000 ? "20.000" : "30.000")
                              : QStringLiteral("%1 points per second (projector settings)").arg(rate == 20000 ? "20,000" : "30,000"));
    QVERIFY(previewBefore);
    QVERIFY(previewAfter);
    QVERIFY(laserAfter);
    QCOMPARE(factsBefore, ScannerFacts(2, frame.Count(), neededBefore, rate, german));
    QCOMPARE(factsAfter, ScannerFacts(2, frame.Count(), neededAfter, rate, german));
    // The dialog changes no frame; the preview is back to the slot's own.
    QCOMPARE(MainForm->Preview->ShownFrame(), &frame);
    QVERIFY(!MainForm->Preview->Facts().contains(QStringLiteral("→")));
    QCOMPARE(child->History.UndoCount(), 0);
    const TScannerProfile kept = ok ? typed : shown;
    QCOMPARE(MainForm->Frames->Scanner, kept);

    child->Modified = false;
    MainForm->close(); // the settings reach the file
    EndProgram();
    const QByteArray text = ReadFile(IniPath());
    // [Application] as it always is.
    const qsizetype application = text.indexOf("[Application]\n");
    QVERIFY(application >= 0);
    QCOMPARE(QString::fromUtf8(text.mid(application)).section(QLatin1Char('['), 1, 1).trimmed(),
             QStringLiteral("Application]\nLanguage=%1\nPathToPalettes=C:\\laser\\").arg(language));
    const bool written = !ini.isEmpty() || kept != TScannerProfile();
    QCOMPARE(text.contains("[Scanner]"), written);
    if (written) {
        const TIniFile file(IniPath());
        const QString section = QStringLiteral("Scanner");
        QCOMPARE(file.ReadInteger(section, QStringLiteral("LitStep"), -1), kept.LitStep);
        QCOMPARE(file.ReadInteger(section, QStringLiteral("BlankedStep"), -1), kept.BlankedStep);
        QCOMPARE(file.ReadInteger(section, QStringLiteral("ReversalUs"), -1), kept.ReversalUs);
        QCOMPARE(file.ReadInteger(section, QStringLiteral("AnchorUs"), -1), kept.AnchorUs);
        QCOMPARE(file.ReadInteger(section, QStringLiteral("WaitUs"), -1), kept.WaitUs);
        QCOMPARE(file.ReadInteger(section, QStringLiteral("ColourDelayUs"), -1), kept.ColourDelayUs);
        QCOMPARE(file.ReadInteger(section, QStringLiteral("KeepOrder"), -1), kept.KeepOrder ? 1 : 0);
        QCOMPARE(file.ReadString(section, QStringLiteral("CornerAngle"), QString()).toDouble(), kept.CornerAngle);
    }
    // The values come back.
    StartProgram();
    QCOMPARE(MainForm->Frames->Scanner, kept);
}
