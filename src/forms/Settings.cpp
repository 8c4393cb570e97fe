#include "Settings.h"

#include "Dialogs.h"
#include "Language.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <array>

TSettingsBox* SettingsBox = nullptr;

namespace {
// The dialog's texts: English, German.
enum TextId
{
    TitleText,
    GroupText,
    PalPathText,
    LanguageText,
    CancelText
};
constexpr std::array<std::array<const char16_t*, 2>, 5> Texts{{
    {u"Globale Settings", u"Globale Einstellungen"},
    {u"Global Settings", u"Globale Einstellungen"},
    {u"Path to palettes:", u"Pfad zu den Paletten:"},
    {u"Language", u"Sprache"},
    {u"&Cancel", u"&Abbrechen"},
}};

QString Text(TextId id)
{
    const int column = TextColumn();
    return QString::fromUtf16(Texts[id][column]);
}
} // namespace

TSettingsBox::TSettingsBox(QWidget* parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setMinimumWidth(333);
    LabelPalPath = new QLabel(GroupBox1);
    LabelPalPath->setObjectName(QStringLiteral("LabelPalPath"));
    LabelPalPath->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    EditPalPath = new QLineEdit(QStringLiteral("c:\\laser\\pal\\"), GroupBox1);
    EditPalPath->setObjectName(QStringLiteral("EditPalPath"));
    EditPalPath->setMinimumWidth(185);
    LabelPalPath->setBuddy(EditPalPath);
    LabelLanguage = new QLabel(GroupBox1);
    LabelLanguage->setObjectName(QStringLiteral("LabelLanguage"));
    LabelLanguage->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ComboBoxLanguage = new QComboBox(GroupBox1);
    ComboBoxLanguage->setObjectName(QStringLiteral("ComboBoxLanguage"));
    ComboBoxLanguage->addItems({QStringLiteral("English"), QStringLiteral("Deutsch")});
    ComboBoxLanguage->setMinimumWidth(145);
    ComboBoxLanguage->setCurrentIndex(0);
    LabelLanguage->setBuddy(ComboBoxLanguage);

    // Both labels end at the same right edge, just before their fields.
    auto* grid = new QGridLayout(GroupBox1);
    grid->setContentsMargins(12, 16, 18, 16);
    grid->setHorizontalSpacing(3);
    grid->setVerticalSpacing(11);
    grid->addWidget(LabelPalPath, 0, 0);
    grid->addWidget(EditPalPath, 0, 1, 1, 2);
    grid->addWidget(LabelLanguage, 1, 0);
    grid->addWidget(ComboBoxLanguage, 1, 1);
    grid->setColumnStretch(2, 1);

    ButtonOK = new QPushButton(QStringLiteral("&OK"), this);
    ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    ButtonOK->setMinimumSize(81, 25);
    ButtonOK->setDefault(true);
    ButtonCancel = new QPushButton(this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonCancel->setMinimumSize(80, 25);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(2);
    buttons->addWidget(ButtonOK);
    buttons->addSpacing(36);
    buttons->addWidget(ButtonCancel);
    buttons->addStretch(2);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 0, 5, 10);
    layout->setSpacing(15);
    layout->addWidget(GroupBox1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(EditPalPath, ComboBoxLanguage);
    setTabOrder(ComboBoxLanguage, ButtonCancel);
    setTabOrder(ButtonCancel, ButtonOK);

    connect(ButtonOK, &QPushButton::clicked, this, &TSettingsBox::ButtonOKClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &TSettingsBox::ButtonCancelClick);

    FormCreate();
}

void TSettingsBox::FormCreate()
{
    ApplyLanguage();
}

void TSettingsBox::ApplyLanguage()
{
    setWindowTitle(Text(TitleText));
    GroupBox1->setTitle(Text(GroupText));
    LabelPalPath->setText(Text(PalPathText));
    LabelLanguage->setText(Text(LanguageText));
    ButtonCancel->setText(Text(CancelText));
}

void TSettingsBox::FormShow()
{
    OldPalPath = EditPalPath->text();
}

void TSettingsBox::ButtonOKClick()
{
    // A directory that does not exist is refused silently; OK still closes.
    // So is one whose name holds a line break, which the settings file
    // cannot store.
    const QString path = EditPalPath->text();
    if (!QFileInfo(path).isDir() || path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r')))
        EditPalPath->setText(OldPalPath);
    accept();
}

void TSettingsBox::ButtonCancelClick()
{
    EditPalPath->setText(OldPalPath);
    QDialog::reject();
}

void TSettingsBox::reject()
{
    ButtonCancelClick();
}

void TSettingsBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
        Dialogs::CenterOnScreen(this);
        EditPalPath->setFocus(Qt::OtherFocusReason);
    }
}
