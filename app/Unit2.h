#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The welcome window Form2, shown modally before the main window appears.
class TForm2 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm2(QWidget* parent = nullptr);

    // "Enter Quillbox!": hides the window and closes it, which ends its modal showing.
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormCreate();
    void buildPictures();
    void buildTexts();

    QPushButton* m_button1 = nullptr;
    QPlainTextEdit* m_memo1 = nullptr;
};
