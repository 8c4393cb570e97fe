#include "VectorImportDialog.h"

#include "ColourChoice.h"
#include "Language.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <array>

namespace {
// The dialog's texts: English, German.
enum TextId
{
    TitleText,
    OneFileText,
    FilesText, // %1: how many
    UsePageText,
    UsePageHintText,
    BlackAsText,
    OptimiseText,
    OptimiseHintText,
    TextCount
};
constexpr std::array<TTextRow, TextCount> Texts{{
    {u"Import vector graphics", u"Vektorgrafik importieren"},
    {u"1 file becomes 1 frame.", u"1 Datei wird 1 Frame."},
    {u"%1 files become %1 frames of one animation, placed alike.",
     u"%1 Dateien werden %1 Frames einer Animation, gleich platziert."},
    {u"Use the &page", u"&Seite verwenden"},
    {u"Fits the page (the viewBox) into the field instead of what the drawing covers",
     u"Passt die Seite (die viewBox) ins Feld statt dessen, was die Zeichnung bedeckt"},
    {u"&Black as:", u"Schwarz &als:"},
    {u"&Optimise for the projector", u"Für den Projektor &optimieren"},
    {u"Adds the points the scanner needs, with the scanner profile of the settings",
     u"Fügt die Punkte hinzu, die der Scanner braucht, mit dem Scanner-Profil der Einstellungen"},
}};
} // namespace

TVectorImportDialog::TVectorImportDialog(const TZLT_Pal& palette, const TVectorSettings& settings, int files,
                                         QWidget* parent)
    : QDialog(parent), FSettings(settings), FFiles(files)
{
    setObjectName(QStringLiteral("VectorImportDialog"));
    setModal(true);
    LabelFiles = new QLabel(this);
    CheckUsePage = new QCheckBox(this);
    CheckUsePage->setChecked(settings.UsePage);
    LabelBlackAs = new QLabel(this);
    ComboBlackAs = new TColourChoice(palette, true, this);
    ComboBlackAs->SetColour(settings.BlackAs);
    LabelBlackAs->setBuddy(ComboBlackAs);
    CheckOptimise = new QCheckBox(this);
    CheckOptimise->setChecked(settings.Optimise);
    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(LabelBlackAs, ComboBlackAs);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LabelFiles);
    layout->addWidget(CheckUsePage);
    layout->addLayout(form);
    layout->addWidget(CheckOptimise);
    layout->addWidget(Buttons);
    ApplyLanguage();
}

void TVectorImportDialog::ApplyLanguage()
{
    setWindowTitle(Tr(Texts[TitleText]));
    LabelFiles->setText(FFiles == 1 ? Tr(Texts[OneFileText]) : Tr(Texts[FilesText]).arg(FFiles));
    CheckUsePage->setText(Tr(Texts[UsePageText]));
    CheckUsePage->setToolTip(Tr(Texts[UsePageHintText]));
    LabelBlackAs->setText(Tr(Texts[BlackAsText]));
    CheckOptimise->setText(Tr(Texts[OptimiseText]));
    CheckOptimise->setToolTip(Tr(Texts[OptimiseHintText]));
    ComboBlackAs->ApplyLanguage();
}

TVectorSettings TVectorImportDialog::Settings() const
{
    TVectorSettings settings = FSettings;
    settings.UsePage = CheckUsePage->isChecked();
    settings.BlackAs = ComboBlackAs->Colour();
    settings.Optimise = CheckOptimise->isChecked();
    return settings;
}
