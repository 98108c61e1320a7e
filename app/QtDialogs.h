#pragma once

#include "Ui.h"

#include <QFileDialog>
#include <QString>
#include <QStringList>

#include <string>

class QWidget;

namespace qb {

// The dialogs of the main window with real Qt boxes: message and input boxes, OpenDialog1 and SaveDialog1,
// and the standard error box. Boxes are modal to `parent`.
class QtDialogs : public Dialogs
{
public:
    explicit QtDialogs(QWidget* parent);

    std::string inputBox(const std::string& caption, const std::string& prompt,
                         const std::string& defaultText) override;
    bool executeOpenDialog() override;
    std::string openDialogFileName() const override;
    bool executeSaveDialog() override;
    std::string saveDialogFileName() const override;
    std::string chooseExportFile(const std::string& fileName) override;
    void showErrorBox(const std::string& text) override;

    static constexpr int kInputMaxLength = 255;

protected:
    Answer showMessageBox(const std::string& text, MessageKind kind, MessageButtons buttons,
                          DefaultButton defaultButton) override;

private:
    // What a file dialog keeps from one showing to the next. Each showing builds a fresh dialog: the name
    // field's completion list of a kept one could come up after it closed, once its folder had loaded.
    struct FileDialogState
    {
        const char* objectName = "";
        QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
        QString title;
        QStringList nameFilters;
        QString nameFilter;
        QString directory;
        QString lastName; // changes only when the user accepts
    };

    bool executeFileDialog(FileDialogState& state) const;

    QWidget* m_parent;
    FileDialogState m_openDialog1;
    FileDialogState m_saveDialog1;
    FileDialogState m_exportDialog;
};

// A box text in which a single "&" underlines the next character and "&&" stands for "&", as rich text;
// a text without "&" comes back unchanged.
QString mnemonicText(const QString& text, Qt::TextFormat& format);

} // namespace qb
