#pragma once

#include <QStatusBar>

class QLabel;

namespace qb {

// StatusBar1: its one simple text is the ticker, over which a notice may stand for a few seconds. While the notice
// shows, the ticker is hidden and waits where it was; then it comes back and goes on. A screen reader hears the
// bar as "Status" while the ticker runs, and the notice once when it appears: never a ticker step.
class StatusLine : public QStatusBar
{
    Q_OBJECT

public:
    static constexpr int kNoticeMilliseconds = 6000;

    explicit StatusLine(QWidget* parent = nullptr);

    QString tickerText() const;
    void setTickerText(const QString& text);

    void showNotice(const QString& text);
    bool showsNotice() const { return !currentMessage().isEmpty(); }

private:
    QLabel* m_ticker;
};

} // namespace qb
