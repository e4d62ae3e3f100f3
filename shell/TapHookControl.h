// The keyboard hook as the tray and its poll steer it: through the tap, so its shortcuts and any
// open run are handled with it.
#pragma once

#include "shell/ShellLinks.h"

namespace zumo {

class KeyboardHook;
class Tap;

class TapHookControl final : public HookControl {
public:
    TapHookControl(Tap& tap, KeyboardHook& hook) : m_tap(tap), m_hook(hook) {}

    bool running() const override;
    bool start() override;
    void stop() override;
    // Created but receiving nothing (on X11 its connection broke): the poll's enable reconnects.
    bool disabled() const override;
    void reenable() override;

private:
    Tap& m_tap;
    KeyboardHook& m_hook;
};

} // namespace zumo
