#pragma once

#include "PaintedPictures.h"

#include <QDialog>

// A secondary window of fixed client size with a single border: centred on the screen when shown, no maximise or
// minimise button (the system menu stays). Esc closes it, as the title bar's close button does. It paints its
// pictures (the padlocks) on its own ground.
class FixedDialog : public QDialog
{
    Q_OBJECT

public:
    explicit FixedDialog(QWidget* parent = nullptr);

    const qb::PaintedPictures& pictures() const { return m_pictures; }

protected:
    // Drops the maximise and minimise buttons and fixes the client area.
    void fixClientSize(int width, int height);
    void addPadlock(const QRect& place);

    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    qb::PaintedPictures m_pictures;
};
