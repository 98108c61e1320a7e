// The builders of the main window: actions, menu, tool bar, client area and status bar.
#include "Unit1.h"

#include "CorrespondentBox.h"
#include "ListBoxWidget.h"
#include "QtControls.h"
#include "StatusLine.h"
#include "ToolbarImages.h"

#include <QAction>
#include <QHBoxLayout>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

namespace {

constexpr int kButtonWidth = 23;
constexpr int kButtonHeight = 22;
constexpr int kToolBarHeight = 25;
constexpr int kStatusBarHeight = 19;

} // namespace

struct TForm1::CommandEntry
{
    const char* name;
    const char* caption;
    const char* shortcut;
    const char* hint; // shown on hover over the tool button
    bool hasPicture;
    qb::ToolbarPicture picture;
    void (TForm1::*handler)();
};

namespace {
using Picture = qb::ToolbarPicture;
} // namespace

QAction* TForm1::makeAction(const CommandEntry& entry)
{
    auto* action = new QAction(QString::fromLatin1(entry.caption), this);
    action->setObjectName(QString::fromLatin1(entry.name));
    if (*entry.shortcut)
        action->setShortcut(QKeySequence(QString::fromLatin1(entry.shortcut)));
    if (*entry.hint)
        action->setToolTip(QString::fromLatin1(entry.hint));
    if (entry.hasPicture) {
        action->setIcon(qb::toolbarIcon(entry.picture));
        action->setIconVisibleInMenu(false);
    }
    const auto handler = entry.handler;
    connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    return action;
}

// Every command of the menu and the tool bar; each action is created once and placed on both.
void TForm1::buildActions()
{
    static const CommandEntry commands[] = {
        {"NewMail1", "&New..", "Ctrl+N", "New Message", true, Picture::BlankPage, &TForm1::NewMail1Click},
        {"Open1", "&Open", "Ctrl+O", "Open File", true, Picture::OpenFolder, &TForm1::Open1Click},
        {"Save1", "Save current", "Ctrl+S", "Save current", true, Picture::FloppyDisk, &TForm1::Save1Click},
        {"SaveAs1", "Save &As..", "", "", false, {}, &TForm1::SaveAs1Click},
        {"NewKey1", "New &Recipiant", "", "", false, {}, &TForm1::NewKey1Click},
        {"NewRecipiantFile1", "New Recipiant &File", "", "", false, {}, &TForm1::NewRecipiantFile1Click},
        {"ImportKey1", "&Import Key", "", "", false, {}, &TForm1::ImportKey1Click},
        {"KeyFingerprint1", "&Key Fingerprint...", "", "", false, {}, &TForm1::KeyFingerprint1Click},
        {"ExportKey1", "&Export Key...", "", "", false, {}, &TForm1::ExportKey1Click},
        {"Exit1", "E&xit", "Ctrl+Q", "", false, {}, &TForm1::Exit1Click},
        {"Cut1", "C&ut", "Ctrl+X", "Cut", true, Picture::Scissors, &TForm1::Cut1Click},
        {"Copy1", "&Copy", "Ctrl+C", "Copy", true, Picture::TwoPages, &TForm1::Copy1Click},
        {"Paste1", "&Paste", "Ctrl+V", "Paste", true, Picture::Clipboard, &TForm1::Paste1Click},
        {"SelectAll1", "&Select All", "", "Select All Text", true, Picture::NavyBlock, &TForm1::SelectAll1Click},
        {"CopyAsMailText1", "Copy as &Mail Text", "Ctrl+Shift+C", "", false, {}, &TForm1::CopyAsMailText1Click},
        {"Encrypt1", "&Encrypt", "Ctrl+E", "Encrypt Message", true, Picture::QuestionMark, &TForm1::Encrypt1Click},
        {"Decrypt1", "&Decrypt", "Ctrl+D", "Decrypt Message", true, Picture::CapitalA, &TForm1::Decrypt1Click},
        {"StrongEncryption1", "&Strong Encryption", "", "", false, {}, &TForm1::StrongEncryption1Click},
        {"StartProgram1", "&Start Program", "", "", false, {}, &TForm1::RunProgram1Click},
        {"AddProgram1", "&Add Program", "", "", false, {}, &TForm1::AddProgram1Click},
        {"NewMailProgramFile1", "&New Mail Program File", "", "", false, {}, &TForm1::NewMailProgramFile1Click},
        {"About1", "&About", "", "", false, {}, &TForm1::About1Click},
    };
    for (const CommandEntry& entry : commands)
        makeAction(entry);
    action("StrongEncryption1")->setCheckable(true);
}

QAction* TForm1::action(const char* name) const
{
    return findChild<QAction*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

void TForm1::buildMenu()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    // "&" in a name list stands for a separator with that object name.
    struct MenuEntry
    {
        const char* name;
        const char* caption;
        std::initializer_list<const char*> items;
    };
    static const MenuEntry menus[] = {
        {"File1",
         "&File",
         {"NewMail1", "Open1", "SaveAs1", "&N1", "NewKey1", "NewRecipiantFile1", "ImportKey1", "KeyFingerprint1",
          "ExportKey1", "&N2", "Exit1"}},
        {"Edit1", "&Edit", {"Cut1", "Copy1", "Paste1", "SelectAll1", "&N3", "CopyAsMailText1"}},
        {"EncryptDecrypt1", "&Encrypt/Decrypt", {"Encrypt1", "Decrypt1", "&N4", "StrongEncryption1"}},
        {"MailProgram1", "&Mail Programs", {"StartProgram1", "AddProgram1", "NewMailProgramFile1"}},
    };
    for (const MenuEntry& entry : menus) {
        QMenu* menu = bar->addMenu(QString::fromLatin1(entry.caption));
        menu->setObjectName(QString::fromLatin1(entry.name));
        // A drop-down is a window of its own and would take the application's larger font.
        menu->setFont(font());
        for (const char* item : entry.items) {
            if (*item == '&')
                menu->addSeparator()->setObjectName(QString::fromLatin1(item + 1));
            else
                menu->addAction(action(item));
        }
    }
    // The item shows the selected correspondent's setting whenever the menu opens.
    connect(findChild<QMenu*>(QStringLiteral("EncryptDecrypt1")), &QMenu::aboutToShow, this,
            &TForm1::showStrongEncryptionSetting);
    // About is a command of its own on the menu bar, with no menu under it.
    bar->addAction(action("About1"));
}

