#pragma once

#include <QDialog>

// A secondary window of fixed client size with a single border: centred on the screen when shown, no maximise or
// minimise button (the system menu stays), and closed only by its own buttons or the title bar, not by Esc.
class FixedDialog : public QDialog
{
    Q_OBJECT

public:
    explicit FixedDialog(QWidget* parent = nullptr);

protected:
    // Drops the maximise and minimise buttons and fixes the client area.
    void fixClientSize(int width, int height);

    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
