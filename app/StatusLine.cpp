#include "StatusLine.h"

#include <QLabel>

namespace qb {
namespace {

const QString kStatusName = QStringLiteral("Status");

} // namespace

StatusLine::StatusLine(QWidget* parent) : QStatusBar(parent), m_ticker(new QLabel(this))
{
    setAccessibleName(kStatusName);
    // The bar's temporary message would announce itself on every change; a label whose name is fixed does not.
    m_ticker->setObjectName(QStringLiteral("Ticker"));
    m_ticker->setAccessibleName(QStringLiteral("Ticker"));
    m_ticker->setTextFormat(Qt::PlainText);
    addWidget(m_ticker, 1);
    // A notice hides the ticker label until it ends, and the bar's name follows it.
    connect(this, &QStatusBar::messageChanged, this,
            [this](const QString& message) { setAccessibleName(message.isEmpty() ? kStatusName : message); });
}

QString StatusLine::tickerText() const
{
    return m_ticker->text();
}

void StatusLine::setTickerText(const QString& text)
{
    m_ticker->setText(text);
}

void StatusLine::showNotice(const QString& text)
{
    showMessage(text, kNoticeMilliseconds);
}

} // namespace qb
