#include "LaserLink.h"

#include "CHILDWIN.h"
#include "FramePreview.h"
#include "Guard.h"
#include "IniFile.h"
#include "Language.h"
#include "ProjectorSettings.h"

#include <QAction>
#include <QComboBox>
#include <QHostInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSpinBox>
#include <QStatusBar>

#include <algorithm>
#include <array>

const QString TLaserLink::IniSection = QStringLiteral("Laser");

namespace {
// The status field's texts: English, German.
enum TextId
{
    OffText,
    OnText,       // %1 address, %2 kpps
    NoAnswerText, // %1 address
    RefusedText,  // %1 address, %2 reason
    NotConnectedText,
    OccupiedText,
    ExcludedText,
    InvalidPayloadText,
    OtherErrorText, // %1 code
    SendFailedText, // %1 address, %2 reason
    NotFoundText,   // %1 address
    OneSpotText,
    TooLongText,
    LongDwellText,
    LossyText,
    LookingUpText, // %1 host
};
constexpr std::array<TTextRow, 16> Texts{{
    {u"Laser off", u"Laser aus"},
    {u"Laser on: %1, %2 kpps", u"Laser an: %1, %2 kpps"},
    {u"Laser: no answer from %1", u"Laser: keine Antwort von %1"},
    {u"Laser: %1 refuses: %2", u"Laser: %1 lehnt ab: %2"},
    {u"not connected", u"nicht verbunden"},
    {u"occupied by another sender", u"von einem anderen Sender belegt"},
    {u"this sender is excluded", u"dieser Sender ist ausgeschlossen"},
    {u"invalid data", u"ungültige Daten"},
    {u"error %1", u"Fehler %1"},
    {u"Laser off: sending to %1 failed: %2", u"Laser aus: Senden an %1 fehlgeschlagen: %2"},
    {u"Laser off: %1 not found", u"Laser aus: %1 nicht gefunden"},
    {u"Frame sent dark: it would hold the beam on one spot",
     u"Frame dunkel gesendet: er würde den Strahl auf einem Punkt halten"},
    {u"Frame sent dark: one pass would take longer than 16.7 s",
     u"Frame dunkel gesendet: ein Durchlauf würde länger als 16,7 s dauern"},
    {u"Frame sent dark: it would hold the beam on one spot for over a fifth of a pass",
     u"Frame dunkel gesendet: er würde den Strahl über ein Fünftel eines Durchlaufs auf einem Punkt halten"},
    {u"Laser: the projector reports lost or refused frames", u"Laser: der Projektor meldet verlorene oder abgelehnte Frames"},
    {u"Laser: looking up %1...", u"Laser: suche %1..."},
}};

QString Text(TextId id)
{
    return Tr(Texts[size_t(id)]);
}

// The status field's texts of the point streams: English, German.
enum PointTextId
{
    UnderrunText,
    EmergencyStopText,
};
constexpr std::array<TTextRow, 2> PointTexts{{
    {u"underrun", u"Pufferunterlauf"},
    {u"Laser: DAC stopped (emergency stop)", u"Laser: DAC gestoppt (Not-Aus)"},
}};

QString Text(PointTextId id)
{
    return Tr(PointTexts[size_t(id)]);
}

QString Reason(int code)
{
    code &= 0xFF;
    return code == 0xEB   ? Text(NotConnectedText)
           : code == 0xEC ? Text(OccupiedText)
           : code == 0xED ? Text(ExcludedText)
           : code == 0xEE ? Text(InvalidPayloadText)
                          : Text(OtherErrorText).arg(QStringLiteral("0x%1").arg(code, 2, 16));
}

// The toolbar's picture of the output: a grey beam when off, a bright red
// one on a dark field when on.
QIcon LaserIcon()
{
    QIcon icon;
    for (const bool on : {false, true}) {
        QPixmap picture(16, 16);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        if (on)
            painter.fillRect(0, 0, 16, 16, QColor(40, 0, 0));
        painter.setPen(QPen(on ? QColor(255, 40, 40) : QColor(128, 128, 128), on ? 2.5 : 1.5));
        painter.drawLine(QPointF(2, 14), QPointF(14, 2));
        painter.setBrush(on ? QColor(255, 220, 0) : QColor(96, 96, 96));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPointF(3.5, 12.5), 3, 3);
        painter.end();
        icon.addPixmap(picture, QIcon::Normal, on ? QIcon::On : QIcon::Off);
    }
    return icon;
}

