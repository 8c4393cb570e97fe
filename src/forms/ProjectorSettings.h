#pragma once

#include "EtherDreamDiscovery.h"
#include "IdnDiscovery.h"
#include "PointOutputs.h"

#include <QDialog>
#include <QList>
#include <QString>


class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;

// The projector settings: the projector's address, its service and the
// point rate, with a search for the projectors that answer on the network.
class TProjectorSettingsBox : public QDialog
{
    Q_OBJECT

public:
    static constexpr int MinPointRate = 1000;
    static constexpr int MaxPointRate = 100000;
    static constexpr int DefaultPointRate = 30000;
    static constexpr int MinLatencyMs = 20;
    static constexpr int MaxLatencyMs = 100;

    explicit TProjectorSettingsBox(QWidget* parent = nullptr);
    void ApplyLanguage();

    QLabel* LabelKind = nullptr;
    QComboBox* ComboKind = nullptr; // IDN projector, Ether Dream
    QLabel* LabelAddress = nullptr;
    QLineEdit* EditAddress = nullptr;
    QPushButton* ButtonSearch = nullptr;
    QTreeWidget* ListProjectors = nullptr; // host name, address, service
    QLabel* LabelService = nullptr;
    QSpinBox* SpinService = nullptr; // 0: the unit's default service
    QLabel* LabelPointRate = nullptr;
    QSpinBox* SpinPointRate = nullptr;
    QLabel* LabelLargestDatagram = nullptr;
    QSpinBox* SpinLargestDatagram = nullptr; // bytes of UDP payload
    QLabel* LabelIdnMode = nullptr;
    QComboBox* ComboIdnMode = nullptr; // Frames, Continuous stream
    QLabel* LabelLatency = nullptr;
    QSpinBox* SpinLatency = nullptr; // ms of points ahead of the light
    QDialogButtonBox* Buttons = nullptr;

    TIdnDiscovery Discovery;
    TEtherDreamDiscovery EtherDiscovery;
    // The ring's size of the Ether Dream picked from the search.
    int EtherBuffer = EtherDream::DefaultBufferCapacity;

    void SetKind(TOutputKind kind);
    TOutputKind Kind() const;
    // Where Search asks: the broadcast address of every interface, and a
    // typed host name is looked up. Tests put their own targets on
    // 127.0.0.1 here, and then no name is looked up.
    static QList<TIdnDiscovery::TTarget> (*ScanTargets)();

    void ButtonSearchClick();

private:
    void ShowUnits();
    void TakeProjector();
    void CheckAddress();
    void KindChanged();
    bool Searching() const;

    int FEtherMaxRate = MaxPointRate; // of the DAC picked, from its broadcast
};
