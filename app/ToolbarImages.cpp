#include "ToolbarImages.h"

#include "DrawnIconEngine.h"

#include "Pictures.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cmath>
#include <initializer_list>

namespace qb {
namespace {

constexpr int kSize = 16;
const QColor kOutline(0, 0, 0);
const QColor kPaper(255, 255, 255);
const QColor kNavy(0, 0, 128);
const QColor kGrey(128, 128, 128);
const QColor kSilver(192, 192, 192);
const QColor kYellow(255, 255, 0);
const QColor kOlive(128, 128, 0);
const QColor kRim(255, 255, 255, 220);

// The pictures are pixel drawings: a fill covers whole pixels, and an outline the pixels its whole coordinates
// name. Qt puts a one-pixel outline into the pixel to the lower right of its coordinates but centres a wider one,
// as on a screen of two or three device pixels per pixel, on them: there the outline goes through the pixel centres.
QPointF pixel(const QPainter& painter, int x, int y)
{
    const qreal shift = painter.device()->devicePixelRatio() > 1 ? 0.5 : 0.0;
    return {x + shift, y + shift};
}

QPolygonF outline(const QPainter& painter, std::initializer_list<QPoint> corners)
{
    QPolygonF polygon;
    for (const QPoint& corner : corners)
        polygon << pixel(painter, corner.x(), corner.y());
    return polygon;
}

void drawLine(QPainter& painter, int x1, int y1, int x2, int y2)
{
    painter.drawLine(pixel(painter, x1, y1), pixel(painter, x2, y2));
}

void drawDot(QPainter& painter, int x, int y)
{
    painter.fillRect(QRect(x, y, 1, 1), painter.pen().color());
}

// A filled box whose outline covers columns left..left+width and rows top..top+height.
void drawBox(QPainter& painter, int left, int top, int width, int height)
{
    painter.drawRect(QRectF(pixel(painter, left, top), QSizeF(width, height)));
}

// A sheet with a folded top-right corner, outline at (left, top) of size width x height.
void drawPage(QPainter& painter, int left, int top, int width, int height)
{
    const int fold = 3;
    painter.setPen(kOutline);
    painter.setBrush(kPaper);
    painter.drawPolygon(
        outline(painter, {QPoint(left, top), QPoint(left + width - fold, top), QPoint(left + width, top + fold),
                          QPoint(left + width, top + height), QPoint(left, top + height)}));
    drawLine(painter, left + width - fold, top, left + width - fold, top + fold);
    drawLine(painter, left + width - fold, top + fold, left + width, top + fold);
}

void drawTextLines(QPainter& painter, int left, int top, int width, int count)
{
    painter.setPen(kGrey);
    for (int i = 0; i < count; ++i)
        drawLine(painter, left, top + 2 * i, left + width, top + 2 * i);
}

void drawOpenFolder(QPainter& painter)
{
    painter.setPen(kOutline);
    painter.setBrush(kOlive);
    painter.drawPolygon(
        outline(painter, {QPoint(1, 3), QPoint(5, 3), QPoint(6, 4), QPoint(11, 4), QPoint(11, 13), QPoint(1, 13)}));
    painter.setBrush(kYellow);
    painter.drawPolygon(outline(painter, {QPoint(4, 7), QPoint(15, 7), QPoint(12, 13), QPoint(1, 13)}));
    // The arrow that says "open".
    drawLine(painter, 10, 1, 13, 1);
    drawLine(painter, 13, 1, 13, 4);
    drawDot(painter, 12, 2);
    drawDot(painter, 14, 2);
}

void drawFloppyDisk(QPainter& painter)
{
    painter.setPen(kOutline);
    painter.setBrush(kNavy);
    drawBox(painter, 1, 1, 13, 13);
    painter.setBrush(kPaper);
    drawBox(painter, 4, 1, 7, 5); // the label
    painter.setBrush(kSilver);
    drawBox(painter, 4, 9, 7, 5); // the shutter
    painter.fillRect(QRect(8, 10, 2, 3), kNavy);
}

void drawScissors(QPainter& painter)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kOutline, 1.2));
    painter.drawLine(QPointF(5, 1), QPointF(10, 10));
    painter.drawLine(QPointF(11, 1), QPointF(6, 10));
    painter.setPen(QPen(kNavy, 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(4.5, 12), 2.5, 2.5);
    painter.drawEllipse(QPointF(11.5, 12), 2.5, 2.5);
}

