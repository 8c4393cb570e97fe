#include "ProjectorSettings.h"

#include "IdnSession.h"
#include "Language.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QHostAddress>
#include <QHostInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <array>

QList<TIdnDiscovery::TTarget> (*TProjectorSettingsBox::ScanTargets)() = &TIdnDiscovery::BroadcastTargets;

namespace {
// The dialog's texts: English, German.
enum TextId
{
    TitleText,
    AddressText,
    AddressHintText,
    SearchText,
    SearchingText,
    HostColumnText,
    AddressColumnText,
    ServiceColumnText,
    DefaultServiceText,
    ServiceText,
    ServiceHintText,
    PointRateText,
    PpsText,
    NoneFoundText,
    CancelText,
    LargestDatagramText,
    LargestDatagramHintText,
    BytesText,
    KindText,
    IdnKindText,
    EtherDreamKindText,
    EtherAddressHintText,
    LatencyText,
    LatencyHintText,
    MsText,
    IdnModeText,
    FramesText,
    ContinuousText,
    EtherDreamRowText,
    EtherDreamDetailsText,
};
constexpr std::array<TTextRow, 30> Texts{{
    {u"Projector settings", u"Projektor-Einstellungen"},
    {u"&Address:", u"&Adresse:"},
    {u"Host name or IPv4 address of the projector, optionally with :port (default 7255)",
     u"Host-Name oder IPv4-Adresse des Projektors, wahlweise mit :Port (Standard 7255)"},
    {u"Search", u"Suchen"},
    {u"Searching...", u"Suche läuft..."},
    {u"Host name", u"Host-Name"},
    {u"Address", u"Adresse"},
    {u"Service", u"Dienst"},
    {u"default", u"Standard"},
    {u"&Service:", u"&Dienst:"},
    {u"0 = the projector's default service", u"0 = der Standarddienst des Projektors"},
    {u"&Point rate:", u"&Punktrate:"},
    {u" points per second", u" Punkte pro Sekunde"},
    {u"No projector answered.", u"Kein Projektor hat geantwortet."},
    {u"&Cancel", u"&Abbrechen"},
    {u"&Largest datagram:", u"&Größtes Datagramm:"},
    {u"1,472 bytes fit one Ethernet packet; larger datagrams only for networks known to carry them",
     u"1.472 Bytes passen in ein Ethernet-Paket; größere Datagramme nur für Netze, die sie sicher tragen"},
    {u" bytes", u" Bytes"},
    {u"&Kind:", u"A&rt:"},
    {u"IDN projector", u"IDN-Projektor"},
    {u"Ether Dream", u"Ether Dream"},
    {u"Host name or IPv4 address of the DAC, optionally with :port (default 7765)",
     u"Host-Name oder IPv4-Adresse des DAC, wahlweise mit :Port (Standard 7765)"},
    {u"La&tency:", u"La&tenz:"},
    {u"How far ahead of the light the points go out: more bridges pauses of the computer, less follows changes sooner",
     u"Wie weit die Punkte dem Licht vorausgehen: mehr überbrückt Pausen des Rechners, weniger folgt Änderungen schneller"},
    {u" ms", u" ms"},
    {u"&Output as:", u"A&usgabe als:"},
    {u"Frames", u"Frames"},
    {u"Continuous stream", u"Kontinuierlicher Strom"},
    {u"Ether Dream %1", u"Ether Dream %1"},
    {u"hardware %1, software %2, buffer %3", u"Hardware %1, Software %2, Puffer %3"},
}};
} // namespace

