#include "Unit2.h"

#include "LetterTiles.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr int kClientWidth = 341;
constexpr int kClientHeight = 159;
constexpr int kTileHeight = 41;

} // namespace

TForm2::TForm2(QWidget* parent) : FixedDialog(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Welcome!"));
    QFont windowFont = font();
    windowFont.setPixelSize(11);
    setFont(windowFont);

    // A white window whatever the palette, so its text is black whatever the palette too: a dark palette's light
    // text would vanish on it. The button keeps the palette's own colours.
    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::white);
    background.setColor(QPalette::WindowText, Qt::black);
    setPalette(background);
    setAutoFillBackground(true);

    buildPictures();
    buildTexts();

    m_button1 = new QPushButton(QStringLiteral("Enter Quillbox!"), this);
    m_button1->setObjectName(QStringLiteral("Button1"));
    m_button1->setGeometry(120, 128, 105, 25);
    connect(m_button1, &QPushButton::clicked, this, &TForm2::Button1Click);

    // Lies beyond the right edge of the client area, never seen, so the keyboard must not reach it either.
    m_memo1 = new QPlainTextEdit(QStringLiteral("Memo1"), this);
    m_memo1->setObjectName(QStringLiteral("Memo1"));
    m_memo1->setGeometry(344, 56, 185, 89);
    m_memo1->setFocusPolicy(Qt::NoFocus);

    FormCreate();
}

void TForm2::FormCreate()
{
    fixClientSize(kClientWidth, kClientHeight);
}

void TForm2::buildPictures()
{
    auto* tiles = new qb::LetterTiles(kTileHeight, this);
    tiles->move(8, 0);
    addPadlock(QRect(8, 112, 33, 33));
    addPadlock(QRect(296, 112, 33, 33));
}

void TForm2::buildTexts()
{
    auto* label1 = new QLabel(QStringLiteral("Security System for Internet E-mail"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->move(80, 40);
    label1->adjustSize();

    auto* label3 = new QLabel(QStringLiteral("32-bit for Windows 95/NT"), this);
    label3->setObjectName(QStringLiteral("Label3"));
    label3->move(96, 64);
    label3->adjustSize();
}

void TForm2::Button1Click()
{
    hide();
    close();
}
