#include "AppTestSupport.h"

#include "Pictures.h"
#include "QtDialogs.h"
#include "QtProcessStarter.h"
#include "ToolbarImages.h"
#include "Unit2.h"
#include "Unit3.h"

#include <QApplication>
#include <QPainter>

namespace {

using qb::ToolbarPicture;

// The box around a picture's visible pixels, in device-independent pixels.
QRectF drawnArea(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0)
                area |= QRect(x, y, 1, 1);
        }
    }
    const qreal ratio = pixmap.devicePixelRatio();
    return QRectF(area.x() / ratio, area.y() / ratio, area.width() / ratio, area.height() / ratio);
}

// How many pixels of `picture` laid on `ground` are lighter than 160, and how many darker than 96.
std::pair<int, int> lightAndDarkOn(const QColor& ground, ToolbarPicture picture)
{
    QImage laid(16, 16, QImage::Format_RGB32);
    laid.fill(ground);
    QPainter(&laid).drawPixmap(0, 0, qb::toolbarPixmap(picture));
    std::pair<int, int> counts;
    for (int y = 0; y < laid.height(); ++y) {
        for (int x = 0; x < laid.width(); ++x) {
            const int lightness = laid.pixelColor(x, y).lightness();
            counts.first += lightness > 160;
            counts.second += lightness < 96;
        }
    }
    return counts;
}

} // namespace

// Runs on a screen of two device pixels per pixel.
class PicturesTest : public QObject
{
    Q_OBJECT

public:
    static void initMain() { qputenv("QT_SCALE_FACTOR", "2"); }

private slots:
    void initTestCase() { QCOMPARE(qApp->devicePixelRatio(), 2.0); }

    void picturesAreDrawnForTheirPixelRatio()
    {
        struct Row
        {
            const char* name;
            QPixmap atOne;
            QPixmap atTwo;
        };
        const Row rows[] = {
            {"padlock", qb::padlockPixmap(32), qb::padlockPixmap(32, 2.0)},
            {"letter tile", qb::letterTile(u'Q'), qb::letterTile(u'Q', 2.0)},
            {"tool bar picture", qb::toolbarPixmap(ToolbarPicture::Scissors),
             qb::toolbarPixmap(ToolbarPicture::Scissors, 2.0)},
        };
        for (const Row& row : rows) {
            const qbtest::RowTrace trace(row.name);
            // The plain picture stays as icon files are rendered from it: its size in pixels, at ratio 1.
            QCOMPARE(row.atOne.devicePixelRatio(), 1.0);
            QCOMPARE(row.atTwo.devicePixelRatio(), 2.0);
            QCOMPARE(row.atTwo.size(), row.atOne.size() * 2);
            // Drawn over the whole, not into one corner or scaled from the small one's pixels.
            const QRectF one = drawnArea(row.atOne);
            const QRectF two = drawnArea(row.atTwo);
            QVERIFY(one.adjusted(-1, -1, 1, 1).contains(two) && two.adjusted(-1, -1, 1, 1).contains(one));
            QVERIFY(row.atTwo.toImage() != row.atOne.scaled(row.atTwo.size()).toImage());
        }
    }

    void windowsShowPicturesAtTheScreensRatio()
    {
        TForm2 form2;
        qb::QtDialogs dialogs(nullptr);
        qb::QtProcessStarter starter; // never reached: nothing is clicked
        TForm3 form3(dialogs, starter);
        QImage padlockOnWhite(64, 64, QImage::Format_RGB32);
        padlockOnWhite.setDevicePixelRatio(2.0);
        padlockOnWhite.fill(Qt::white);
        QPainter(&padlockOnWhite).drawPixmap(0, 0, qb::padlockPixmap(32, 2.0));
        struct Row
        {
            const char* name;
            const QWidget* painter;
            QRect place; // device-independent pixels
            QImage expected;
        };
        const Row rows[] = {
            {"padlock", &form2, QRect(8, 112, 32, 32), padlockOnWhite},
            {"last tile", qbtest::child(form3, "ProductName"), QRect(280, 0, 45, 35),
             qb::letterTile(u'X', 2.0).toImage()},
        };
        for (const Row& row : rows) {
            const qbtest::RowTrace trace(row.name);
            const QImage shown = const_cast<QWidget*>(row.painter)->grab(row.place).toImage();
            QCOMPARE(shown.size(), row.place.size() * 2);
            QCOMPARE(shown.convertToFormat(QImage::Format_RGB32), row.expected.convertToFormat(QImage::Format_RGB32));
        }
    }

    // The tiles take each capital's outline from the face itself rather than laying it out as text in the face
    // they were drawn in: the same outline.
    void letterOutlinesAreTheGlyphsTextWouldShow()
    {
        QFont textFont(QStringLiteral("Sans Serif"));
        textFont.setStyleHint(QFont::SansSerif);
        textFont.setWeight(QFont::Black);
        textFont.setPixelSize(30);
        for (const QChar letter : QStringLiteral("QUILBOX")) {
            const qbtest::RowTrace trace{QString(letter)};
            QPainterPath asText;
            asText.addText(0, 0, textFont, QString(letter));
            const QPainterPath outline = qb::glyphOutline(qb::letterTileFont(), letter);
            QVERIFY(!outline.isEmpty());
            QCOMPARE(outline, asText);
        }
    }

    // Dark outlines and navy shapes must stay visible on a dark tool bar, and the pictures keep their dark lines on a
    // light one.
    void toolbarPicturesShowOnDarkAndLightBars()
    {
        for (int index = 0; index <= static_cast<int>(ToolbarPicture::CapitalA); ++index) {
            const qbtest::RowTrace trace(QString::number(index));
            const auto picture = static_cast<ToolbarPicture>(index);
            QVERIFY(lightAndDarkOn(QColor(45, 45, 48), picture).first >= 8);
            QVERIFY(lightAndDarkOn(QColor(239, 239, 239), picture).second >= 8);
        }
    }
};

QTEST_MAIN(PicturesTest)
#include "tst_pictures.moc"
