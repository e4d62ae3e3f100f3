// What the updater reads from the remote configuration, at the moment of use, and the pending
// announcement the panel's notice line serves before any update reminder.
#pragma once

#include <QString>
#include <optional>

#include "remote/RemoteConfig.h"
#include "remote/RemoteConfigService.h"

namespace zumo {

// The remote switches and limits of the update flow are fields of the remote configuration.
using UpdateConfig = RemoteConfig;

// The current values; the remote configuration implements it. Main thread.
class UpdateConfigSource {
public:
    virtual ~UpdateConfigSource() = default;
    virtual UpdateConfig updateConfig() const = 0;
};

// Until a remote configuration exists: the defaults.
class DefaultUpdateConfig final : public UpdateConfigSource {
public:
    UpdateConfig updateConfig() const override { return {}; }
};

// The one-time announcement of the remote configuration (its Announcement). Main thread.
class AnnouncementSource {
public:
    virtual ~AnnouncementSource() = default;
    virtual std::optional<Announcement> pendingAnnouncement() const = 0;
    virtual void clearPendingAnnouncement() = 0;
};

class NoAnnouncements final : public AnnouncementSource {
public:
    std::optional<Announcement> pendingAnnouncement() const override { return std::nullopt; }
    void clearPendingAnnouncement() override {}
};

} // namespace zumo
