// Typed readers of every preference: each reads its key at the moment of use, supplies the
// default when the key is missing or of another type, and clamps. Usable from any thread.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "settings/Slots.h"

namespace zumo {

class SettingsStore;

class Settings {
public:
    explicit Settings(SettingsStore& store) : m_store(store) {}
    SettingsStore& store() const { return m_store; }

    bool enabled() const;
    int trigger() const;                  // raw; > 0 means Control
    std::uint64_t triggerMask() const;    // 0x40000 or 0x80000
    bool perWindow() const;
    double showDelay() const;             // [0, 1], default 0.12
    int tileSize() const;                 // [0, 2], default 1
    bool showNumbers() const;
    bool showHints() const;
    bool showWindowless() const;
    bool previews() const;
    bool otherSpaces() const;
    bool perAppKey() const;
    bool mouse() const;
    bool showMenuBar() const;
    bool menuCounter() const;
    bool showDock() const;
    bool openAtLaunch() const;
    int appearance() const;               // [0, 2]
    int displayMode() const;              // [0, 2]
    bool listTabs() const;
    bool autoUpdate() const;
    // Bundle id -> mode; nothing when missing or not a dictionary. Entries whose mode is not a
    // string are left out; the others stay.
    std::optional<QMap<QString, QString>> appModes() const;
    // The extra shortcuts, n = 3 or 4.
    bool slotOn(int n) const;
    int slotMod(int n) const;             // [0, 2], default 2
    int slotKey(int n) const;             // [0, 3], default 0 for slot 3, 1 for slot 4
    SlotFilter slotFilter(int n) const;   // clamped [0, 4], default tabs / minimized
    double pauseUntil() const;            // seconds since 1970; 0 when absent
    bool migratedWendle() const;

    // Generic readers with the type rules above.
    bool boolean(const QString& key, bool fallback) const;
    // A number, truncated toward zero; fallback when missing or not a number; then clamped.
    std::int64_t integer(const QString& key, std::int64_t fallback, std::int64_t lo, std::int64_t hi) const;
    double number(const QString& key, double fallback) const;

    // Removes the preference keys, in the documented order; statistics and hidden apps stay.
    void resetToDefaults();
    static const QStringList& resetKeys();

private:
    SettingsStore& m_store;
};

} // namespace zumo
