// Whether this program starts when the user logs in (an XDG autostart entry on Linux).
#pragma once

#include <QString>

namespace zumo {

class LoginItem {
  public:
    virtual ~LoginItem() = default;
    // True when the program is registered to start at login.
    virtual bool enabled() const = 0;
    // Registers or unregisters; false with a sentence in error when that failed (nothing
    // changed then). Main thread.
    virtual bool setEnabled(bool on, QString& error) = 0;
};

} // namespace zumo
