// The switcher's link to the update flow: a one-time notice line and the reminder counter.
#pragma once

#include <QString>
#include <optional>

namespace zumo {

class UpdateReminder {
public:
    virtual ~UpdateReminder() = default;
    // A pending announcement or update reminder, handed out once.
    virtual std::optional<QString> takePendingNotice() = 0;
    // Counts a committed switch toward the update reminder.
    virtual void armUpdateNudge() = 0;
};

// Until updates exist: no notice, nothing counted.
class NoUpdateReminder final : public UpdateReminder {
public:
    std::optional<QString> takePendingNotice() override { return std::nullopt; }
    void armUpdateNudge() override {}
};

} // namespace zumo
