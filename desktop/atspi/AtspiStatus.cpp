// The accessibility switch turned on for browser tabs, with its note, and put back.
#include "desktop/atspi/AtspiStatus.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include "platform/Log.h"

namespace zumo::atspi {

namespace {

const QString kEnabled = QStringLiteral("IsEnabled");
const QString kScreenReader = QStringLiteral("ScreenReaderEnabled");

bool writeNote(const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // What was there before: the only value ever changed, and the one to put back.
    file.write(QJsonDocument(QJsonObject{{kEnabled, false}}).toJson(QJsonDocument::Compact));
    return file.commit();
}

} // namespace

bool AtspiStatus::changed() const
{
    return !m_notePath.isEmpty() && QFile::exists(m_notePath);
}

void AtspiStatus::setWanted(bool wanted)
{
    if (m_wanted == wanted)
        return;
    m_wanted = wanted;
    if (wanted)
        ask();
    else
        putBack();
}

void AtspiStatus::ask()
{
    if (changed() || m_notePath.isEmpty())
        return;
    const std::optional<bool> enabled = m_bus.status(kEnabled);
    if (!enabled) {
        appLog(QStringLiteral("accessibility bus: no launcher (at-spi2-core), so browsers are not asked for tabs"));
        return;
    }
    if (*enabled)
        return;  // already on: nothing of the user's to change
    if (!writeNote(m_notePath)) {
        appLog(QStringLiteral("accessibility bus: cannot write %1, so accessibility is left off").arg(m_notePath));
        return;
    }
    if (!m_bus.setStatus(kEnabled, true)) {
        QFile::remove(m_notePath);
        appLog(QStringLiteral("accessibility bus: could not turn accessibility on for browser tabs"));
        return;
    }
    appLog(QStringLiteral("accessibility bus: turned accessibility on for browser tabs; put back when they are off"));
}

void AtspiStatus::putBack()
{
    if (!changed())
        return;
    const std::optional<bool> enabled = m_bus.status(kEnabled);
    if (!enabled)
        return;  // no launcher now: the note waits for one
    // A screen reader started since needs the switch on; one the user turned off is off.
    if (*enabled && m_bus.status(kScreenReader) != true) {
        if (!m_bus.setStatus(kEnabled, false))
            return;
        appLog(QStringLiteral("accessibility bus: turned accessibility off again, as it was"));
    }
    QFile::remove(m_notePath);
}

} // namespace zumo::atspi
