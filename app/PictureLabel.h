#pragma once

#include <QLabel>
#include <QPixmap>

#include <functional>

namespace qb {

// A label showing a picture drawn in code. It draws the picture for the device pixel ratio it is shown at and again
// when that changes, as when its window moves to another screen, so the picture is sharp on any screen.
class PictureLabel : public QLabel
{
    Q_OBJECT

public:
    using Drawing = std::function<QPixmap(qreal devicePixelRatio)>;

    explicit PictureLabel(Drawing drawing, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawForScreen();

    Drawing m_drawing;
};

} // namespace qb
