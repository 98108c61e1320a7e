#include "Unit3.h"

#include "CommandLine.h"
#include "CommandRunner.h"
#include "LetterTiles.h"
#include "Pictures.h"
#include "ProductInfo.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr int kClientWidth = 374;
constexpr int kClientHeight = 204;
const char* const kCommentsText = "Please send your comments and suggestions to:";
const char* const kGotoText = "Goto My Page!";
constexpr int kButtonLeft = 272;
constexpr int kButtonWidth = 83;

// The layout was made for a narrow 8-point face: the default sans is shrunk until the comment line ends
// before the buttons and the longer button caption fits its button.
QFont fittingFont(QFont font)
{
    for (int pixels = 11; pixels > 8; --pixels) {
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font);
        if (16 + metrics.horizontalAdvance(QString::fromLatin1(kCommentsText)) < kButtonLeft &&
            metrics.horizontalAdvance(QString::fromLatin1(kGotoText)) <= kButtonWidth - 8)
            return font;
    }
    font.setPixelSize(8);
    return font;
}

} // namespace

TForm3::TForm3(qb::Dialogs& mainDialogs, qb::ProcessStarter& starter, QWidget* parent)
    : FixedDialog(parent), m_mainDialogs(mainDialogs), m_starter(starter)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("About"));
    setFont(fittingFont(font()));

    buildPictures();
    addLabel("Label9", QStringLiteral("Security System for Internet E-mail"), 40, 48);
    addLabel("Label11", QStringLiteral("32-bit for Windows 95/NT"), 40, 64);
    addLabel("Label3", QStringLiteral("Written By: ") + QString::fromUtf8(qb::kAuthorName), 40, 80);
    addLabel("Label1", QStringLiteral("Pysical Memory"), 64, 104);
    m_label7 = addLabel("Label7", QString(), 168, 104);
    addLabel("Label6", QStringLiteral("Memory Used"), 64, 128);
    m_label8 = addLabel("Label8", QString(), 168, 128);
    addLabel("Label4", QString::fromLatin1(kCommentsText), 16, 168);

    QLabel* label5 = addLabel("Label5", QString::fromUtf8(qb::kAuthorEmail), 16, 184);
    QPalette navy = label5->palette();
    navy.setColor(QPalette::Window, QColor(0, 0, 128));
    navy.setColor(QPalette::WindowText, Qt::white);
    label5->setPalette(navy);
    label5->setAutoFillBackground(true);

    auto* button2 = new QPushButton(QString::fromLatin1(kGotoText), this);
    button2->setObjectName(QStringLiteral("Button2"));
    button2->setGeometry(kButtonLeft, 112, kButtonWidth, 25);
    connect(button2, &QPushButton::clicked, this, &TForm3::Button2Click);

    auto* button1 = new QPushButton(QStringLiteral("&Close"), this);
    button1->setObjectName(QStringLiteral("Button1"));
    button1->setGeometry(kButtonLeft, 152, kButtonWidth, 25);
    connect(button1, &QPushButton::clicked, this, &TForm3::Button1Click);
    setTabOrder(button2, button1);

    FormCreate();
}

std::function<TForm3*()> TForm3::builtLater(qb::Dialogs& mainDialogs, qb::ProcessStarter& starter, QWidget* parent)
{
    return [&mainDialogs, &starter, parent, atStart = qb::queryMemoryStatus()] {
        auto* form3 = new TForm3(mainDialogs, starter, parent);
        form3->showMemoryStatus(atStart);
        return form3;
    };
}

void TForm3::FormCreate()
{
    fixClientSize(kClientWidth, kClientHeight);
    // Read once, so the window shows the state at program start.
    showMemoryStatus(qb::queryMemoryStatus());
}

void TForm3::buildPictures()
{
    addPadlock(QRect(8, 8, 32, 32));

    auto* tiles = new qb::LetterTiles(qb::kLetterTileSize.height(), this);
    tiles->move(40, 8);
}

QLabel* TForm3::addLabel(const char* objectName, const QString& text, int left, int top)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::fromLatin1(objectName));
    label->move(left, top);
    label->adjustSize();
    // A click on a label is the label's, not the window's background.
    label->setAttribute(Qt::WA_NoMousePropagation);
    return label;
}

void TForm3::showMemoryStatus(const qb::MemoryStatus& status)
{
    m_label7->setText(formatTotalMemory(status.totalBytes));
    m_label7->adjustSize();
    m_label8->setText(formatMemoryLoad(status.memoryLoad));
    m_label8->adjustSize();
}

QString TForm3::formatTotalMemory(std::uint64_t totalBytes)
{
    // "#,###" rounds to a whole number and shows no digit at all for zero.
    const std::uint64_t kilobytes = (totalBytes + 512) / 1024;
    const QString digits = kilobytes == 0 ? QString() : QLocale().toString(static_cast<qulonglong>(kilobytes));
    return digits + QStringLiteral(" KB");
}

QString TForm3::formatMemoryLoad(unsigned memoryLoad)
{
    return QStringLiteral("%1 %").arg(memoryLoad);
}

void TForm3::Button1Click()
{
    close();
}

void TForm3::Button2Click()
{
    qb::runCommand(m_mainDialogs, [this] {
        const qb::Answer answer = m_mainDialogs.messageBox(
            "My Web Page is best viewed in Netscape. If you installed Netscape in it's default directory click YES "
            "else click NO",
            qb::MessageKind::Confirmation, qb::MessageButtons::YesNo);
        // Yes stands for a browser in its default place: on this desktop, the default browser.
        if (answer == qb::Answer::Yes) {
            m_starter.openUrl(qb::kHomePage);
            return;
        }
        // A cancelled choice starts nothing: the name left in the shared dialog may be any earlier file.
        if (m_mainDialogs.executeOpenDialog())
            qb::startCommand(m_starter, m_mainDialogs, {m_mainDialogs.openDialogFileName(), {qb::kHomePage}});
    });
}

// FormClick: a left click, complete when the button comes up over the window's background.
void TForm3::mouseReleaseEvent(QMouseEvent* event)
{
    FixedDialog::mouseReleaseEvent(event);
    // The padlock is a picture of its own, not background, though the window paints it.
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && rect().contains(at) && !pictures().contains(at))
        close();
}