void TForm1::buildToolBar()
{
    // The title is what a screen reader announces; the bar is never floated, so nothing else shows it.
    QToolBar* toolBar = addToolBar(QStringLiteral("Tool bar"));
    toolBar->setObjectName(QStringLiteral("ToolBar1"));
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->setIconSize(QSize(16, 16));
    toolBar->setFixedHeight(kToolBarHeight);
    toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    toolBar->layout()->setSpacing(0);
    toolBar->layout()->setContentsMargins(0, 0, 0, 0);

    // A name with a width is a separator of that width.
    struct ButtonEntry
    {
        const char* name;
        const char* actionName;
        int separatorWidth;
    };
    static const ButtonEntry buttons[] = {
        {"ToolButton10", "NewMail1", 0}, {"ToolButton1", "Open1", 0},       {"ToolButton2", "Save1", 0},
        {"ToolButton8", nullptr, 19},    {"ToolButton3", "Copy1", 0},       {"ToolButton4", "Cut1", 0},
        {"ToolButton5", "Paste1", 0},    {"ToolButton11", "SelectAll1", 0}, {"ToolButton6", nullptr, 22},
        {"ToolButton7", "Encrypt1", 0},  {"ToolButton9", "Decrypt1", 0},
    };
    for (const ButtonEntry& button : buttons) {
        QAction* placed = button.actionName ? action(button.actionName) : toolBar->addSeparator();
        if (button.actionName)
            toolBar->addAction(placed);
        QWidget* widget = toolBar->widgetForAction(placed);
        widget->setObjectName(QString::fromLatin1(button.name));
        if (button.actionName)
            widget->setFixedSize(kButtonWidth, kButtonHeight);
        else
            widget->setFixedWidth(button.separatorWidth);
    }

    // Shown when the window is too narrow for every button: a screen reader would call it an unnamed check box.
    if (auto* overflow = toolBar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
        overflow->setAccessibleName(QStringLiteral("More tools"));

    m_edit2 = new QLineEdit(toolBar);
    m_edit2->setObjectName(QStringLiteral("Edit2"));
    m_edit2->setAccessibleName(QStringLiteral("Message file"));
    m_edit2->setFixedHeight(kButtonHeight);
    toolBar->addWidget(m_edit2);
}

void TForm1::buildClientArea()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    auto* layout = new QHBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_memo1 = new qb::MemoEdit(client);
    m_memo1->setObjectName(QStringLiteral("Memo1"));
    m_memo1->setAccessibleName(QStringLiteral("Message"));
    m_memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Lines wrap at the edge, so a horizontal bar would have nothing to scroll; kept always on, it makes the editor
    // look through every line for the widest after a change.
    m_memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Tab types a Tab; Ctrl+Tab and Shift+Tab leave the editor (MemoEdit).
    m_memo1->setTabChangesFocus(false);
    connect(m_memo1, &QPlainTextEdit::textChanged, this, &TForm1::Memo1Change);
    layout->addWidget(m_memo1, 1);

    auto* groupBox = new qb::CorrespondentBox(QStringLiteral("Recipient/Sender"), client);
    groupBox->setObjectName(QStringLiteral("GroupBox2"));

    m_listBox1 = groupBox->list();
    m_listBox1->setObjectName(QStringLiteral("ListBox1"));
    m_listBox1->setAccessibleName(QStringLiteral("Recipients"));
    m_listBox1->setToolTip(QStringLiteral("Recipants"));
    connect(m_listBox1, &qb::ListBoxWidget::selectionMoved, this, [this] {
        if (m_listBox1->selectedRow() >= 0)
            ListBox1Click();
    });
    // A click on the entry that is already selected selects it again, as far as the user can tell.
    connect(m_listBox1, &QAbstractItemView::clicked, this, [this] {
        if (m_listBox1->selectedRow() >= 0)
            ListBox1Click();
    });

    m_progressBar3 = groupBox->progressBar();
    m_progressBar3->setObjectName(QStringLiteral("ProgressBar3"));
    m_progressBar3->setAccessibleName(QStringLiteral("Progress"));
    m_progressBar3->setTextVisible(false);

    layout->addWidget(groupBox);
    setCentralWidget(client);
    // The editor, the path field and the list form one cycle.
    setTabOrder(m_memo1, m_edit2);
    setTabOrder(m_edit2, m_listBox1);
}

void TForm1::buildStatusBar()
{
    m_statusLine = new qb::StatusLine(this);
    m_statusLine->setObjectName(QStringLiteral("StatusBar1"));
    m_statusLine->setFixedHeight(kStatusBarHeight);
    setStatusBar(m_statusLine);
}