TProjectorSettingsBox::TProjectorSettingsBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ProjectorSettingsBox"));
    setModal(true);
    LabelKind = new QLabel(this);
    ComboKind = new QComboBox(this);
    ComboKind->setObjectName(QStringLiteral("ComboKind"));
    ComboKind->addItems({QString(), QString()});
    LabelKind->setBuddy(ComboKind);
    LabelAddress = new QLabel(this);
    EditAddress = new QLineEdit(this);
    EditAddress->setObjectName(QStringLiteral("EditAddress"));
    EditAddress->setMinimumWidth(220);
    LabelAddress->setBuddy(EditAddress);
    ButtonSearch = new QPushButton(this);
    ButtonSearch->setObjectName(QStringLiteral("ButtonSearch"));
    ButtonSearch->setAutoDefault(false);
    ListProjectors = new QTreeWidget(this);
    ListProjectors->setObjectName(QStringLiteral("ListProjectors"));
    ListProjectors->setRootIsDecorated(false);
    ListProjectors->setColumnCount(3);
    ListProjectors->setMinimumHeight(110);
    ListProjectors->header()->setStretchLastSection(true);
    LabelService = new QLabel(this);
    SpinService = new QSpinBox(this);
    SpinService->setObjectName(QStringLiteral("SpinService"));
    SpinService->setRange(0, 255);
    LabelService->setBuddy(SpinService);
    LabelPointRate = new QLabel(this);
    SpinPointRate = new QSpinBox(this);
    SpinPointRate->setObjectName(QStringLiteral("SpinPointRate"));
    SpinPointRate->setRange(MinPointRate, MaxPointRate);
    SpinPointRate->setSingleStep(1000);
    SpinPointRate->setValue(DefaultPointRate);
    SpinPointRate->setGroupSeparatorShown(true);
    LabelPointRate->setBuddy(SpinPointRate);
    LabelLargestDatagram = new QLabel(this);
    SpinLargestDatagram = new QSpinBox(this);
    SpinLargestDatagram->setObjectName(QStringLiteral("SpinLargestDatagram"));
    SpinLargestDatagram->setRange(IdnDatagrams::MinLargestDatagram, IdnDatagrams::MaxLargestDatagram);
    SpinLargestDatagram->setValue(IdnDatagrams::DefaultLargestDatagram);
    SpinLargestDatagram->setGroupSeparatorShown(true);
    LabelLargestDatagram->setBuddy(SpinLargestDatagram);
    LabelIdnMode = new QLabel(this);
    ComboIdnMode = new QComboBox(this);
    ComboIdnMode->setObjectName(QStringLiteral("ComboIdnMode"));
    ComboIdnMode->addItems({QString(), QString()});
    LabelIdnMode->setBuddy(ComboIdnMode);
    LabelLatency = new QLabel(this);
    SpinLatency = new QSpinBox(this);
    SpinLatency->setObjectName(QStringLiteral("SpinLatency"));
    SpinLatency->setRange(MinLatencyMs, MaxLatencyMs);
    SpinLatency->setSingleStep(5);
    SpinLatency->setValue(TEtherDreamSession::DefaultLatencyMs);
    LabelLatency->setBuddy(SpinLatency);
    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* grid = new QGridLayout;
    grid->addWidget(LabelKind, 0, 0);
    grid->addWidget(ComboKind, 0, 1, Qt::AlignLeft);
    grid->addWidget(LabelAddress, 1, 0);
    grid->addWidget(EditAddress, 1, 1);
    grid->addWidget(ButtonSearch, 1, 2);
    grid->addWidget(ListProjectors, 2, 1, 1, 2);
    grid->addWidget(LabelService, 3, 0);
    grid->addWidget(SpinService, 3, 1, Qt::AlignLeft);
    grid->addWidget(LabelPointRate, 4, 0);
    grid->addWidget(SpinPointRate, 4, 1, Qt::AlignLeft);
    grid->addWidget(LabelLatency, 5, 0);
    grid->addWidget(SpinLatency, 5, 1, Qt::AlignLeft);
    grid->addWidget(LabelIdnMode, 6, 0);
    grid->addWidget(ComboIdnMode, 6, 1, Qt::AlignLeft);
    grid->addWidget(LabelLargestDatagram, 7, 0);
    grid->addWidget(SpinLargestDatagram, 7, 1, Qt::AlignLeft);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(Buttons);

    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(ButtonSearch, &QPushButton::clicked, this, &TProjectorSettingsBox::ButtonSearchClick);
    connect(&Discovery, &TIdnDiscovery::Found, this, &TProjectorSettingsBox::ShowUnits);
    connect(&Discovery, &TIdnDiscovery::Finished, this, &TProjectorSettingsBox::ShowUnits);
    connect(ListProjectors, &QTreeWidget::itemSelectionChanged, this, &TProjectorSettingsBox::TakeProjector);
    connect(EditAddress, &QLineEdit::textChanged, this, &TProjectorSettingsBox::CheckAddress);
    connect(this, &QDialog::finished, &Discovery, &TIdnDiscovery::Cancel);
    connect(&EtherDiscovery, &TEtherDreamDiscovery::Found, this, &TProjectorSettingsBox::ShowUnits);
    connect(&EtherDiscovery, &TEtherDreamDiscovery::Finished, this, &TProjectorSettingsBox::ShowUnits);
    connect(this, &QDialog::finished, &EtherDiscovery, &TEtherDreamDiscovery::Cancel);
    connect(ComboKind, &QComboBox::currentIndexChanged, this, &TProjectorSettingsBox::KindChanged);
    ApplyLanguage();
    KindChanged();
}

