#include "Overwrite.h"

#include "Dialogs.h"
#include "Language.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <array>

TOverwriteBox* OverwriteBox = nullptr;

namespace {
// The dialog's texts: English, German.
enum TextId
{
    TitleText,
    QuestionText,
    OverwriteText,
    OverwriteAllText,
    InsertText,
    InsertAllText,
    CancelText
};
constexpr std::array<std::array<const char16_t*, 2>, 7> Texts{{
    {u"Overwrite", u"Überschreiben"},
    {u"Overwrite current frame or insert ?", u"Überschreibe aktuellen Frame oder Einfügen ?"},
    {u"&Overwrite", u"Ü&berschreiben"},
    {u"Overwrite &All", u"Überschreiben &Alle"},
    {u"&Insert", u"&Einfügen"},
    {u"Inser&t All", u"Ein&fügen Alle"},
    {u"&Cancel", u"&Abbrechen"},
}};

QString Text(TextId id)
{
    const int column = TextColumn();
    return QString::fromUtf16(Texts[id][column]);
}

QPushButton* MakeButton(QWidget* parent, int width)
{
    auto* button = new QPushButton(parent);
    button->setMinimumSize(width, 25);
    return button;
}
} // namespace

TOverwriteBox::TOverwriteBox(QWidget* parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);

    auto* bevel1 = new QFrame(this);
    bevel1->setObjectName(QStringLiteral("Bevel1"));
    bevel1->setFrameShape(QFrame::Box);
    bevel1->setFrameShadow(QFrame::Sunken);
    bevel1->setMinimumSize(297, 49);
    Label1 = new QLabel(bevel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setMinimumWidth(281);
    auto* bevelLayout = new QVBoxLayout(bevel1);
    bevelLayout->setContentsMargins(8, 8, 8, 8);
    bevelLayout->addWidget(Label1);

    OverwriteBtn = MakeButton(this, 82);
    OverwriteAllBtn = MakeButton(this, 97);
    CancelBtn = MakeButton(this, 75);
    InsertBtn = MakeButton(this, 82);
    InsertAllBtn = MakeButton(this, 97);
    OverwriteBtn->setObjectName(QStringLiteral("OverwriteBtn"));
    OverwriteAllBtn->setObjectName(QStringLiteral("OverwriteAllBtn"));
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    InsertBtn->setObjectName(QStringLiteral("InsertBtn"));
    InsertAllBtn->setObjectName(QStringLiteral("InsertAllBtn"));

    // Two rows: Overwrite, Overwrite All, Cancel; then Insert, Insert All.
    auto* buttons = new QGridLayout;
    buttons->setHorizontalSpacing(15);
    buttons->setVerticalSpacing(11);
    buttons->addWidget(OverwriteBtn, 0, 0);
    buttons->addWidget(OverwriteAllBtn, 0, 1);
    buttons->setColumnStretch(2, 1);
    buttons->setColumnMinimumWidth(2, 8);
    buttons->addWidget(CancelBtn, 0, 3);
    buttons->addWidget(InsertBtn, 1, 0);
    buttons->addWidget(InsertAllBtn, 1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 14);
    layout->setSpacing(11);
    layout->addWidget(bevel1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The focus starts on Cancel, so Enter answers Cancel until it moves.
    setTabOrder(CancelBtn, OverwriteBtn);
    setTabOrder(OverwriteBtn, OverwriteAllBtn);
    setTabOrder(OverwriteAllBtn, InsertBtn);
    setTabOrder(InsertBtn, InsertAllBtn);
    CancelBtn->setDefault(true);

    connect(OverwriteBtn, &QPushButton::clicked, this, &TOverwriteBox::OverwriteBtnClick);
    connect(OverwriteAllBtn, &QPushButton::clicked, this, &TOverwriteBox::OverwriteAllBtnClick);
    connect(InsertBtn, &QPushButton::clicked, this, &TOverwriteBox::InsertBtnClick);
    connect(InsertAllBtn, &QPushButton::clicked, this, &TOverwriteBox::InsertAllBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, [this] { done(Cancel); });

    FormCreate();
}

void TOverwriteBox::FormCreate()
{
    ApplyLanguage();
}

void TOverwriteBox::ApplyLanguage()
{
    setWindowTitle(Text(TitleText));
    Label1->setText(Text(QuestionText));
    OverwriteBtn->setText(Text(OverwriteText));
    OverwriteAllBtn->setText(Text(OverwriteAllText));
    InsertBtn->setText(Text(InsertText));
    InsertAllBtn->setText(Text(InsertAllText));
    CancelBtn->setText(Text(CancelText));
}

void TOverwriteBox::OverwriteBtnClick()
{
    done(Overwrite);
}

void TOverwriteBox::OverwriteAllBtnClick()
{
    done(OverwriteAll);
}

void TOverwriteBox::InsertBtnClick()
{
    done(Insert);
}

void TOverwriteBox::InsertAllBtnClick()
{
    done(InsertAll);
}

void TOverwriteBox::reject()
{
    done(Cancel);
}

void TOverwriteBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    Dialogs::CenterOnScreen(this);
    CancelBtn->setDefault(true);
    CancelBtn->setFocus(Qt::OtherFocusReason);
}