QString Kpps(int rate)
{
    return DecimalText(rate / 1000.0, rate % 1000 == 0 ? 0 : 1);
}
} // namespace

TLaserLink::TLaserLink(TFramePreview* preview, QStatusBar* statusBar, QObject* parent)
    : QObject(parent), FPreview(preview)
{
    StatusLabel = new QLabel(statusBar);
    StatusLabel->setObjectName(QStringLiteral("LaserStatus"));
    StatusLabel->setTextFormat(Qt::PlainText);
    statusBar->addPermanentWidget(StatusLabel);
    connect(preview, &TFramePreview::ShownFrameChanged, this, [this] { RunGuarded([this] { FrameShown(); }); });
    connect(&Session, &TIdnSession::StateChanged, this, &TLaserLink::ShowState);
    connect(&Points, &TPointOutputs::StateChanged, this, &TLaserLink::ShowState);
    ShowState();
}

TLaserLink::~TLaserLink()
{
    // The status field may be gone already: only the projector is told.
    disconnect(&Session, nullptr, this, nullptr);
    disconnect(&Points, nullptr, this, nullptr);
    if (FLookup >= 0)
        QHostInfo::abortHostLookup(FLookup);
    Session.Stop();
    Points.Stop();
}

void TLaserLink::Attach(QAction* output, QAction* blackout)
{
    FOutput = output;
    output->setCheckable(true);
    output->setIcon(LaserIcon());
    // Blackout is never held back, not even behind a job's progress dialog,
    // and Esc works in the preview pane floating in a window of its own too.
    connect(blackout, &QAction::triggered, this, &TLaserLink::Stop);
    FPreview->addAction(blackout);
    ShowState();
}

void TLaserLink::OutputCommand(bool on, QWidget* parent)
{
    if (!on) {
        Stop();
        return;
    }
    TIdnAddress address;
    if (!TPointOutputs::ParseAddress(Kind, Address, address))
        EditSettings(parent);
    if (!Start())
        ShowState(); // stays off
}

bool TLaserLink::Start()
{
    Stop();
    TIdnAddress address;
    if (!TPointOutputs::ParseAddress(Kind, Address, address))
        return false;
    FWanted = true;
    FOffReason = -1;
    FWaveFailed = false;
    const QHostAddress literal(address.Host);
    if (literal.protocol() == QAbstractSocket::IPv4Protocol) {
        StartSession(literal, address.Port);
    } else {
        FLookup = QHostInfo::lookupHost(address.Host, this, [this, address](const QHostInfo& info) {
            if (info.lookupId() != FLookup)
                return;
            FLookup = -1;
            for (const QHostAddress& found : info.addresses())
                if (found.protocol() == QAbstractSocket::IPv4Protocol) {
                    StartSession(found, address.Port);
                    return;
                }
            FWanted = false;
            FOffReason = NotFoundText;
            ShowState();
        });
        ShowState();
    }
    return true;
}

void TLaserLink::StartSession(const QHostAddress& address, uint16_t port)
{
    Session.SetLargestDatagram(LargestDatagram);
    FHost = address;
    FPort = port;
    SetShownFrame(); // starts the output the frame goes out by
    ShowState();
}

void TLaserLink::Stop()
{
    if (FLookup >= 0)
        QHostInfo::abortHostLookup(FLookup);
    FLookup = -1;
    FWanted = false;
    FOffReason = -1;
    FHost = QHostAddress();
    Session.Stop();
    Points.Stop();
    ShowState();
}

void TLaserLink::FrameShown()
{
    if (!FWanted || FHost.isNull())
        return;
    const IdnDatagrams::TDarkReason before = FDark;
    SetShownFrame();
    if (FDark != before)
        ShowState();
}

void TLaserLink::SetShownFrame()
{
    const TMDIChild* window = FPreview->Window();
    const TZLT_Frame* frame = window ? FPreview->ShownFrame() : nullptr;
    const TZLT_Pal palette = window ? window->Pal : TZLT_Pal();
    const bool running = FWanted && !FHost.isNull();
    // Ether Dream, IDN as a stream, and IDN frames too long for receivers
    // go out as points; the rest as IDN frames.
    if (TPointOutputs::Streams(Kind, Continuous, frame)) {
        FDark = Points.SetFrame(frame, palette, PointRate);
        if (running && !Points.Running()) {
            Session.Stop();
            StartPoints();
        }
        return;
    }
    FDark = Session.SetFrame(frame, palette, PointRate);
    if (running && !Session.Running()) {
        Points.Stop();
        Session.Start(FHost, FPort, uint8_t(Service), PointRate);
    }
}

