// The preferences the entry list is built with, read at the moment of use.
#pragma once

#include <QMap>
#include <QString>
#include <functional>
#include <optional>

namespace zumo {

class Settings;

// Each reader is called afresh on every use and may be called from a worker thread. A reader
// left empty counts as its default (no windowless apps, no rules).
struct InventoryPrefs {
    std::function<bool()> showWindowless;
    // Bundle id -> mode ("hide" leaves the app out); nothing when the preference is unusable.
    std::function<std::optional<QMap<QString, QString>>()> appModes;
};

// Readers over the stored preferences; settings must outlive every use of them.
InventoryPrefs inventoryPrefs(const Settings& settings);

} // namespace zumo
