// The values the updater passes around: a release offered by the manifest and a verified,
// staged copy of it.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>

namespace zumo::Updater {

struct Release {
    QString version;  // dotted decimal, e.g. 2.4.1
    QUrl url;         // always passes isAllowedUpdateURL
    QString sha256;   // lower-case hex
    QString notes;    // plain text; "" when the manifest has none
    bool operator==(const Release&) const = default;
};

struct Staged {
    Release rel;
    QString work;    // the private work directory of this update
    QString newApp;  // the verified bundle inside work ("stage/<bundle name>")
};

// What a check learned: a release, or why not (an empty failure text means the transport gave
// no reason).
struct CheckResult {
    CheckResult() = default;
    CheckResult(std::optional<Release> found, QString why) : release(std::move(found)), failure(std::move(why)) {}

    std::optional<Release> release;
    QString failure;
    QByteArray manifest;              // the manifest's bytes, as its seal signs them
    std::optional<QByteArray> seal;   // latest.json.sig; nothing when the host has none
};

} // namespace zumo::Updater
