// The installed applications' .desktop entries, indexed so an X window's WM_CLASS finds its
// application's desktop-file id and name.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace zumo::x11 {

struct DesktopEntry {
    QString id;               // desktop-file id: path below applications/ with '/' as '-', without ".desktop"
    QString name;             // Name of the [Desktop Entry] group
    QString startupWmClass;   // StartupWMClass; empty when absent
    QString icon = {};        // Icon: a theme name or an absolute path; empty when absent
    bool noDisplay = false;   // NoDisplay or Hidden is true: not to be offered in menus
};

// Reads the [Desktop Entry] group of a .desktop file's text. Nothing when the group is missing,
// the entry is not an application, or it has no Name.
std::optional<DesktopEntry> parseDesktopEntry(const QByteArray& text, const QString& id);

class DesktopIndex {
public:
    // Adds an entry unless one with the same id came earlier (earlier data directories win).
    void add(const DesktopEntry& entry);
    // Indexes every *.desktop file below each "<dir>/applications", in the order given.
    // Unreadable files and directories are skipped.
    static DesktopIndex scan(const QStringList& dataDirs);
    // The XDG data directories: $XDG_DATA_HOME then $XDG_DATA_DIRS, with their defaults.
    static QStringList xdgDataDirs();

    // The entry for a window's class and instance, compared case-insensitively: StartupWMClass
    // equal to the class, then to the instance, then the id equal to the class, then the instance.
    std::optional<DesktopEntry> lookup(const QString& className, const QString& instance) const;
    std::size_t size() const { return m_entries.size(); }
    const std::vector<DesktopEntry>& entries() const { return m_entries; }

private:
    std::vector<DesktopEntry> m_entries;
    QHash<QString, std::size_t> m_byWmClass;  // lower-case StartupWMClass → entry
    QHash<QString, std::size_t> m_byId;       // lower-case id and its last dotted part → entry
};

} // namespace zumo::x11
