// Role names, frame matching and tab action choice for the accessibility-bus layer.
#include "desktop/atspi/AtspiRules.h"

#include <QSet>
#include <cmath>

namespace zumo::atspi {

namespace {

// How far a frame's extents may be from the window's area and still be that window: toolkits
// differ on whether the decoration counts, and some round to whole pixels.
constexpr double extentsSlack = 8.0;

double distance(const QRectF& a, const QRectF& b)
{
    return std::max({std::abs(a.x() - b.x()), std::abs(a.y() - b.y()), std::abs(a.width() - b.width()),
                     std::abs(a.height() - b.height())});
}

// Frames nearer to each other than this are the same place: which window is which cannot be told.
constexpr double tieSlack = 1.0;

std::optional<std::size_t> nearest(const std::vector<FrameCandidate>& frames, const std::vector<std::size_t>& among,
                                   const WindowFacts& window)
{
    std::optional<std::size_t> best;
    double bestDistance = extentsSlack;
    bool tied = false;
    for (std::size_t i : among) {
        if (!frames[i].extents)
            continue;
        double d = std::min(distance(*frames[i].extents, window.client), distance(*frames[i].extents, window.frame));
        if (d > extentsSlack)
            continue;
        if (best && std::abs(d - bestDistance) < tieSlack) {
            tied = true;
            bestDistance = std::min(d, bestDistance);
            continue;
        }
        if (d < bestDistance || !best) {
            best = i;
            bestDistance = d;
            tied = false;
        }
    }
    // Two windows with the same title in the same place (on two desktops, say): a guess would
    // give one the other's tabs, and choosing a tab would act in the wrong window.
    return tied ? std::nullopt : best;
}

} // namespace

QString attributeRole(const QString& roleName)
{
    // Not "internal frame": in a browser that is where a page's content begins.
    static const QSet<QString> groups{
        QStringLiteral("panel"),       QStringLiteral("filler"),         QStringLiteral("tool bar"),
        QStringLiteral("section"),     QStringLiteral("grouping"),       QStringLiteral("landmark"),
        QStringLiteral("root pane"),   QStringLiteral("layered pane"),   QStringLiteral("header"),
        QStringLiteral("scroll pane"), QStringLiteral("viewport"),
    };
    const QString role = roleName.toLower();
    if (role == QLatin1String("page tab list"))
        return QStringLiteral("AXTabGroup");
    if (role == QLatin1String("page tab"))
        return QStringLiteral("AXTab");
    if (role == QLatin1String("frame") || role == QLatin1String("window") || role == QLatin1String("dialog"))
        return QStringLiteral("AXWindow");
    if (role == QLatin1String("split pane"))
        return QStringLiteral("AXSplitGroup");
    if (groups.contains(role))
        return QStringLiteral("AXGroup");
    return QStringLiteral("AXUnknown");
}

std::optional<std::size_t> matchFrame(const std::vector<FrameCandidate>& frames, const WindowFacts& window)
{
    std::vector<std::size_t> titled, all;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        all.push_back(i);
        if (!window.title.isEmpty() && frames[i].name == window.title)
            titled.push_back(i);
    }
    if (titled.size() == 1)
        return titled.front();
    return nearest(frames, titled.empty() ? all : titled, window);
}

std::optional<int> selectAction(const QStringList& actionNames)
{
    static const QStringList selecting{QStringLiteral("switch"), QStringLiteral("click"), QStringLiteral("press"),
                                       QStringLiteral("activate"), QStringLiteral("select")};
    for (const QString& wanted : selecting)
        for (int i = 0; i < actionNames.size(); ++i)
            if (actionNames[i].compare(wanted, Qt::CaseInsensitive) == 0)
                return i;
    if (actionNames.size() == 1)
        return 0;
    return std::nullopt;
}

bool stateSelected(const std::vector<std::uint32_t>& states)
{
    constexpr std::uint32_t selectedBit = 1u << 23;
    return !states.empty() && (states.front() & selectedBit) != 0;
}

} // namespace zumo::atspi
