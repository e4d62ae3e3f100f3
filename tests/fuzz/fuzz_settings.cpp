// Fuzzes opening a settings file: whatever the file holds, the store opens, every typed reader
// answers within its bounds, the shortcut list builds, and a save leaves a file that opens again
// with the same contents.
#include <QTemporaryDir>
#include <cstdint>

#include "tests/fuzz/FuzzCheck.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "settings/Slots.h"

namespace {

void readEverything(const zumo::Settings& s)
{
    check(s.showDelay() >= 0 && s.showDelay() <= 1);
    check(s.tileSize() >= 0 && s.tileSize() <= 2);
    check(s.appearance() >= 0 && s.appearance() <= 2);
    check(s.displayMode() >= 0 && s.displayMode() <= 2);
    check(s.triggerMask() == 0x40000 || s.triggerMask() == 0x80000);
    for (int n = 1; n <= 4; ++n) {
        check(s.slotMod(n) >= 0 && s.slotMod(n) <= 2);
        check(s.slotKey(n) >= 0 && s.slotKey(n) <= 3);
        s.slotOn(n);
        s.slotFilter(n);
    }
    s.appModes();
    s.pauseUntil();
    zumo::buildSlots(s);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("com.zumo.app.json"));
    if (!writeBytes(path, QByteArray(reinterpret_cast<const char*>(data), qsizetype(size))))
        return 0;
    QJsonObject saved;
    {
        zumo::SettingsStore store(path);
        readEverything(zumo::Settings(store));
        store.setValue(QStringLiteral("fuzzTouched"), true);
        check(store.flush());
        saved = store.snapshot();
    }
    zumo::SettingsStore reopened(path);
    check(reopened.snapshot() == saved);
    return 0;
}
