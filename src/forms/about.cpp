#include "about.h"

#include "Dialogs.h"
#include "Icons.h"
#include "Language.h"
#include "TrevascVersion.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <array>

TAboutBox* AboutBox = nullptr;

namespace {
// The box's texts: English, German.
enum TextId
{
    TitleText,
    DescriptionText1,
    DescriptionText2,
    ReadmeText
};
constexpr std::array<std::array<const char16_t*, 2>, 4> Texts{{
    {u"About", u"Info"},
    {u"A tool to copy/move frames between ZLT catalog files",
     u"Ein Tool um Frames zwischen ZLT Catalog Dateien"},
    {u"", u"zu kopieren/verschieben"},
    {u"See readme.txt for more info...", u"Siehe readme.txt für weitere Informationen..."},
}};

QString Text(TextId id)
{
    const int column = TextColumn();
    return QString::fromUtf16(Texts[id][column]);
}

QLabel* CenteredLabel(QWidget* parent, const char* name, int width)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumSize(width, 13);
    return label;
}
} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setMinimumSize(281, 177);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setPixmap(Icons::ProgramPicture());
    ProgramIcon->setFixedSize(33, 33);
    ProductName = new QLabel(QStringLiteral("Trevasc"), Panel1);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    Version = new QLabel(QStringLiteral("Version " TREVASC_VERSION), Panel1);
    Version->setObjectName(QStringLiteral("Version"));
    Label1 = CenteredLabel(Panel1, "Label1", 265);
    Label2 = CenteredLabel(Panel1, "Label2", 261);
    Label3 = CenteredLabel(Panel1, "Label3", 273);

    auto* names = new QVBoxLayout;
    names->setSpacing(10);
    names->addWidget(ProductName);
    names->addWidget(Version);
    auto* top = new QHBoxLayout;
    top->addSpacing(32);
    top->addWidget(ProgramIcon, 0, Qt::AlignTop);
    top->addSpacing(15);
    top->addLayout(names);
    top->addStretch(1);

    auto* panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(4, 14, 4, 10);
    panelLayout->setSpacing(3);
    panelLayout->addLayout(top);
    panelLayout->addStretch(1);
    panelLayout->addWidget(Label1);
    panelLayout->addWidget(Label2);
    panelLayout->addSpacing(8);
    panelLayout->addWidget(Label3);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setMinimumSize(65, 33);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 6);
    layout->setSpacing(9);
    layout->addWidget(Panel1);
    layout->addWidget(OKButton, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    FormCreate();
}

void TAboutBox::FormCreate()
{
    ApplyLanguage();
}

void TAboutBox::ApplyLanguage()
{
    setWindowTitle(Text(TitleText));
    Label1->setText(Text(DescriptionText1));
    Label2->setText(Text(DescriptionText2));
    Label3->setText(Text(ReadmeText));
}

void TAboutBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    Dialogs::CenterOnScreen(this);
    OKButton->setFocus(Qt::OtherFocusReason);
}
