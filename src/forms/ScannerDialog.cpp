#include "ScannerDialog.h"

#include "CHILDWIN.h"
#include "FramePreview.h"
#include "Guard.h"
#include "IniFile.h"
#include "Language.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace FrameTools;

const QString TScannerDialog::IniSection = QStringLiteral("Scanner");

namespace {
// The dialog's texts: English, German.
enum TextId
{
    TitleText,
    LitStepText,
    BlankedStepText,
    ReversalText,
    AnchorText,
    WaitText,
    ColourDelayText,
    CornerAngleText,
    KeepOrderText,
    PointRateText,
    PointRateValueText,
    IldaUnitsText,
    MicrosecondsText,
    DegreesText,
    DefaultsText,
    PreviewFactsText,
    TooLongFactsText,
    TextCount
};
constexpr std::array<TTextRow, TextCount> Texts{{
    {u"Scanner profile", u"Scanner-Profil"},
    {u"Largest &lit step:", u"Größter &heller Schritt:"},
    {u"Largest &blanked step:", u"Größter &dunkler Schritt:"},
    {u"Corner &dwell for a full reversal:", u"&Verweilen an Ecken bei voller Umkehr:"},
    {u"&Anchors, lit:", u"&Anker, hell:"},
    {u"&Waits, blanked:", u"&Wartezeiten, dunkel:"},
    {u"Colour d&elay:", u"Farbver&zögerung:"},
    {u"Corner a&ngle (smaller turns are not held):", u"Ecken&winkel (kleinere Drehungen ohne Halt):"},
    {u"&Keep the order as drawn", u"&Reihenfolge wie gezeichnet beibehalten"},
    {u"Point rate:", u"Punktrate:"},
    {u"%1 points per second (projector settings)", u"%1 Punkte pro Sekunde (Projektor-Einstellungen)"},
    {u" ILDA units", u" ILDA-Einheiten"},
    {u" µs", u" µs"},
    {u"°", u"°"},
    {u"Defaults", u"Standardwerte"},
    {u"Frame %1: %2 → %3 points, %4 → %5 ms", u"Frame %1: %2 → %3 Punkte, %4 → %5 ms"},
    {u"Frame %1: %2 → %3 points, %4 → %5 ms; more than %6 points, so it stays as it is",
     u"Frame %1: %2 → %3 Punkte, %4 → %5 ms; mehr als %6 Punkte, er bleibt daher, wie er ist"},
}};

// The fields: their ranges (those the optimiser takes), keys and members.
struct TFieldRow
{
    int Min, Max;
    TextId Unit;
    const char* Key;
    int TScannerProfile::*Value;
};
constexpr std::array<TFieldRow, TScannerDialog::FieldCount> FieldRows{{
    {1, 65535, IldaUnitsText, "LitStep", &TScannerProfile::LitStep},
    {1, 65535, IldaUnitsText, "BlankedStep", &TScannerProfile::BlankedStep},
    {0, TScannerProfile::MaxMicroseconds, MicrosecondsText, "ReversalUs", &TScannerProfile::ReversalUs},
    {0, TScannerProfile::MaxMicroseconds, MicrosecondsText, "AnchorUs", &TScannerProfile::AnchorUs},
    {0, TScannerProfile::MaxMicroseconds, MicrosecondsText, "WaitUs", &TScannerProfile::WaitUs},
    {0, TScannerProfile::MaxMicroseconds, MicrosecondsText, "ColourDelayUs", &TScannerProfile::ColourDelayUs},
}};
const QString CornerAngleKey = QStringLiteral("CornerAngle");
const QString KeepOrderKey = QStringLiteral("KeepOrder");
} // namespace

