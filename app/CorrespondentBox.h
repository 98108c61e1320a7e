#pragma once

#include <QGroupBox>

class QProgressBar;

namespace qb {

class ListBoxWidget;

// The main window's "Recipient/Sender" box: the recipient list above the progress bar, both as wide as the box
// allows. The list shows whole rows only, as many as fit above the bar, which keeps to the bottom of the box.
// The caption takes the box's font, made smaller where it would run past the frame.
class CorrespondentBox : public QGroupBox
{
    Q_OBJECT

public:
    static constexpr int kWidth = 97;
    static constexpr int kInnerWidth = 93;
    static constexpr int kProgressHeight = 16;

    explicit CorrespondentBox(const QString& title, QWidget* parent = nullptr);
    ~CorrespondentBox() override;

    ListBoxWidget* list() const { return m_list; }
    QProgressBar* progressBar() const { return m_progressBar; }

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QFont captionFont(const QFont& font) const;
    void placeChildren();

    ListBoxWidget* m_list;
    QProgressBar* m_progressBar;
    bool m_captionFitted = false;
};

} // namespace qb
