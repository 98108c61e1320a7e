#include "Unit4.h"

#include "CommandRunner.h"
#include "ListBoxWidget.h"
#include "QtControls.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr int kClientWidth = 241;
constexpr int kClientHeight = 180;

} // namespace

TForm4::TForm4(qb::Session& session, qb::Dialogs& mainDialogs, qb::ProcessStarter& starter, QWidget* parent)
    : FixedDialog(parent), m_mainDialogs(mainDialogs), m_listBox1(new qb::ListBoxWidget(this)),
      m_list(std::make_unique<qb::QtListControl>(m_listBox1)), m_programs(session, mainDialogs, *this, starter)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Mail Programs"));
    QFont windowFont = font();
    windowFont.setPixelSize(11);
    setFont(windowFont);

    m_listBox1->setObjectName(QStringLiteral("ListBox1"));
    m_listBox1->setAccessibleName(QStringLiteral("Mail programs"));
    m_listBox1->setGeometry(8, 8, 225, 137);
    // A double click anywhere in the list runs, as "&Run" does, whatever is selected.
    m_listBox1->viewport()->installEventFilter(this);

    auto* button1 = new QPushButton(QStringLiteral("&Run"), this);
    button1->setObjectName(QStringLiteral("Button1"));
    button1->setGeometry(32, 152, 75, 25);
    connect(button1, &QPushButton::clicked, this, &TForm4::Button1Click);

    auto* button2 = new QPushButton(QStringLiteral("&Close"), this);
    button2->setObjectName(QStringLiteral("Button2"));
    button2->setGeometry(136, 152, 75, 25);
    connect(button2, &QPushButton::clicked, this, &TForm4::Button2Click);

    setTabOrder(m_listBox1, button1);
    setTabOrder(button1, button2);

    FormCreate();
}

TForm4::~TForm4() = default;

void TForm4::FormCreate()
{
    fixClientSize(kClientWidth, kClientHeight);
    qb::runCommand(m_mainDialogs, [this] { m_programs.updateprograms(); });
}

qb::ListControl& TForm4::listBox1()
{
    return *m_list;
}

void TForm4::close()
{
    QDialog::close();
}

void TForm4::Button1Click()
{
    qb::runCommand(m_mainDialogs, [this] { m_programs.Button1Click(); });
}

void TForm4::Button2Click()
{
    close();
}

bool TForm4::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_listBox1->viewport() && event->type() == QEvent::MouseButtonDblClick)
        Button1Click();
    return FixedDialog::eventFilter(watched, event);
}