TScannerDialog::TScannerDialog(const TScannerProfile& profile, QWidget* parent)
    : TFrameDialog(parent), FPointRate(profile.PointRate)
{
    setObjectName(QStringLiteral("ScannerDialog"));
    setModal(true);
    auto* grid = new QGridLayout;
    LabelPointRate = new QLabel(this);
    PointRate = new QLabel(this);
    PointRate->setObjectName(QStringLiteral("PointRate"));
    grid->addWidget(LabelPointRate, 0, 0);
    grid->addWidget(PointRate, 0, 1);
    for (int i = 0; i < FieldCount; ++i) {
        Labels[i] = new QLabel(this);
        Fields[i] = new QSpinBox(this);
        Fields[i]->setObjectName(QString::fromLatin1(FieldRows[i].Key));
        Fields[i]->setRange(FieldRows[i].Min, FieldRows[i].Max);
        Fields[i]->setGroupSeparatorShown(true);
        Fields[i]->setKeyboardTracking(true); // the preview follows every key
        Labels[i]->setBuddy(Fields[i]);
        connect(Fields[i], &QSpinBox::valueChanged, this, &TFrameDialog::Changed);
    }
    LabelCornerAngle = new QLabel(this);
    CornerAngle = new QDoubleSpinBox(this);
    CornerAngle->setObjectName(CornerAngleKey);
    CornerAngle->setRange(0, 180);
    CornerAngle->setDecimals(1);
    CornerAngle->setKeyboardTracking(true);
    LabelCornerAngle->setBuddy(CornerAngle);
    connect(CornerAngle, &QDoubleSpinBox::valueChanged, this, &TFrameDialog::Changed);
    KeepOrder = new QCheckBox(this);
    KeepOrder->setObjectName(KeepOrderKey);
    connect(KeepOrder, &QCheckBox::toggled, this, &TFrameDialog::Changed);

    // Steps, then corners, then path ends, then colour, as the optimiser goes.
    int row = 1;
    const auto add = [&](QLabel* label, QWidget* field) {
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row++, 1);
    };
    add(Labels[LitStep], Fields[LitStep]);
    add(Labels[BlankedStep], Fields[BlankedStep]);
    add(Labels[ReversalUs], Fields[ReversalUs]);
    add(LabelCornerAngle, CornerAngle);
    add(Labels[AnchorUs], Fields[AnchorUs]);
    add(Labels[WaitUs], Fields[WaitUs]);
    add(Labels[ColourDelayUs], Fields[ColourDelayUs]);
    grid->addWidget(KeepOrder, row++, 0, 1, 2);

    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    DefaultsButton = Buttons->addButton(QString(), QDialogButtonBox::ResetRole);
    DefaultsButton->setObjectName(QStringLiteral("DefaultsButton"));
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(DefaultsButton, &QPushButton::clicked, this, [this] { SetProfile(TScannerProfile()); });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(Buttons);
    connect(this, &TFrameDialog::Changed, this, [this] { RunGuarded([this] { ShowPreview(); }); });
    SetProfile(profile);
    ApplyLanguage();
}

TScannerDialog::~TScannerDialog()
{
    if (FPreview && FStandIn)
        FPreview->ShowInstead(nullptr);
}

void TScannerDialog::ApplyLanguage()
{
    setWindowTitle(Tr(Texts[TitleText]));
    LabelPointRate->setText(Tr(Texts[PointRateText]));
    PointRate->setText(Tr(Texts[PointRateValueText]).arg(NumberText(FPointRate)));
    for (int i = 0; i < FieldCount; ++i) {
        Labels[i]->setText(Tr(Texts[LitStepText + i]));
        Fields[i]->setSuffix(Tr(Texts[FieldRows[i].Unit]));
    }
    LabelCornerAngle->setText(Tr(Texts[CornerAngleText]));
    CornerAngle->setSuffix(Tr(Texts[DegreesText]));
    KeepOrder->setText(Tr(Texts[KeepOrderText]));
    DefaultsButton->setText(Tr(Texts[DefaultsText]));
    ShowPreview(); // the facts line speaks the language too
}

void TScannerDialog::SetProfile(const TScannerProfile& wanted)
{
    const TScannerProfile profile = wanted.Clamped();
    {
        // One change, one preview.
        const QSignalBlocker blocker(this);
        for (int i = 0; i < FieldCount; ++i)
            Fields[i]->setValue(profile.*FieldRows[i].Value);
        CornerAngle->setValue(profile.CornerAngle);
        KeepOrder->setChecked(profile.KeepOrder);
    }
    emit Changed();
}

