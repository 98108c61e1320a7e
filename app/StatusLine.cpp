#include "StatusLine.h"

#include <QAccessibleWidget>
#include <QLabel>

namespace qb {
namespace {

const QString kStatusName = QStringLiteral("Status");

// The bar as a screen reader hears it: "Status" while the ticker runs, the notice while one stands. The bar itself
// announces each change of its message once; a name set on it as well would announce every notice twice.
class StatusLineAccessible : public QAccessibleWidget
{
public:
    explicit StatusLineAccessible(StatusLine* bar) : QAccessibleWidget(bar, QAccessible::StatusBar) {}
    QString text(QAccessible::Text kind) const override
    {
        if (kind != QAccessible::Name)
            return QAccessibleWidget::text(kind);
        const QString notice = static_cast<const StatusLine*>(widget())->currentMessage();
        return notice.isEmpty() ? kStatusName : notice;
    }
};

QAccessibleInterface* statusLineAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("qb::StatusLine"))
        return new StatusLineAccessible(static_cast<StatusLine*>(object));
    return nullptr;
}

} // namespace

StatusLine::StatusLine(QWidget* parent) : QStatusBar(parent), m_ticker(new QLabel(this))
{
    static const bool installed = (QAccessible::installFactory(statusLineAccessible), true);
    Q_UNUSED(installed);
    // The ticker's text would announce itself on every step; a label whose name is fixed does not.
    m_ticker->setObjectName(QStringLiteral("Ticker"));
    m_ticker->setAccessibleName(QStringLiteral("Ticker"));
    m_ticker->setTextFormat(Qt::PlainText);
    addWidget(m_ticker, 1);
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
