#pragma once

#include "MemoryStatus.h"
#include "Ui.h"

#include "FixedDialog.h"
#include <QString>

#include <cstdint>
#include <functional>

class QLabel;
class QPushButton;

// The About window Form3: product and author, the memory figures at start-up, and a link to the home page.
class TForm3 : public FixedDialog
{
    Q_OBJECT

public:
    TForm3(qb::Dialogs& mainDialogs, qb::ProcessStarter& starter, QWidget* parent = nullptr);
    // Reads the memory figures now and builds the window, showing them, when called.
    static std::function<TForm3*()> builtLater(qb::Dialogs& mainDialogs, qb::ProcessStarter& starter, QWidget* parent);

    // Fills Label7 and Label8 from these figures.
    void showMemoryStatus(const qb::MemoryStatus& status);

    // Label7's text: total memory in KB with the locale's digit grouping ("65,536 KB"; no digits for 0).
    static QString formatTotalMemory(std::uint64_t totalBytes);
    // Label8's text: "42 %".
    static QString formatMemoryLoad(unsigned memoryLoad);

    void Button1Click();
    void Button2Click();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void FormCreate();
    void buildPictures();
    QLabel* addLabel(const char* objectName, const QString& text, int left, int top);

    qb::Dialogs& m_mainDialogs;
    qb::ProcessStarter& m_starter;
    QLabel* m_label7 = nullptr;
    QLabel* m_label8 = nullptr;
};
