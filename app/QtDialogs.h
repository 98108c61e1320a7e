#pragma once

#include "Ui.h"

#include <QString>

#include <string>

class QFileDialog;
class QWidget;

namespace qb {

// The dialogs of the main window with real Qt boxes: message and input boxes, OpenDialog1 and SaveDialog1,
// and the standard error box. Boxes are modal to `parent`.
class QtDialogs : public Dialogs
{
public:
    explicit QtDialogs(QWidget* parent);

    Answer messageBox(const std::string& text, MessageKind kind, MessageButtons buttons) override;
    std::string inputBox(const std::string& caption, const std::string& prompt,
                         const std::string& defaultText) override;
    bool executeOpenDialog() override;
    std::string openDialogFileName() const override;
    bool executeSaveDialog() override;
    std::string saveDialogFileName() const override;
    void showErrorBox(const std::string& text) override;

    static constexpr int kInputMaxLength = 255;

private:
    // Shows `dialog` with `lastName` preselected; `lastName` changes only when the user accepts.
    static bool executeFileDialog(QFileDialog* dialog, QString& lastName);

    QWidget* m_parent;
    QFileDialog* m_openDialog1;
    QFileDialog* m_saveDialog1;
    QString m_openName;
    QString m_saveName;
};

// A box text in which a single "&" underlines the next character and "&&" stands for "&", as rich text;
// a text without "&" comes back unchanged.
QString mnemonicText(const QString& text, Qt::TextFormat& format);

} // namespace qb
