// A keyboard hook the test feeds events into.
#pragma once

#include "platform/KeyboardHook.h"

namespace zumo {

class FakeKeyboardHook final : public KeyboardHook {
public:
    bool refuseCreate = false;
    bool listenGranted = true;
    int listenRequests = 0;
    int enables = 0;
    bool switchedOff = false;  // as after a lost connection: exists, receives nothing
    Handler handler;

    bool create(Handler h) override
    {
        if (refuseCreate)
            return false;
        handler = std::move(h);
        return true;
    }
    bool exists() const override { return bool(handler); }
    bool enabled() const override { return exists() && !switchedOff; }
    void enable() override
    {
        ++enables;
        switchedOff = false;
    }
    void destroy() override { handler = nullptr; }
    bool listenAccessGranted() const override { return listenGranted; }
    void requestListenAccess() override { ++listenRequests; }
    void setShortcuts(const std::vector<HookShortcut>&) override {}
    void setCapturing(bool) override {}

    // Delivers an event as the system would; true when it was passed on.
    bool send(const KeyEvent& event) { return handler ? handler(event) : true; }
};

} // namespace zumo