void TProjectorSettingsBox::ApplyLanguage()
{
    setWindowTitle(Tr(Texts[TitleText]));
    LabelKind->setText(Tr(Texts[KindText]));
    ComboKind->setItemText(0, Tr(Texts[IdnKindText]));
    ComboKind->setItemText(1, Tr(Texts[EtherDreamKindText]));
    LabelAddress->setText(Tr(Texts[AddressText]));
    EditAddress->setToolTip(Tr(Texts[Kind() == TOutputKind::EtherDream ? EtherAddressHintText : AddressHintText]));
    EditAddress->setPlaceholderText(QStringLiteral("192.168.1.20"));
    ButtonSearch->setText(Tr(Texts[Searching() ? SearchingText : SearchText]));
    ListProjectors->setHeaderLabels(
        {Tr(Texts[HostColumnText]), Tr(Texts[AddressColumnText]), Tr(Texts[ServiceColumnText])});
    LabelService->setText(Tr(Texts[ServiceText]));
    SpinService->setToolTip(Tr(Texts[ServiceHintText]));
    SpinService->setSpecialValueText(QStringLiteral("0 (%1)").arg(Tr(Texts[DefaultServiceText])));
    LabelPointRate->setText(Tr(Texts[PointRateText]));
    SpinPointRate->setSuffix(Tr(Texts[PpsText]));
    LabelLargestDatagram->setText(Tr(Texts[LargestDatagramText]));
    SpinLargestDatagram->setToolTip(Tr(Texts[LargestDatagramHintText]));
    SpinLargestDatagram->setSuffix(Tr(Texts[BytesText]));
    LabelLatency->setText(Tr(Texts[LatencyText]));
    SpinLatency->setToolTip(Tr(Texts[LatencyHintText]));
    SpinLatency->setSuffix(Tr(Texts[MsText]));
    LabelIdnMode->setText(Tr(Texts[IdnModeText]));
    ComboIdnMode->setItemText(0, Tr(Texts[FramesText]));
    ComboIdnMode->setItemText(1, Tr(Texts[ContinuousText]));
    Buttons->button(QDialogButtonBox::Cancel)->setText(Tr(Texts[CancelText]));
    Buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&OK"));
}

// A scan of every interface and of the typed address, for a second.
void TProjectorSettingsBox::ButtonSearchClick()
{
    QList<TIdnDiscovery::TTarget> targets = ScanTargets();
    TIdnAddress typed;
    if (TIdnAddress::Parse(EditAddress->text(), typed)) {
        const QHostAddress address(typed.Host);
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            targets.push_back({address, typed.Port});
        else if (ScanTargets == &TIdnDiscovery::BroadcastTargets) {
            // A name is looked up first; its answer joins the scan.
            QHostInfo::lookupHost(typed.Host, this, [this, typed](const QHostInfo& info) {
                for (const QHostAddress& found : info.addresses())
                    if (found.protocol() == QAbstractSocket::IPv4Protocol && Discovery.Scanning()) {
                        Discovery.Add({found, typed.Port});
                        break;
                    }
            });
        }
    }
    ListProjectors->clear();
    Discovery.Scan(targets, 1000);
    EtherDiscovery.Listen();
    ButtonSearch->setEnabled(false);
    ApplyLanguage();
}

