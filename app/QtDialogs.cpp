#include "QtDialogs.h"

#include "QtControls.h"

#include "ProductInfo.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTreeView>

#include <algorithm>

namespace qb {
namespace {

// Tells the title-bar close apart from Esc: the close answers Cancel even when the box has no Cancel button.
class AnswerBox : public QMessageBox
{
public:
    using QMessageBox::QMessageBox;
    bool closedByTitleBar() const { return m_closed; }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        m_closed = true;
        QMessageBox::closeEvent(event);
    }

private:
    bool m_closed = false;
};

struct BoxLook
{
    const char* caption;
    QMessageBox::Icon icon;
};

BoxLook lookOf(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Warning:
        return {"Warning", QMessageBox::Warning};
    case MessageKind::Information:
        return {"Information", QMessageBox::Information};
    case MessageKind::Confirmation:
        break;
    }
    return {"Confirm", QMessageBox::Question};
}

void setBoxText(QMessageBox& box, const std::string& text)
{
    Qt::TextFormat format = Qt::PlainText;
    const QString shown = mnemonicText(displayText(text), format);
    box.setTextFormat(format);
    box.setText(shown);
}

// A window manager sizes the title bar to the box, which fits only its text and buttons: a short text would
// cut the caption. Room for the caption in a bold title font, the window icon and three title-bar buttons.
int captionWidth(const QString& caption)
{
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    return QFontMetrics(titleFont).horizontalAdvance(caption) + 120;
}

// A message box fixes its own size from its layout, so the width goes in as a spacer across the layout.
void fitCaption(QMessageBox& box)
{
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(captionWidth(box.windowTitle()), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
}

// The detail view's columns start at widths from the font alone, or from an earlier showing in any program, and cut
// the sizes, types and dates ("24....KiB"). While the dialog is shown they follow what they list and the names take
// the rest; then they are adjustable again, so the dialog keeps those widths but no fitting for its next showing.
class FittedColumns
{
public:
    explicit FittedColumns(QFileDialog& dialog)
    {
        if (const auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView")))
            m_header = view->header();
        if (!m_header)
            return;
        m_header->setSectionResizeMode(QHeaderView::ResizeToContents);
        m_header->setSectionResizeMode(0, QHeaderView::Stretch);
        // Room for a name of some length beside the other columns, as far as the screen allows.
        int width = std::max(dialog.width(), QFontMetrics(dialog.font()).averageCharWidth() * kDialogChars);
        if (const QScreen* screen = dialog.screen())
            width = std::min(width, screen->availableGeometry().width());
        dialog.resize(width, dialog.height());
    }
    ~FittedColumns()
    {
        if (m_header)
            m_header->setSectionResizeMode(QHeaderView::Interactive);
    }
    FittedColumns(const FittedColumns&) = delete;
    FittedColumns& operator=(const FittedColumns&) = delete;

private:
    static constexpr int kDialogChars = 110;
    QPointer<QHeaderView> m_header;
};

} // namespace

QString mnemonicText(const QString& text, Qt::TextFormat& format)
{
    if (!text.contains(u'&')) {
        format = Qt::PlainText;
        return text;
    }
    format = Qt::RichText;
    QString html = QStringLiteral("<p style=\"white-space:pre-wrap\">");
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\n') {
            html += QStringLiteral("<br>");
        } else if (c != u'&') {
            html += QString(c).toHtmlEscaped();
        } else if (i + 1 < text.size()) {
            const QChar next = text.at(++i);
            html += next == u'&' ? QStringLiteral("&amp;") : "<u>" + QString(next).toHtmlEscaped() + "</u>";
        }
    }
    return html + QStringLiteral("</p>");
}

QtDialogs::QtDialogs(QWidget* parent) : m_parent(parent)
{
    m_openDialog1.objectName = "OpenDialog1";
    m_openDialog1.title = QStringLiteral("Open File");
    // The names are shown as they stand, patterns hidden; all files is "*", since "*.*" would hide names
    // without a dot.
    m_openDialog1.nameFilters =
        QStringList{QStringLiteral("All Files[*.*] (*)"), QStringLiteral("Key Files[*.key] (*.key)"),
                    QStringLiteral("Text Files[*.txt] (*.txt)")};
    m_openDialog1.nameFilter = m_openDialog1.nameFilters.constFirst();
    m_saveDialog1.objectName = "SaveDialog1";
    m_saveDialog1.mode = QFileDialog::AcceptSave;
    // Not the data directory, where the program's own files are: a copy of a key is for someone else.
    m_exportDialog.objectName = "ExportDialog1";
    m_exportDialog.mode = QFileDialog::AcceptSave;
    m_exportDialog.title = QStringLiteral("Export Key");
    m_exportDialog.directory = QDir::homePath();
}