void TLaserLink::StartPoints()
{
    if (Kind == TOutputKind::EtherDream)
        Points.Ether.Start(FHost, FPort, PointRate, LatencyMs, EtherBuffer);
    else
        Points.Wave.Start(FHost, FPort, uint8_t(Service), PointRate, LatencyMs, LargestDatagram);
}

bool TLaserLink::EditSettings(QWidget* parent)
{
    TProjectorSettingsBox box(parent);
    box.EditAddress->setText(Address);
    box.SpinService->setValue(Service);
    box.SpinPointRate->setValue(PointRate);
    box.SpinLargestDatagram->setValue(LargestDatagram);
    box.SetKind(Kind);
    box.ComboIdnMode->setCurrentIndex(Continuous ? 1 : 0);
    box.SpinLatency->setValue(LatencyMs);
    box.EtherBuffer = EtherBuffer;
    if (box.exec() != QDialog::Accepted)
        return false;
    Kind = box.Kind();
    Continuous = box.ComboIdnMode->currentIndex() == 1;
    LatencyMs = box.SpinLatency->value();
    EtherBuffer = box.EtherBuffer;
    Address = box.EditAddress->text().trimmed();
    Service = box.SpinService->value();
    PointRate = box.SpinPointRate->value();
    LargestDatagram = box.SpinLargestDatagram->value();
    FPreview->SetPointRate(PointRate);
    if (FWanted && !Start())
        Stop(); // no address: no output
    return true;
}

QString TLaserLink::StatusText() const
{
    using TState = TIdnSession::TState;
    if (!FWanted)
        return FOffReason == NotFoundText     ? Text(NotFoundText).arg(Address)
               : FOffReason == SendFailedText
                   ? Text(SendFailedText).arg(Address, FWaveFailed ? Points.Wave.SendError() : Session.SendError())
                                              : Text(OffText);
    if (FLookup >= 0) {
        TIdnAddress address;
        TIdnAddress::Parse(Address, address);
        return Text(LookingUpText).arg(address.Host);
    }
    if (Points.Running())
        return PointsStatusText();
    switch (Session.State()) {
    case TState::Lossy:
        return Text(LossyText);
    case TState::NoAnswer:
        return Text(NoAnswerText).arg(Address);
    case TState::Refused:
        return Text(RefusedText).arg(Address, Reason(Session.ErrorCode()));
    default:
        break;
    }
    if (const QString dark = DarkText(); !dark.isEmpty())
        return dark;
    return Text(OnText).arg(Address, Kpps(PointRate));
}

// Why the frame goes out dark, or nothing when it is lit (or simply empty).
QString TLaserLink::DarkText() const
{
    switch (FDark) {
    case IdnDatagrams::TDarkReason::OneSpot:
        return Text(OneSpotText);
    case IdnDatagrams::TDarkReason::TooLong:
        return Text(TooLongText);
    case IdnDatagrams::TDarkReason::LongDwell:
        return Text(LongDwellText);
    default:
        return QString();
    }
}

QString TLaserLink::PointsStatusText() const
{
    using TState = TPointOutputs::TState;
    switch (Points.State()) {
    case TState::NoAnswer:
        return Text(NoAnswerText).arg(Address);
    case TState::Refused:
        return Text(RefusedText).arg(Address, Reason(Points.Wave.ErrorCode()));
    case TState::Lossy:
        return Text(LossyText);
    case TState::EmergencyStop:
        return Text(EmergencyStopText);
    default:
        break;
    }
    if (const QString dark = DarkText(); !dark.isEmpty())
        return dark;
    QString text = Text(OnText).arg(Address, Kpps(PointRate));
    if (Points.Underruns() > 0)
        text += QStringLiteral(", ") + Text(UnderrunText);
    return text;
}

void TLaserLink::ShowState()
{
    if (FWanted && Session.State() == TIdnSession::TState::Failed) {
        FWanted = false;
        FOffReason = SendFailedText;
    }
    if (FWanted && Points.Wave.State() == TIdnWaveSession::TState::Failed) {
        FWanted = false;
        FOffReason = SendFailedText;
        FWaveFailed = true;
    }
    StatusLabel->setText(StatusText());
    if (FOutput)
        FOutput->setChecked(FWanted);
}

