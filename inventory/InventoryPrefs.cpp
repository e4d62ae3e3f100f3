// Binds the entry list's preferences to the stored settings.
#include "inventory/InventoryPrefs.h"

#include "settings/Settings.h"

namespace zumo {

InventoryPrefs inventoryPrefs(const Settings& settings)
{
    InventoryPrefs prefs;
    prefs.showWindowless = [&settings] { return settings.showWindowless(); };
    prefs.appModes = [&settings] { return settings.appModes(); };
    return prefs;
}

} // namespace zumo
