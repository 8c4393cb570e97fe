#include "ColoursDialog.h"

#include "Language.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QRadioButton>
#include <QVBoxLayout>

#include <array>

using namespace FrameTools;

namespace {
// The dialog's texts: English, German.
enum TextId
{
    TitleText,
    SetText,
    ReplaceText,
    GradientText,
    ColourText,
    FromText,
    ToText,
    ByText,
    TextCount
};
constexpr std::array<TTextRow, TextCount> Texts{{
    {u"Colours", u"Farben"},
    {u"&Set every lit point to one colour", u"Jeden sichtbaren Punkt auf eine Farbe &setzen"},
    {u"&Replace one colour by another", u"Eine Farbe durch eine andere &ersetzen"},
    {u"&Gradient over each frame's lit points", u"&Verlauf über die sichtbaren Punkte jedes Frames"},
    {u"Colour:", u"Farbe:"},
    {u"From:", u"Von:"},
    {u"To:", u"Bis:"},
    {u"By:", u"Durch:"},
}};

QComboBox* NewSwatches(QWidget* parent, const TZLT_Pal& palette)
{
    auto* combo = new QComboBox(parent);
    combo->setIconSize(QSize(24, 14));
    for (int i = 0; i < 64; ++i) {
        const TZLT_PalEntry& entry = palette.ColorOf(uint8_t(i));
        QPixmap swatch(24, 14);
        swatch.fill(QColor(entry.Red, entry.Green, entry.Blue));
        QPainter painter(&swatch);
        painter.setPen(Qt::gray);
        painter.drawRect(0, 0, 23, 13);
        painter.end();
        combo->addItem(QIcon(swatch), QString::number(i), i);
    }
    combo->setMaxVisibleItems(16);
    return combo;
}
} // namespace

TColoursDialog::TColoursDialog(const TZLT_Pal& palette, QWidget* parent) : TFrameDialog(parent)
{
    setObjectName(QStringLiteral("ColoursDialog"));
    setModal(true);
    RadioSet = new QRadioButton(this);
    RadioReplace = new QRadioButton(this);
    RadioGradient = new QRadioButton(this);
    auto* group = new QButtonGroup(this);
    for (QRadioButton* radio : {RadioSet, RadioReplace, RadioGradient})
        group->addButton(radio);
    RadioSet->setChecked(true);
    LabelFrom = new QLabel(this);
    LabelTo = new QLabel(this);
    ComboA = NewSwatches(this, palette);
    ComboB = NewSwatches(this, palette);
    LabelFrom->setBuddy(ComboA);
    LabelTo->setBuddy(ComboB);

    auto* grid = new QGridLayout;
    grid->addWidget(LabelFrom, 0, 0);
    grid->addWidget(ComboA, 0, 1);
    grid->addWidget(LabelTo, 1, 0);
    grid->addWidget(ComboB, 1, 1);
    grid->setColumnStretch(2, 1);
    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    for (QRadioButton* radio : {RadioSet, RadioReplace, RadioGradient})
        layout->addWidget(radio);
    layout->addLayout(grid);
    layout->addWidget(Buttons);

    connect(group, &QButtonGroup::buttonToggled, this, [this](QAbstractButton*, bool on) {
        if (on)
            FollowFields();
    });
    connect(ComboA, &QComboBox::currentIndexChanged, this, &TColoursDialog::FollowFields);
    connect(ComboB, &QComboBox::currentIndexChanged, this, &TColoursDialog::FollowFields);
    ApplyLanguage();
    FollowFields();
}

void TColoursDialog::ApplyLanguage()
{
    setWindowTitle(Tr(Texts[TitleText]));
    RadioSet->setText(Tr(Texts[SetText]));
    RadioReplace->setText(Tr(Texts[ReplaceText]));
    RadioGradient->setText(Tr(Texts[GradientText]));
    LabelFrom->setText(Tr(Texts[RadioSet->isChecked() ? ColourText : FromText]));
    LabelTo->setText(Tr(Texts[RadioReplace->isChecked() ? ByText : ToText]));
}

void TColoursDialog::FollowFields()
{
    const bool two = !RadioSet->isChecked();
    LabelTo->setVisible(two);
    ComboB->setVisible(two);
    ApplyLanguage(); // the labels name the fields for the choice
    emit Changed();
}

std::vector<TOperation> TColoursDialog::Operations() const
{
    TOperation op;
    op.Kind = RadioSet->isChecked()       ? TKind::SetColour
              : RadioReplace->isChecked() ? TKind::ReplaceColour
                                          : TKind::Gradient;
    op.ColourA = std::max(ComboA->currentIndex(), 0);
    op.ColourB = std::max(ComboB->currentIndex(), 0);
    return {op};
}