Answer QtDialogs::showMessageBox(const std::string& text, MessageKind kind, MessageButtons buttons,
                                 DefaultButton defaultButton)
{
    const BoxLook look = lookOf(kind);
    AnswerBox box(look.icon, QString::fromLatin1(look.caption), QString(), QMessageBox::NoButton, m_parent);
    setBoxText(box, text);

    QPushButton* ok = nullptr;
    QPushButton* yes = nullptr;
    QPushButton* no = nullptr;
    QPushButton* cancel = nullptr;
    if (buttons == MessageButtons::Ok) {
        ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    } else {
        yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
        no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
        if (buttons == MessageButtons::YesNoCancel)
            cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    }
    box.setDefaultButton(defaultButton == DefaultButton::No && no ? no : ok ? ok : yes);
    box.setEscapeButton(cancel ? cancel : no ? no : ok);
    fitCaption(box);
    box.exec();

    if (box.closedByTitleBar())
        return Answer::Cancel;
    const QAbstractButton* clicked = box.clickedButton();
    if (clicked == ok)
        return Answer::Ok;
    if (clicked == yes)
        return Answer::Yes;
    if (clicked == no)
        return Answer::No;
    return Answer::Cancel;
}

std::string QtDialogs::inputBox(const std::string& caption, const std::string& prompt, const std::string& defaultText)
{
    QInputDialog dialog(m_parent);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(displayText(caption));
    dialog.setLabelText(displayText(prompt));
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Cancel"));
    dialog.setTextValue(textFromCp1252(defaultText));
    if (auto* edit = dialog.findChild<QLineEdit*>()) {
        edit->setMaxLength(kInputMaxLength);
        // The dialog's layout sets its size from its contents, so the width goes on the edit.
        edit->setMinimumWidth(captionWidth(dialog.windowTitle()));
    }
    if (dialog.exec() != QDialog::Accepted)
        return defaultText;
    // Names typed here become lines of the list files and folder names, in the list files' code page.
    return cp1252FromText(dialog.textValue(), "The text");
}

bool QtDialogs::executeFileDialog(FileDialogState& state) const
{
    QFileDialog dialog(m_parent);
    dialog.setObjectName(QString::fromLatin1(state.objectName));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(state.mode);
    // Any name may be typed: the commands report a missing file themselves.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!state.title.isEmpty())
        dialog.setWindowTitle(state.title);
    if (!state.nameFilters.isEmpty()) {
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setNameFilters(state.nameFilters);
        dialog.selectNameFilter(state.nameFilter);
    }
    if (!state.directory.isEmpty())
        dialog.setDirectory(state.directory);
    if (!state.lastName.isEmpty())
        dialog.selectFile(state.lastName);

    int result = QDialog::Rejected;
    {
        const FittedColumns fitted(dialog);
        result = dialog.exec();
    }
    // With the patterns hidden the dialog may name its filter without them; the full one is kept.
    const QString shownFilter = dialog.selectedNameFilter();
    for (const QString& filter : state.nameFilters) {
        if (filter == shownFilter || filter.startsWith(shownFilter + QStringLiteral(" (")))
            state.nameFilter = filter;
    }
    state.directory = dialog.directory().absolutePath();
    if (result != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return false;
    state.lastName = chosen.constFirst();
    return true;
}

bool QtDialogs::executeOpenDialog()
{
    return executeFileDialog(m_openDialog1);
}

std::string QtDialogs::openDialogFileName() const
{
    return QFile::encodeName(m_openDialog1.lastName).toStdString();
}

bool QtDialogs::executeSaveDialog()
{
    return executeFileDialog(m_saveDialog1);
}

std::string QtDialogs::saveDialogFileName() const
{
    return QFile::encodeName(m_saveDialog1.lastName).toStdString();
}

std::string QtDialogs::chooseExportFile(const std::string& fileName)
{
    m_exportDialog.lastName = QDir(m_exportDialog.directory).filePath(QFile::decodeName(fileName.c_str()));
    if (!executeFileDialog(m_exportDialog))
        return {};
    return QFile::encodeName(m_exportDialog.lastName).toStdString();
}

void QtDialogs::showErrorBox(const std::string& text)
{
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kApplicationTitle), displayText(text),
                    QMessageBox::NoButton, m_parent);
    box.setTextFormat(Qt::PlainText);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    fitCaption(box);
    box.exec();
}

} // namespace qb
