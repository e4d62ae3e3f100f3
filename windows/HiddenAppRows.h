// Which applications the Hidden Apps window lists, under what name, in what order, and how a
// choice changes the rules ("appModes": bundle id -> "hide"; "show" is never stored).
#pragma once

#include <QImage>
#include <QMap>
#include <QString>
#include <vector>

#include "platform/AppCatalog.h"
#include "platform/Workspace.h"

namespace zumo {

using AppRules = QMap<QString, QString>;

struct HiddenAppRow {
    QString id;
    QString name;
    QImage icon;      // of a running application; null otherwise
    QString iconName; // of an installed one: a theme name or a path; may be empty
    bool ruled = false;
};

// Running regular applications other than this program, and every application with a rule,
// each once. Running ones take their own name and icon, others the catalogue's; an application
// neither running nor installed is left out (its rule stays stored). Ruled ones first, then by
// name, case-insensitively in the locale's order.
std::vector<HiddenAppRow> hiddenAppRows(const std::vector<RunningApp>& running, const QString& ownId,
                                        const AppRules& rules, const AppCatalog& catalog);

// The rules after choosing mode for id: the default mode removes the id's rule.
AppRules withMode(AppRules rules, const QString& id, const QString& mode, const QString& defaultMode);

} // namespace zumo
