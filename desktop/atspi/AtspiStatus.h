// Asking applications to publish their accessibility tree for browser tabs without changing what
// the user set: only "IsEnabled" of org.a11y.Status, only when it is off, written down before it
// is changed and put back when tabs are no longer wanted, at quit, and at the next start after a
// crash. Never "ScreenReaderEnabled": at-spi2-core stores it as the desktop's screen-reader
// switch, which can start a screen reader at the next login.
#pragma once

#include <QString>
#include <optional>

#include "desktop/atspi/AtspiBus.h"

namespace zumo::atspi {

class AtspiStatus {
public:
    // `notePath`: the file that remembers a change not yet put back (it survives a crash).
    AtspiStatus(AtspiBus& bus, QString notePath) : m_bus(bus), m_notePath(std::move(notePath)) {}

    // Tabs wanted: turns "IsEnabled" on when it is off, after noting that it was off.
    // Not wanted: turns it off again if this program (in this run or one that crashed) turned it
    // on, unless a screen reader runs now; a value the user set is never touched. A note that
    // cannot be put back (no launcher yet) is kept for a later start. Does nothing when called
    // again with the same value (it is called at every settings change). Main thread.
    void setWanted(bool wanted);
    // A change of this program's is in force (the note exists).
    bool changed() const;

private:
    void ask();
    void putBack();

    AtspiBus& m_bus;
    QString m_notePath;
    std::optional<bool> m_wanted;
};

} // namespace zumo::atspi
