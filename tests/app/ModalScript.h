#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace qbtest {

// A message box as the user saw it.
struct SeenBox
{
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons; // sorted: the order on screen is the platform's
    QString defaultButton;
    int width = 0;
};

// A file dialog as the user saw it when it came up.
struct SeenFileDialog
{
    QString title;
    QStringList offered; // the names selected when it opened
};

inline SeenFileDialog describeFileDialog(const QFileDialog& dialog)
{
    return {dialog.windowTitle(), dialog.selectedFiles()};
}

inline SeenBox describeBox(const QMessageBox& box)
{
    SeenBox seen;
    seen.caption = box.windowTitle();
    seen.text = box.text();
    seen.icon = box.icon();
    for (const QAbstractButton* button : box.buttons())
        seen.buttons << button->text();
    seen.buttons.sort();
    if (box.defaultButton())
        seen.defaultButton = box.defaultButton()->text();
    seen.width = box.width();
    return seen;
}

// Answers the modal windows a command opens, in order, from a zero-delay timer that finds
// QApplication::activeModalWidget(). Each step must close the window it is given. A modal window that
// shows up after the last step is recorded and rejected, so a test never hangs on it.
class ModalScript
{
public:
    using Step = std::function<void(QWidget*)>;

    ModalScript() { schedule(0); }
    ~ModalScript() { *m_alive = false; }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    ModalScript& then(Step step)
    {
        m_steps.push_back(std::move(step));
        return *this;
    }

    // Clicks the message box button whose text is `buttonText`, recording the box.
    ModalScript& clickBox(const QString& buttonText)
    {
        return then([this, buttonText](QWidget* widget) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (!box)
                return fail(widget, "a message box");
            m_boxes.push_back(describeBox(*box));
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == buttonText)
                    return button->click();
            }
            fail(widget, "the button " + buttonText);
        });
    }

    // Accepts a file dialog with `path` typed into it.
    ModalScript& acceptFile(const QString& path)
    {
        return then([this, path](QWidget* widget) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            if (!dialog)
                return fail(widget, "a file dialog");
            m_fileDialogs.push_back(describeFileDialog(*dialog));
            // Typed as the user would; what is typed wins over an entry still selected from the last showing.
            for (QAbstractItemView* view : dialog->findChildren<QAbstractItemView*>())
                view->clearSelection();
            auto* nameEdit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (!nameEdit)
                return fail(widget, "a file name field");
            nameEdit->setText(path);
            static_cast<QDialog*>(dialog)->accept();
        });
    }

    ModalScript& reject()
    {
        return then([this](QWidget* widget) {
            if (auto* dialog = qobject_cast<QDialog*>(widget)) {
                if (auto* box = qobject_cast<QMessageBox*>(widget))
                    m_boxes.push_back(describeBox(*box));
                else if (auto* fileDialog = qobject_cast<QFileDialog*>(widget))
                    m_fileDialogs.push_back(describeFileDialog(*fileDialog));
                return dialog->reject();
            }
            fail(widget, "a dialog");
        });
    }

    // Types `text` into an input box and presses OK.
    ModalScript& enterText(const QString& text)
    {
        return then([this, text](QWidget* widget) {
            auto* dialog = qobject_cast<QInputDialog*>(widget);
            if (!dialog)
                return fail(widget, "an input box");
            dialog->setTextValue(text);
            dialog->accept();
        });
    }

    const std::vector<SeenBox>& boxes() const { return m_boxes; }
    const std::vector<SeenFileDialog>& fileDialogs() const { return m_fileDialogs; }
    // Windows that came with no step left, or did not match their step.
    const QStringList& unexpected() const { return m_unexpected; }
    bool done() const { return m_steps.empty(); }

private:
    void fail(QWidget* widget, const QString& wanted)
    {
        m_unexpected << QStringLiteral("wanted %1, got %2 \"%3\"")
                            .arg(wanted, QString::fromLatin1(widget->metaObject()->className()), widget->windowTitle());
        if (auto* dialog = qobject_cast<QDialog*>(widget))
            dialog->reject();
    }

    void schedule(int delay)
    {
        // The callbacks outlive the script; the shared flag tells them it is gone.
        QTimer::singleShot(delay, qApp, [this, alive = m_alive] {
            if (*alive)
                poll();
        });
    }

    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            if (m_steps.empty()) {
                fail(modal, QStringLiteral("no window"));
            } else {
                Step step = std::move(m_steps.front());
                m_steps.pop_front();
                step(modal);
            }
        }
        schedule(kPollInterval);
    }

    static constexpr int kPollInterval = 5;

    std::deque<Step> m_steps;
    std::vector<SeenBox> m_boxes;
    std::vector<SeenFileDialog> m_fileDialogs;
    QStringList m_unexpected;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

// Names of the top-level windows still shown; a test leaves none behind.
inline QStringList visibleTopLevelWindows()
{
    QStringList shown;
    for (const QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible())
            shown << QString::fromLatin1(widget->metaObject()->className()) + " " + widget->windowTitle();
    }
    return shown;
}

} // namespace qbtest
