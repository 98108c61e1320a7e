#include "ToolbarImages.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

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

// A sheet with a folded top-right corner, outline at (left, top) of size width x height.
void drawPage(QPainter& painter, int left, int top, int width, int height)
{
    const int fold = 3;
    const QPolygon sheet({QPoint(left, top), QPoint(left + width - fold, top), QPoint(left + width, top + fold),
                          QPoint(left + width, top + height), QPoint(left, top + height)});
    painter.setPen(kOutline);
    painter.setBrush(kPaper);
    painter.drawPolygon(sheet);
    painter.drawLine(left + width - fold, top, left + width - fold, top + fold);
    painter.drawLine(left + width - fold, top + fold, left + width, top + fold);
}

void drawTextLines(QPainter& painter, int left, int top, int width, int count)
{
    painter.setPen(kGrey);
    for (int i = 0; i < count; ++i)
        painter.drawLine(left, top + 2 * i, left + width, top + 2 * i);
}

void drawOpenFolder(QPainter& painter)
{
    painter.setPen(kOutline);
    painter.setBrush(kOlive);
    painter.drawPolygon(
        QPolygon({QPoint(1, 3), QPoint(5, 3), QPoint(6, 4), QPoint(11, 4), QPoint(11, 13), QPoint(1, 13)}));
    painter.setBrush(kYellow);
    painter.drawPolygon(QPolygon({QPoint(4, 7), QPoint(15, 7), QPoint(12, 13), QPoint(1, 13)}));
    // The arrow that says "open".
    painter.drawLine(10, 1, 13, 1);
    painter.drawLine(13, 1, 13, 4);
    painter.drawPoint(12, 2);
    painter.drawPoint(14, 2);
}

void drawFloppyDisk(QPainter& painter)
{
    painter.setPen(kOutline);
    painter.setBrush(kNavy);
    painter.drawRect(1, 1, 13, 13);
    painter.setBrush(kPaper);
    painter.drawRect(4, 1, 7, 5); // the label
    painter.setBrush(kSilver);
    painter.drawRect(4, 9, 7, 5); // the shutter
    painter.fillRect(8, 10, 2, 3, kNavy);
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
    painter.drawRect(1, 2, 11, 13);
    painter.setBrush(kSilver);
    painter.drawRect(4, 1, 5, 2); // the clip
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
        painter.fillRect(2, 2, 12, 12, kNavy);
        break;
    case ToolbarPicture::QuestionMark:
        drawGlyph(painter, u'?', kNavy);
        break;
    case ToolbarPicture::CapitalA:
        drawGlyph(painter, u'A', kOutline);
        break;
    }
}

} // namespace

QPixmap toolbarPixmap(ToolbarPicture picture)
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    draw(painter, picture);
    return pixmap;
}

} // namespace qb
