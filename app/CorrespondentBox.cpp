#include "CorrespondentBox.h"

#include "ListBoxWidget.h"
#include "OpaqueProgressBar.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QFontInfo>
#include <QProgressBar>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionGroupBox>

namespace qb {
namespace {

constexpr int kMargin = 1;          // above the list and below the bar, inside the box's contents
constexpr int kSpacing = 2;         // at least, between the list and the bar
constexpr int kCaptionRoom = 4;     // kept free between the caption's end and the box's right edge
constexpr int kSmallestCaption = 8; // pixels

} // namespace

CorrespondentBox::CorrespondentBox(const QString& title, QWidget* parent)
    : QGroupBox(title, parent), m_list(new ListBoxWidget(this)), m_progressBar(new OpaqueProgressBar(this))
{
    setFixedWidth(kWidth);
    // The list and the bar keep the window's font; only the caption may need a smaller one.
    const QFont contentFont = font();
    m_list->setFont(contentFont);
    m_progressBar->setFont(contentFont);

    // A scroll bar across the list's bottom, or a first or last row, changes what a whole row measures.
    m_list->horizontalScrollBar()->installEventFilter(this);
    QAbstractItemModel* rows = m_list->model();
    connect(rows, &QAbstractItemModel::rowsInserted, this, &CorrespondentBox::placeChildren);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &CorrespondentBox::placeChildren);
    connect(rows, &QAbstractItemModel::modelReset, this, &CorrespondentBox::placeChildren);
}

// The list empties and hides its scroll bar as it goes, after this box has already ceased to be one.
CorrespondentBox::~CorrespondentBox()
{
    m_list->model()->disconnect(this);
    m_list->horizontalScrollBar()->removeEventFilter(this);
}

QFont CorrespondentBox::captionFont(const QFont& font) const
{
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    option.rect = QRect(0, 0, kWidth, option.rect.height());
    QFont caption = font;
    for (int pixels = QFontInfo(font).pixelSize(); pixels >= kSmallestCaption; --pixels) {
        caption.setPixelSize(pixels);
        option.fontMetrics = QFontMetrics(caption);
        const QRect label = style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, this);
        if (label.right() < kWidth - kCaptionRoom)
            return caption;
    }
    return caption;
}

bool CorrespondentBox::event(QEvent* event)
{
    // Fitted as the box is first shown rather than built: a smaller face is one more to load, and the welcome
    // window comes up before the main window.
    if (event->type() == QEvent::Polish && !m_captionFitted) {
        m_captionFitted = true;
        setFont(captionFont(font()));
        // The caption's height decides where the list begins, whether or not the box is resized after.
        placeChildren();
    }
    return QGroupBox::event(event);
}

void CorrespondentBox::resizeEvent(QResizeEvent* event)
{
    QGroupBox::resizeEvent(event);
    placeChildren();
}

bool CorrespondentBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list->horizontalScrollBar() && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        placeChildren();
    return QGroupBox::eventFilter(watched, event);
}

void CorrespondentBox::placeChildren()
{
    const QRect inner = contentsRect().adjusted(0, kMargin, 0, -kMargin);
    const int left = (width() - kInnerWidth) / 2;
    const int barTop = inner.bottom() + 1 - kProgressHeight;
    m_progressBar->setGeometry(left, barTop, kInnerWidth, kProgressHeight);
    const int room = barTop - kSpacing - inner.top();
    m_list->setGeometry(left, inner.top(), kInnerWidth, m_list->heightForRows(m_list->rowsWithin(room)));
}

} // namespace qb