void drawClipboard(QPainter& painter)
{
    painter.setPen(kOutline);
    painter.setBrush(kOlive);
    drawBox(painter, 1, 2, 11, 13);
    painter.setBrush(kSilver);
    drawBox(painter, 4, 1, 5, 2); // the clip
    drawPage(painter, 6, 6, 9, 9);
    drawTextLines(painter, 8, 9, 5, 3);
}

void drawGlyph(QPainter& painter, QChar glyph, const QColor& colour)
{
    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(15);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(colour);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.drawText(QRect(0, 0, kSize, kSize), Qt::AlignCenter, QString(glyph));
}

void draw(QPainter& painter, ToolbarPicture picture)
{
    switch (picture) {
    case ToolbarPicture::BlankPage:
        drawPage(painter, 3, 1, 10, 14);
        break;
    case ToolbarPicture::OpenFolder:
        drawOpenFolder(painter);
        break;
    case ToolbarPicture::FloppyDisk:
        drawFloppyDisk(painter);
        break;
    case ToolbarPicture::TwoPages:
        drawPage(painter, 1, 1, 8, 10);
        drawTextLines(painter, 3, 4, 4, 3);
        drawPage(painter, 6, 5, 8, 10);
        drawTextLines(painter, 8, 8, 4, 3);
        break;
    case ToolbarPicture::Scissors:
        drawScissors(painter);
        break;
    case ToolbarPicture::Clipboard:
        drawClipboard(painter);
        break;
    case ToolbarPicture::NavyBlock:
        painter.fillRect(QRect(2, 2, 12, 12), kNavy);
        break;
    case ToolbarPicture::QuestionMark:
        drawGlyph(painter, u'?', kNavy);
        break;
    case ToolbarPicture::CapitalA:
        drawGlyph(painter, u'A', kOutline);
        break;
    }
}

// Lays `drawing` on a light rim one pixel wide around its shapes: dark strokes, navy and black, would vanish on a
// dark tool bar; on a light one the rim hardly shows.
QImage withRim(const QImage& drawing, qreal devicePixelRatio)
{
    QImage silhouette = drawing;
    {
        QPainter painter(&silhouette);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(silhouette.rect(), kRim);
    }
    QImage rimmed(drawing.size(), QImage::Format_ARGB32_Premultiplied);
    rimmed.fill(Qt::transparent);
    QPainter painter(&rimmed);
    const int reach = std::max(1, static_cast<int>(std::lround(devicePixelRatio)));
    for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx)
            painter.drawImage(dx, dy, silhouette);
    }
    // The overlapping copies add up; the rim keeps the colour's own strength.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(rimmed.rect(), kRim);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(0, 0, drawing);
    return rimmed;
}

} // namespace

QPixmap toolbarPixmap(ToolbarPicture picture, qreal devicePixelRatio)
{
    QPixmap drawing = pictureCanvas(QSize(kSize, kSize), devicePixelRatio);
    {
        QPainter painter(&drawing);
        draw(painter, picture);
    }
    QImage image = drawing.toImage();
    image.setDevicePixelRatio(1.0);
    QPixmap rimmed = QPixmap::fromImage(withRim(image, devicePixelRatio));
    rimmed.setDevicePixelRatio(devicePixelRatio);
    return rimmed;
}

QIcon toolbarIcon(ToolbarPicture picture)
{
    return drawnIcon([picture](QSize pixels) { return toolbarPixmap(picture, pixels.width() / 16.0); });
}

} // namespace qb
