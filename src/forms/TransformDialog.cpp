#include "TransformDialog.h"

#include "Language.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace FrameTools;

namespace {
// The dialog's texts: English, German.
enum TextId
{
    TitleText,
    MoveXText,
    MoveYText,
    ScaleXText,
    ScaleYText,
    RotateText,
    RampText,
    RampHintText,
    PivotText,
    CentreText,
    OriginText,
    AllText,
    PointText,
    PivotXText,
    PivotYText,
    TextCount
};
constexpr std::array<TTextRow, TextCount> Texts{{
    {u"Transform", u"Transformieren"},
    {u"Move &X (ILDA units):", u"Verschieben &X (ILDA-Einheiten):"},
    {u"Move &Y (ILDA units):", u"Verschieben &Y (ILDA-Einheiten):"},
    {u"&Scale X (%):", u"&Skalieren X (%):"},
    {u"S&cale Y (%):", u"Sk&alieren Y (%):"},
    {u"&Rotate (degrees, counter-clockwise):", u"&Drehen (Grad, gegen den Uhrzeigersinn):"},
    {u"to", u"bis"},
    {u"Ramps from the first value for the first selected frame to this one for the last",
     u"Verläuft vom ersten Wert für den ersten selektierten Frame bis zu diesem für den letzten"},
    {u"&About:", u"&Um:"},
    {u"each frame's centre", u"die Mitte jedes Frames"},
    {u"the origin (0, 0)", u"den Ursprung (0, 0)"},
    {u"the centre of all selected frames", u"die Mitte aller selektierten Frames"},
    {u"the point", u"den Punkt"},
    {u"X:", u"X:"},
    {u"Y:", u"Y:"},
}};

struct TRange
{
    double Min, Max, Default;
    int Decimals;
};
constexpr std::array<TRange, TTransformDialog::RowCount> Ranges{{
    {-65535, 65535, 0, 1},
    {-65535, 65535, 0, 1},
    {-10000, 10000, 100, 2},
    {-10000, 10000, 100, 2},
    {-36000, 36000, 0, 2},
}};

QDoubleSpinBox* NewField(QWidget* parent, const TRange& range)
{
    auto* field = new QDoubleSpinBox(parent);
    field->setRange(range.Min, range.Max);
    field->setDecimals(range.Decimals);
    field->setValue(range.Default);
    field->setMinimumWidth(110);
    field->setKeyboardTracking(true); // the preview follows every key
    return field;
}

constexpr std::array<TPivotKind, 4> PivotKinds{TPivotKind::Centre, TPivotKind::Origin, TPivotKind::All,
                                               TPivotKind::Point};
} // namespace

TTransformDialog::TTransformDialog(QWidget* parent) : TFrameDialog(parent)
{
    setObjectName(QStringLiteral("TransformDialog"));
    setModal(true);
    auto* grid = new QGridLayout;
    for (int row = 0; row < RowCount; ++row) {
        Labels[row] = new QLabel(this);
        First[row] = NewField(this, Ranges[row]);
        Ramps[row] = new QCheckBox(this);
        Last[row] = NewField(this, Ranges[row]);
        Labels[row]->setBuddy(First[row]);
        grid->addWidget(Labels[row], row, 0);
        grid->addWidget(First[row], row, 1);
        grid->addWidget(Ramps[row], row, 2);
        grid->addWidget(Last[row], row, 3);
        connect(First[row], &QDoubleSpinBox::valueChanged, this, &TTransformDialog::FollowFields);
        connect(Last[row], &QDoubleSpinBox::valueChanged, this, &TTransformDialog::FollowFields);
        connect(Ramps[row], &QCheckBox::toggled, this, &TTransformDialog::FollowFields);
    }
    LabelPivot = new QLabel(this);
    ComboPivot = new QComboBox(this);
    for (size_t i = 0; i < PivotKinds.size(); ++i)
        ComboPivot->addItem(QString());
    LabelPivot->setBuddy(ComboPivot);
    PivotX = NewField(this, Ranges[MoveX]);
    PivotY = NewField(this, Ranges[MoveY]);
    PivotX->setRange(-32768, 32767);
    PivotY->setRange(-32768, 32767);
    grid->addWidget(LabelPivot, RowCount, 0);
    grid->addWidget(ComboPivot, RowCount, 1, 1, 3);
    auto* point = new QHBoxLayout;
    point->addStretch();
    LabelPivotX = new QLabel(this);
    LabelPivotY = new QLabel(this);
    point->addWidget(LabelPivotX);
    point->addWidget(PivotX);
    point->addWidget(LabelPivotY);
    point->addWidget(PivotY);
    grid->addLayout(point, RowCount + 1, 1, 1, 3);
    connect(ComboPivot, &QComboBox::currentIndexChanged, this, &TTransformDialog::FollowFields);
    connect(PivotX, &QDoubleSpinBox::valueChanged, this, &TTransformDialog::FollowFields);
    connect(PivotY, &QDoubleSpinBox::valueChanged, this, &TTransformDialog::FollowFields);

    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(Buttons);
    FollowFields();
    ApplyLanguage();
}

void TTransformDialog::ApplyLanguage()
{
    setWindowTitle(Tr(Texts[TitleText]));
    for (int row = 0; row < RowCount; ++row) {
        Labels[row]->setText(Tr(Texts[MoveXText + row]));
        Ramps[row]->setText(Tr(Texts[RampText]));
        Ramps[row]->setToolTip(Tr(Texts[RampHintText]));
    }
    LabelPivot->setText(Tr(Texts[PivotText]));
    for (int i = 0; i < ComboPivot->count(); ++i)
        ComboPivot->setItemText(i, Tr(Texts[CentreText + i]));
    LabelPivotX->setText(Tr(Texts[PivotXText]));
    LabelPivotY->setText(Tr(Texts[PivotYText]));
}

void TTransformDialog::FollowFields()
{
    for (int row = 0; row < RowCount; ++row)
        Last[row]->setEnabled(Ramps[row]->isChecked());
    const bool point = ComboPivot->currentIndex() == int(PivotKinds.size()) - 1;
    PivotX->setEnabled(point);
    PivotY->setEnabled(point);
    emit Changed();
}

std::vector<TOperation> TTransformDialog::Operations() const
{
    const auto value = [this](int row) {
        return Ramps[row]->isChecked() ? TValue(First[row]->value(), Last[row]->value()) : TValue(First[row]->value());
    };
    TOperation op;
    op.Kind = TKind::Transform;
    op.MoveX = value(MoveX);
    op.MoveY = value(MoveY);
    op.ScaleX = value(ScaleX);
    op.ScaleY = value(ScaleY);
    op.Rotate = value(Rotate);
    op.Pivot.Kind = PivotKinds[size_t(std::max(ComboPivot->currentIndex(), 0))];
    op.Pivot.X = PivotX->value();
    op.Pivot.Y = PivotY->value();
    return {op};
}
