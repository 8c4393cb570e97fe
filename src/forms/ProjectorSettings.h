#pragma once

#include "IdnDiscovery.h"

#include <QDialog>
#include <QList>
#include <QString>


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

    explicit TProjectorSettingsBox(QWidget* parent = nullptr);
    void ApplyLanguage();

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
    QDialogButtonBox* Buttons = nullptr;

    TIdnDiscovery Discovery;
    // Where Search asks: the broadcast address of every interface, and a
    // typed host name is looked up. Tests put their own targets on
    // 127.0.0.1 here, and then no name is looked up.
    static QList<TIdnDiscovery::TTarget> (*ScanTargets)();

    void ButtonSearchClick();

private:
    void ShowUnits();
    void TakeProjector();
    void CheckAddress();
};
