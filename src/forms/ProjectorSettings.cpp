#include "ProjectorSettings.h"

#include "IdnSession.h"
#include "Language.h"

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
};
constexpr std::array<TTextRow, 18> Texts{{
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
}};
} // namespace

TProjectorSettingsBox::TProjectorSettingsBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ProjectorSettingsBox"));
    setModal(true);
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
    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* grid = new QGridLayout;
    grid->addWidget(LabelAddress, 0, 0);
    grid->addWidget(EditAddress, 0, 1);
    grid->addWidget(ButtonSearch, 0, 2);
    grid->addWidget(ListProjectors, 1, 1, 1, 2);
    grid->addWidget(LabelService, 2, 0);
    grid->addWidget(SpinService, 2, 1, Qt::AlignLeft);
    grid->addWidget(LabelPointRate, 3, 0);
    grid->addWidget(SpinPointRate, 3, 1, Qt::AlignLeft);
    grid->addWidget(LabelLargestDatagram, 4, 0);
    grid->addWidget(SpinLargestDatagram, 4, 1, Qt::AlignLeft);
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
    ApplyLanguage();
}

void TProjectorSettingsBox::ApplyLanguage()
{
    setWindowTitle(Tr(Texts[TitleText]));
    LabelAddress->setText(Tr(Texts[AddressText]));
    EditAddress->setToolTip(Tr(Texts[AddressHintText]));
    EditAddress->setPlaceholderText(QStringLiteral("192.168.1.20"));
    ButtonSearch->setText(Tr(Texts[Discovery.Scanning() ? SearchingText : SearchText]));
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
    if (!Discovery.Scanning()) {
        ButtonSearch->setEnabled(true);
        ApplyLanguage();
        if (Discovery.Units().empty())
            new QTreeWidgetItem(ListProjectors, {Tr(Texts[NoneFoundText])});
    }
}

void TProjectorSettingsBox::TakeProjector()
{
    const QList<QTreeWidgetItem*> selected = ListProjectors->selectedItems();
    if (selected.isEmpty() || !selected[0]->data(0, Qt::UserRole).isValid())
        return;
    EditAddress->setText(selected[0]->data(0, Qt::UserRole).toString());
    SpinService->setValue(selected[0]->data(1, Qt::UserRole).toInt());
}

// OK takes an empty address (no projector) or a valid one.
void TProjectorSettingsBox::CheckAddress()
{
    TIdnAddress address;
    const bool valid = EditAddress->text().trimmed().isEmpty() || TIdnAddress::Parse(EditAddress->text(), address);
    Buttons->button(QDialogButtonBox::Ok)->setEnabled(valid);
}
