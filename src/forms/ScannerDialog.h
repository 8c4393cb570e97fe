#pragma once

#include "FrameCommands.h"
#include "Optimiser.h"

#include <QPointer>

#include <array>
#include <memory>

class QCheckBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;
class TFramePreview;
class TIniFile;

// Frames › Scanner profile: what the scanner needs, for Optimise for the
// projector. The point rate is the projector's and only shown here. While
// it is open, a frame handed to it is shown in the preview (and so on the
// laser) optimised with the profile as typed, with its points and pass
// time before and after in the preview's facts line.
class TScannerDialog : public TFrameDialog
{
    Q_OBJECT

public:
    static const QString IniSection; // "Scanner"

    // The whole-number fields, in the order of the dialog.
    enum TField
    {
        LitStep,
        BlankedStep,
        ReversalUs,
        AnchorUs,
        WaitUs,
        ColourDelayUs,
        FieldCount
    };

    // Shows profile; its PointRate is the projector's.
    explicit TScannerDialog(const TScannerProfile& profile, QWidget* parent = nullptr);
    ~TScannerDialog() override;
    void ApplyLanguage();

    QLabel* LabelPointRate = nullptr;
    QLabel* PointRate = nullptr;
    std::array<QLabel*, FieldCount> Labels{};
    std::array<QSpinBox*, FieldCount> Fields{};
    QLabel* LabelCornerAngle = nullptr;
    QDoubleSpinBox* CornerAngle = nullptr;
    QCheckBox* KeepOrder = nullptr;
    QPushButton* DefaultsButton = nullptr;
    QDialogButtonBox* Buttons = nullptr;

    void SetProfile(const TScannerProfile& profile); // the point rate stays
    TScannerProfile Profile() const;
    std::vector<FrameTools::TOperation> Operations() const override;

    // Shows slot's frame optimised in the preview until the dialog closes;
    // the frame must outlive the dialog.
    void PreviewFrame(TFramePreview* preview, const TZLT_Frame* frame, int slot);

    // The profile of the settings section, without the point rate: missing
    // keys give the defaults, values out of range are clamped.
    static TScannerProfile LoadProfile(const TIniFile& ini);
    // Written only when the section exists or the profile is not the default.
    static void SaveProfile(TIniFile& ini, const TScannerProfile& profile);
    // "Frame 3: 1,204 → 1,690 points, 40.1 → 56.3 ms" at the profile's rate.
    static QString FactsText(int slot, const TOptimiseResult& result, const TScannerProfile& profile);

    void done(int result) override; // the preview goes back to the slot's frame

private:
    void ShowPreview();

    int FPointRate;
    QPointer<TFramePreview> FPreview;
    const TZLT_Frame* FSource = nullptr;
    int FSlot = -1;
    std::unique_ptr<TZLT_Frame> FStandIn;
};
