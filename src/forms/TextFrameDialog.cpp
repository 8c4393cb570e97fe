#include "TextFrameDialog.h"

#include "ColourChoice.h"
#include "Language.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace {
// The dialog's texts: English, German.
enum TextId
{
    TitleText,
    TextText,
    FontText,
    ColourText,
    SizeText,
    SizeHintText,
    AlignText,
    LeftText,
    CentreText,
    RightText,
    TextCount
};
constexpr std::array<TTextRow, TextCount> Texts{{
    {u"Text frame", u"Text-Frame"},
    {u"&Text:", u"&Text:"},
    {u"&Font:", u"&Schrift:"},
    {u"&Colour:", u"&Farbe:"},
    {u"Si&ze:", u"&Größe:"},
    {u"The height of a line in percent of the field's width",
     u"Die Höhe einer Zeile in Prozent der Breite des Feldes"},
    {u"&Alignment:", u"&Ausrichtung:"},
    {u"left", u"links"},
    {u"centred", u"zentriert"},
    {u"right", u"rechts"},
}};
} // namespace

TTextFrameDialog::TTextFrameDialog(const TZLT_Pal& palette, const QStringList& fonts,
                                   const TVectorSettings& settings, QWidget* parent)
    : QDialog(parent), FSettings(settings)
{
    setObjectName(QStringLiteral("TextFrameDialog"));
    setModal(true);
    LabelText = new QLabel(this);
    EditText = new QPlainTextEdit(this);
    EditText->setTabChangesFocus(true);
    EditText->setMinimumSize(320, 90);
    LabelText->setBuddy(EditText);
    LabelFont = new QLabel(this);
    ComboFont = new QComboBox(this);
    ComboFont->addItems(fonts);
    ComboFont->setCurrentIndex(std::max(0, int(fonts.indexOf(settings.Font))));
    LabelFont->setBuddy(ComboFont);
    LabelColour = new QLabel(this);
    ComboColour = new TColourChoice(palette, false, this);
    ComboColour->SetColour(settings.TextColour);
    LabelColour->setBuddy(ComboColour);
    LabelSize = new QLabel(this);
    SpinSize = new QSpinBox(this);
    SpinSize->setRange(TVectorSettings::MinTextSize, TVectorSettings::MaxTextSize);
    SpinSize->setSuffix(QStringLiteral(" %"));
    SpinSize->setValue(settings.TextSize);
    SpinSize->setKeyboardTracking(true); // the preview follows every key
    LabelSize->setBuddy(SpinSize);
    LabelAlign = new QLabel(this);
    ComboAlign = new QComboBox(this);
    for (int i = 0; i < 3; ++i)
        ComboAlign->addItem(QString());
    ComboAlign->setCurrentIndex(std::clamp(settings.Align, 0, 2));
    LabelAlign->setBuddy(ComboAlign);
    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(LabelFont, ComboFont);
    form->addRow(LabelColour, ComboColour);
    form->addRow(LabelSize, SpinSize);
    form->addRow(LabelAlign, ComboAlign);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LabelText);
    layout->addWidget(EditText);
    layout->addLayout(form);
    layout->addWidget(Buttons);

    connect(EditText, &QPlainTextEdit::textChanged, this, &TTextFrameDialog::Changed);
    connect(ComboFont, &QComboBox::currentIndexChanged, this, &TTextFrameDialog::Changed);
    connect(ComboColour, &QComboBox::currentIndexChanged, this, &TTextFrameDialog::Changed);
    connect(SpinSize, &QSpinBox::valueChanged, this, &TTextFrameDialog::Changed);
    connect(ComboAlign, &QComboBox::currentIndexChanged, this, &TTextFrameDialog::Changed);
    ApplyLanguage();
    EditText->setFocus();
}

void TTextFrameDialog::ApplyLanguage()
{
    setWindowTitle(Tr(Texts[TitleText]));
    LabelText->setText(Tr(Texts[TextText]));
    LabelFont->setText(Tr(Texts[FontText]));
    LabelColour->setText(Tr(Texts[ColourText]));
    LabelSize->setText(Tr(Texts[SizeText]));
    SpinSize->setToolTip(Tr(Texts[SizeHintText]));
    LabelAlign->setText(Tr(Texts[AlignText]));
    for (int i = 0; i < 3; ++i)
        ComboAlign->setItemText(i, Tr(Texts[LeftText + i]));
    ComboColour->ApplyLanguage();
}

QString TTextFrameDialog::Text() const
{
    return EditText->toPlainText();
}

TVectorSettings TTextFrameDialog::Settings() const
{
    TVectorSettings settings = FSettings;
    if (ComboFont->currentIndex() >= 0)
        settings.Font = ComboFont->currentText();
    settings.TextColour = ComboColour->Colour();
    settings.TextSize = SpinSize->value();
    settings.Align = ComboAlign->currentIndex();
    return settings;
}