TScannerProfile TScannerDialog::Profile() const
{
    TScannerProfile profile;
    profile.PointRate = FPointRate;
    for (int i = 0; i < FieldCount; ++i)
        profile.*FieldRows[i].Value = Fields[i]->value();
    profile.CornerAngle = CornerAngle->value();
    profile.KeepOrder = KeepOrder->isChecked();
    return profile;
}

std::vector<TOperation> TScannerDialog::Operations() const
{
    TOperation op;
    op.Kind = TKind::Optimise;
    op.Scanner = Profile();
    return {op};
}

void TScannerDialog::PreviewFrame(TFramePreview* preview, const TZLT_Frame* frame, int slot)
{
    FPreview = preview;
    FSource = frame && frame->Used() ? frame : nullptr;
    FSlot = slot;
    ShowPreview();
}

void TScannerDialog::ShowPreview()
{
    if (!FPreview || !FSource)
        return;
    auto standIn = std::make_unique<TZLT_Frame>();
    TOptimiseResult result;
    const TScannerProfile profile = Profile();
    standIn->AllPoints() = Optimised(FSource->AllPoints(), profile, &result);
    FPreview->ShowInstead(standIn.get(), FactsText(FSlot, result, profile));
    FStandIn = std::move(standIn); // the old stand-in goes once the preview has let go of it
}

void TScannerDialog::done(int result)
{
    if (FPreview && FStandIn)
        FPreview->ShowInstead(nullptr);
    FStandIn.reset();
    FSource = nullptr;
    TFrameDialog::done(result);
}

QString TScannerDialog::FactsText(int slot, const TOptimiseResult& result, const TScannerProfile& profile)
{
    const auto ms = [&](qint64 points) { return DecimalText(profile.PassMs(points), 1); };
    const qint64 after = result.TooLong ? result.Needed : result.PointsAfter;
    QString text = Tr(Texts[result.TooLong ? TooLongFactsText : PreviewFactsText])
                       .arg(QString::number(slot), NumberText(result.PointsBefore), NumberText(after),
                            ms(result.PointsBefore), ms(after));
    return result.TooLong ? text.arg(NumberText(TZLT_Frame::MaxPoints)) : text;
}

TScannerProfile TScannerDialog::LoadProfile(const TIniFile& ini)
{
    TScannerProfile profile;
    for (const TFieldRow& row : FieldRows)
        profile.*row.Value = ini.ReadInteger(IniSection, QString::fromLatin1(row.Key), profile.*row.Value);
    bool ok = false;
    const double angle = QLocale::c().toDouble(ini.ReadString(IniSection, CornerAngleKey, QString()).trimmed(), &ok);
    if (ok)
        profile.CornerAngle = angle;
    profile.KeepOrder = ini.ReadInteger(IniSection, KeepOrderKey, profile.KeepOrder ? 1 : 0) != 0;
    return profile.Clamped();
}

void TScannerDialog::SaveProfile(TIniFile& ini, const TScannerProfile& wanted)
{
    TScannerProfile profile = wanted.Clamped();
    profile.PointRate = TScannerProfile().PointRate; // the projector's, kept in its own section
    bool present = false;
    for (const TFieldRow& row : FieldRows)
        present = present || ini.ValueExists(IniSection, QString::fromLatin1(row.Key));
    present = present || ini.ValueExists(IniSection, CornerAngleKey) || ini.ValueExists(IniSection, KeepOrderKey);
    if (!present && profile == TScannerProfile())
        return;
    for (const TFieldRow& row : FieldRows)
        ini.WriteInteger(IniSection, QString::fromLatin1(row.Key), profile.*row.Value);
    ini.WriteString(IniSection, CornerAngleKey, QLocale::c().toString(profile.CornerAngle, 'g', 6));
    ini.WriteInteger(IniSection, KeepOrderKey, profile.KeepOrder ? 1 : 0);
}
