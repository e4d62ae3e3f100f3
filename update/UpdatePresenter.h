// What the update flow shows the user: modal alerts and the download's progress window. The
// shell implements it with widgets; tests record what would have been shown.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace zumo {

// A modal alert. Every text is plain text, never markup: release notes come from the server.
struct UpdateAlert {
    QString message;
    QString informative;
    QStringList buttons;  // the first is the default
    bool operator==(const UpdateAlert&) const = default;
};

// The download window: a status line, a bar from 0 to 1 and a Cancel button.
// Main thread, except cancelled(), which any thread may ask.
class ProgressWindow {
public:
    virtual ~ProgressWindow() = default;
    virtual void setLabel(const QString& text) = 0;
    virtual void setFraction(double fraction) = 0;
    // Called once when the user presses Cancel, after cancelled() has become true.
    virtual void setOnCancel(std::function<void()> onCancel) = 0;
    virtual bool cancelled() const = 0;
    virtual void close() = 0;
};

class UpdatePresenter {
public:
    virtual ~UpdatePresenter() = default;
    // Brings the program to the front and runs the alert modally; returns the index of the
    // button chosen (0 for the first), or -1 when it was closed otherwise.
    virtual int runAlert(const UpdateAlert& alert) = 0;
    // Makes and shows, centred and in front, the progress window of a download of version
    // ("Updating Zumo", "Downloading Zumo <version>…", bar at 0).
    virtual std::shared_ptr<ProgressWindow> openProgress(const QString& version) = 0;
};

} // namespace zumo
