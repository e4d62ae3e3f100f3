// Fuzzes the messages KWin's script (or any program on the session bus) posts to Zumo: a read
// message keeps only windows with an id, desktops in range, and shortcuts Zumo knows.
#include <QByteArray>
#include <cstdint>

#include "tests/fuzz/FuzzCheck.h"
#include "desktop/wayland/KWinMessages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace zumo::wayland;
    const KWinMessage m = readKWinMessage(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    check(m.desktop <= 1000);
    for (const KWinWindow& w : m.windows)
        check(!w.id.isEmpty() && w.desktop <= 1000);
    if (m.kind == KWinMessage::Kind::shortcut)
        check(m.shortcut < KWinScriptShortcuts);
    if (m.kind == KWinMessage::Kind::window)
        check(m.windows.size() == 1);
    if (m.kind == KWinMessage::Kind::removed || m.kind == KWinMessage::Kind::activated)
        check(!m.id.isEmpty());
    return 0;
}