// One row per laser service of each unit that answered; a unit without a
// service map, or without laser services in it, gets one row for its
// default service.
void TProjectorSettingsBox::ShowUnits()
{
    const QSignalBlocker blocker(ListProjectors);
    ListProjectors->clear();
    for (const TIdnDiscovery::TUnit& unit : Discovery.Units()) {
        TIdnAddress address{unit.Address.toString(), unit.Port};
        const auto add = [&](int service, const QString& name) {
            auto* item = new QTreeWidgetItem(ListProjectors);
            item->setText(0, unit.HostName);
            item->setText(1, address.ToString());
            item->setText(2, service == 0 ? Tr(Texts[DefaultServiceText])
                                          : QStringLiteral("%1 %2").arg(service).arg(name));
            item->setData(0, Qt::UserRole, address.ToString());
            item->setData(1, Qt::UserRole, service);
        };
        if (unit.Services.empty())
            add(0, QString());
        for (const TIdnDiscovery::TService& service : unit.Services)
            add(service.Id, service.Name);
    }
    for (const TEtherDreamDiscovery::TDac& dac : EtherDiscovery.Dacs()) {
        const EtherDream::TBroadcast& b = dac.Broadcast;
        auto* item = new QTreeWidgetItem(ListProjectors);
        item->setText(0, Tr(Texts[EtherDreamRowText]).arg(QString::fromLatin1(b.Mac.toHex(':'))));
        item->setText(1, dac.Address.toString());
        item->setText(2, Tr(Texts[EtherDreamDetailsText]).arg(b.HardwareRevision).arg(b.SoftwareRevision).arg(b.BufferCapacity));
        item->setData(0, Qt::UserRole, dac.Address.toString());
        item->setData(1, Qt::UserRole, int(b.MaxPointRate));
        item->setData(2, Qt::UserRole, int(b.BufferCapacity));
        item->setData(0, Qt::UserRole + 1, true); // an Ether Dream
    }
    if (!Searching()) {
        ButtonSearch->setEnabled(true);
        ApplyLanguage();
        if (Discovery.Units().empty() && EtherDiscovery.Dacs().empty())
            new QTreeWidgetItem(ListProjectors, {Tr(Texts[NoneFoundText])});
    }
}

void TProjectorSettingsBox::TakeProjector()
{
    const QList<QTreeWidgetItem*> selected = ListProjectors->selectedItems();
    if (selected.isEmpty() || !selected[0]->data(0, Qt::UserRole).isValid())
        return;
    const QTreeWidgetItem* item = selected[0];
    if (item->data(0, Qt::UserRole + 1).toBool()) {
        const int maxRate = item->data(1, Qt::UserRole).toInt();
        FEtherMaxRate = maxRate > 0 ? std::min(maxRate, MaxPointRate) : MaxPointRate;
        EtherBuffer = item->data(2, Qt::UserRole).toInt();
        SetKind(TOutputKind::EtherDream);
        EditAddress->setText(item->data(0, Qt::UserRole).toString());
        return;
    }
    SetKind(TOutputKind::Idn);
    EditAddress->setText(item->data(0, Qt::UserRole).toString());
    SpinService->setValue(item->data(1, Qt::UserRole).toInt());
}

bool TProjectorSettingsBox::Searching() const
{
    return Discovery.Scanning() || EtherDiscovery.Listening();
}

void TProjectorSettingsBox::SetKind(TOutputKind kind)
{
    ComboKind->setCurrentIndex(kind == TOutputKind::EtherDream ? 1 : 0);
}

TOutputKind TProjectorSettingsBox::Kind() const
{
    return ComboKind->currentIndex() == 1 ? TOutputKind::EtherDream : TOutputKind::Idn;
}

// What each kind has: IDN its service, mode and datagram size; the Ether
// Dream its latency and the DAC's highest rate.
void TProjectorSettingsBox::KindChanged()
{
    const bool ether = Kind() == TOutputKind::EtherDream;
    for (QWidget* widget : std::initializer_list<QWidget*>{LabelService, SpinService, LabelIdnMode, ComboIdnMode,
                                                           LabelLargestDatagram, SpinLargestDatagram})
        widget->setVisible(!ether);
    LabelLatency->setVisible(ether);
    SpinLatency->setVisible(ether);
    SpinPointRate->setMaximum(ether ? FEtherMaxRate : MaxPointRate);
    ApplyLanguage();
    CheckAddress();
}

// OK takes an empty address (no projector) or a valid one.
void TProjectorSettingsBox::CheckAddress()
{
    TIdnAddress address;
    const bool valid =
        EditAddress->text().trimmed().isEmpty() || TPointOutputs::ParseAddress(Kind(), EditAddress->text(), address);
    Buttons->button(QDialogButtonBox::Ok)->setEnabled(valid);
}
