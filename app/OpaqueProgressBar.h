#pragma once

#include <QPixmap>
#include <QProgressBar>

namespace qb {

// A progress bar that paints what lies behind it itself, so that repainting it for a step of a long run does not
// make every widget under it paint too. What lies behind it is its parent's own painting, without children,
// rendered once and kept until the bar moves, resizes or changes its look.
class OpaqueProgressBar : public QProgressBar
{
    Q_OBJECT

public:
    explicit OpaqueProgressBar(QWidget* parent = nullptr);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QPixmap renderBackdrop() const;

    QPixmap m_backdrop;
};

} // namespace qb
