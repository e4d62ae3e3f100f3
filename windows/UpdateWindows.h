// The update flow's windows: a modal alert whose texts are always plain text (release notes and
// announcements come from a server and are never read as markup), and the download's progress
// window with its status line, bar and Cancel.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <atomic>
#include <functional>

class QLabel;
class QProgressBar;

namespace zumo {

class PlainAlert : public QDialog {
public:
    // buttons: the first is the default (Return), the last answers Escape.
    PlainAlert(const QString& message, const QString& informative, const QStringList& buttons);
    // Brings Zumo to the front and runs the alert; the index of the button chosen, -1 when the
    // alert was closed otherwise.
    int run();

    // Escape and the title bar's close answer -1, never the default button.
    void reject() override { done(-1); }
    void done(int answer) override
    {
        m_answered = true;
        QDialog::done(answer);
    }

    QLabel& messageLabel() { return *m_message; }
    QLabel& informativeLabel() { return *m_informative; }

private:
    QLabel* m_message = nullptr;
    QLabel* m_informative = nullptr;
    bool m_answered = false;
};

class UpdateProgressWindow : public QWidget {
public:
    explicit UpdateProgressWindow(const QString& version);

    void setLabel(const QString& text);
    void setFraction(double fraction);  // 0 to 1
    // Called once, after cancelled() has become true, when the user presses Cancel.
    void setOnCancel(std::function<void()> onCancel) { m_onCancel = std::move(onCancel); }
    bool cancelled() const { return m_cancelled.load(); }
    // Closes the window; its title bar offers no way to close it.
    void finish();
    void cancelTapped();

    QLabel& label() { return *m_label; }
    QProgressBar& bar() { return *m_bar; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* m_label = nullptr;
    QProgressBar* m_bar = nullptr;
    std::function<void()> m_onCancel;
    std::atomic<bool> m_cancelled = false;
    bool m_finishing = false;
};

} // namespace zumo
