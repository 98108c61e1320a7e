#pragma once

#include "FixedDialog.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The welcome window Form2, shown modally before the main window appears.
class TForm2 : public FixedDialog
{
    Q_OBJECT

public:
    explicit TForm2(QWidget* parent = nullptr);

    // "Enter Quillbox!": hides the window and closes it, which ends its modal showing.
    void Button1Click();

private:
    void FormCreate();
    void buildPictures();
    void buildTexts();

    QPushButton* m_button1 = nullptr;
    QPlainTextEdit* m_memo1 = nullptr;
};
