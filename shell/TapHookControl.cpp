// The hook control over the tap and the platform's keyboard hook.
#include "shell/TapHookControl.h"

#include "platform/KeyboardHook.h"
#include "switcher/Tap.h"

namespace zumo {

bool TapHookControl::running() const
{
    return m_hook.exists();
}

bool TapHookControl::start()
{
    return m_tap.start();
}

void TapHookControl::stop()
{
    m_tap.stop();
}

bool TapHookControl::disabled() const
{
    return m_hook.exists() && !m_hook.enabled();
}

void TapHookControl::reenable()
{
    m_hook.enable();
}

} // namespace zumo