void TLaserLink::ApplyLanguage()
{
    ShowState();
}

// Keys of the section: Address (host or IPv4 address, optionally :port),
// Service (0-255), PointRate (1000-100000), LargestDatagram (512-65280
// bytes), and when set Kind (IDN, EtherDream; missing: IDN), IdnMode
// (Frames, Continuous) and LatencyMs (20-100). Whether output was on is
// never kept: it is off at every start.
namespace {
const QString AddressKey = QStringLiteral("Address");
const QString ServiceKey = QStringLiteral("Service");
const QString PointRateKey = QStringLiteral("PointRate");
const QString LargestDatagramKey = QStringLiteral("LargestDatagram");
const QString KindKey = QStringLiteral("Kind");
const QString IdnModeKey = QStringLiteral("IdnMode");
const QString LatencyKey = QStringLiteral("LatencyMs");
const QString EtherDreamName = QStringLiteral("EtherDream");
const QString ContinuousName = QStringLiteral("Continuous");
} // namespace

void TLaserLink::LoadSettings(const TIniFile& ini)
{
    Address = ini.ReadString(IniSection, AddressKey, QString()).trimmed();
    Service = std::clamp(ini.ReadInteger(IniSection, ServiceKey, 0), 0, 255);
    PointRate = std::clamp(ini.ReadInteger(IniSection, PointRateKey, TProjectorSettingsBox::DefaultPointRate),
                           TProjectorSettingsBox::MinPointRate, TProjectorSettingsBox::MaxPointRate);
    LargestDatagram = std::clamp(
        ini.ReadInteger(IniSection, LargestDatagramKey, IdnDatagrams::DefaultLargestDatagram),
        IdnDatagrams::MinLargestDatagram, IdnDatagrams::MaxLargestDatagram);
    Kind = ini.ReadString(IniSection, KindKey, QString()).trimmed().compare(EtherDreamName, Qt::CaseInsensitive) == 0
               ? TOutputKind::EtherDream
               : TOutputKind::Idn;
    Continuous =
        ini.ReadString(IniSection, IdnModeKey, QString()).trimmed().compare(ContinuousName, Qt::CaseInsensitive) == 0;
    LatencyMs = std::clamp(ini.ReadInteger(IniSection, LatencyKey, TEtherDreamSession::DefaultLatencyMs),
                           TProjectorSettingsBox::MinLatencyMs, TProjectorSettingsBox::MaxLatencyMs);
    FPreview->SetPointRate(PointRate);
}

void TLaserLink::SaveSettings(TIniFile& ini) const
{
    // A program that never set a projector leaves the file as it was.
    bool present = false;
    for (const QString& key : {AddressKey, ServiceKey, PointRateKey, LargestDatagramKey})
        present = present || ini.ValueExists(IniSection, key);
    const bool kindSet = Kind != TOutputKind::Idn || ini.ValueExists(IniSection, KindKey);
    const bool modeSet = Continuous || ini.ValueExists(IniSection, IdnModeKey);
    const bool latencySet = LatencyMs != TEtherDreamSession::DefaultLatencyMs || ini.ValueExists(IniSection, LatencyKey);
    if (!present && !kindSet && !modeSet && !latencySet && Address.isEmpty() && Service == 0 &&
        PointRate == TProjectorSettingsBox::DefaultPointRate && LargestDatagram == IdnDatagrams::DefaultLargestDatagram)
        return;
    ini.WriteString(IniSection, AddressKey, Address);
    ini.WriteInteger(IniSection, ServiceKey, Service);
    ini.WriteInteger(IniSection, PointRateKey, PointRate);
    ini.WriteInteger(IniSection, LargestDatagramKey, LargestDatagram);
    // Written once they differ from what a missing key means.
    if (kindSet)
        ini.WriteString(IniSection, KindKey, Kind == TOutputKind::EtherDream ? EtherDreamName : QStringLiteral("IDN"));
    if (modeSet)
        ini.WriteString(IniSection, IdnModeKey, Continuous ? ContinuousName : QStringLiteral("Frames"));
    if (latencySet)
        ini.WriteInteger(IniSection, LatencyKey, LatencyMs);
}
