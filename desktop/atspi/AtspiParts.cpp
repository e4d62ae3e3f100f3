// The attribute reads and the tab action over AT-SPI objects.
#include "desktop/atspi/AtspiParts.h"

#include "desktop/atspi/AtspiRules.h"
#include "desktop/atspi/AtspiValues.h"

namespace zumo::atspi {

namespace {

const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");
const QString kComponent = QStringLiteral("org.a11y.atspi.Component");
const ObjectRef kDesktop{QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/accessible/root")};
constexpr uint screenCoordinates = 0;
constexpr std::size_t maxOwnTimeouts = 256;

std::vector<ElementRef> intern(AtspiElements& elements, const std::vector<ObjectRef>& objects)
{
    std::vector<ElementRef> result;
    result.reserve(objects.size());
    for (const ObjectRef& object : objects)
        result.push_back(elements.intern(object));
    return result;
}

} // namespace

AtspiParts::AtspiParts(const Clock& clock, double hungFor, QString sessionAddress)
    : m_bus(clock, hungFor, std::move(sessionAddress))
{
}

double AtspiParts::timeoutOf(const ObjectRef& object)
{
    std::lock_guard lock(m_mutex);
    auto it = m_timeouts.find(object);
    return it == m_timeouts.end() ? defaultTimeout : it->second;
}

std::optional<QVariantList> AtspiParts::ask(const ObjectRef& object, const QString& interface, const QString& method,
                                            const QVariantList& arguments)
{
    return m_bus.call(object, interface, method, arguments, timeoutOf(object));
}

void AtspiParts::setTimeout(ElementRef element, double seconds)
{
    if (auto object = m_elements.resolve(element); object && seconds > 0) {
        std::lock_guard lock(m_mutex);
        // Only the few elements acted on get a time-out of their own; a long session must not
        // grow the list for ever.
        if (m_timeouts.size() >= maxOwnTimeouts)
            m_timeouts.clear();
        m_timeouts[*object] = seconds;
    }
}

std::optional<ObjectRef> AtspiParts::applicationOf(Pid pid)
{
    auto reply = m_bus.call(kDesktop, kAccessible, QStringLiteral("GetChildren"), {}, AtspiBus::busTimeout);
    if (!reply || reply->isEmpty())
        return std::nullopt;
    for (const ObjectRef& application : toObjects(reply->first(), kDesktop.service))
        if (m_bus.pidOf(application.service) == pid)
            return application;
    return std::nullopt;
}

std::optional<std::vector<ObjectRef>> AtspiParts::children(const ObjectRef& object)
{
    auto reply = ask(object, kAccessible, QStringLiteral("GetChildren"));
    if (!reply || reply->isEmpty())
        return std::nullopt;
    return toObjects(reply->first(), object.service);
}

std::optional<QRectF> AtspiParts::extents(const ObjectRef& object)
{
    auto reply = ask(object, kComponent, QStringLiteral("GetExtents"), {screenCoordinates});
    if (!reply || reply->isEmpty())
        return std::nullopt;
    return toRect(reply->first());
}

std::optional<ObjectRef> AtspiParts::frameOf(const ObjectRef& application, const WindowFacts& window)
{
    auto frames = children(application);
    if (!frames)
        return std::nullopt;
    std::vector<FrameCandidate> candidates;
    int titled = 0;
    for (const ObjectRef& frame : *frames) {
        QString name = m_bus.property(frame, kAccessible, QStringLiteral("Name"), timeoutOf(frame))
                           .value_or(QVariant())
                           .toString();
        titled += (!window.title.isEmpty() && name == window.title) ? 1 : 0;
        candidates.push_back({name, std::nullopt});
    }
    // Extents cost a request per frame: ask only when the titles leave a choice.
    if (titled != 1)
        for (std::size_t i = 0; i < candidates.size(); ++i)
            candidates[i].extents = extents((*frames)[i]);
    if (auto index = matchFrame(candidates, window))
        return (*frames)[*index];
    return std::nullopt;
}

std::optional<std::vector<ElementRef>> AtspiParts::windowChildren(const WindowFacts& window)
{
    std::optional<ObjectRef> application = applicationOf(window.pid);
    if (!application)
        return std::nullopt;
    std::optional<ObjectRef> frame = frameOf(*application, window);
    if (!frame)
        return std::nullopt;
    auto parts = children(*frame);
    if (!parts)
        return std::nullopt;
    return intern(m_elements, *parts);
}

std::optional<QString> AtspiParts::string(ElementRef element, const QString& attribute)
{
    std::optional<ObjectRef> object = m_elements.resolve(element);
    if (!object)
        return std::nullopt;
    if (attribute == QLatin1String("AXRole")) {
        auto reply = ask(*object, kAccessible, QStringLiteral("GetRoleName"));
        if (!reply || reply->isEmpty())
            return std::nullopt;
        return attributeRole(reply->first().toString());
    }
    if (attribute == QLatin1String("AXTitle")) {
        auto name = m_bus.property(*object, kAccessible, QStringLiteral("Name"), timeoutOf(*object));
        return name ? std::optional<QString>(name->toString()) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<double> AtspiParts::number(ElementRef element, const QString& attribute)
{
    std::optional<ObjectRef> object = m_elements.resolve(element);
    if (!object || attribute != QLatin1String("AXValue"))
        return std::nullopt;
    auto reply = ask(*object, kAccessible, QStringLiteral("GetState"));
    if (!reply || reply->isEmpty())
        return std::nullopt;
    return stateSelected(toUints(reply->first())) ? 1.0 : 0.0;
}

std::optional<std::vector<ElementRef>> AtspiParts::elements(ElementRef element, const QString& attribute)
{
    std::optional<ObjectRef> object = m_elements.resolve(element);
    if (!object || attribute != QLatin1String("AXChildren"))
        return std::nullopt;
    auto parts = children(*object);
    if (!parts)
        return std::nullopt;
    return intern(m_elements, *parts);
}

std::optional<QRectF> AtspiParts::frame(ElementRef element)
{
    std::optional<ObjectRef> object = m_elements.resolve(element);
    return object ? extents(*object) : std::nullopt;
}

bool AtspiParts::selectByAction(const ObjectRef& tab)
{
    const QString action = QStringLiteral("org.a11y.atspi.Action");
    auto reply = ask(tab, action, QStringLiteral("GetActions"));
    if (!reply || reply->isEmpty())
        return false;
    std::optional<int> index = selectAction(toActionNames(reply->first()));
    if (!index)
        return false;
    auto done = ask(tab, action, QStringLiteral("DoAction"), {*index});
    return done && !done->isEmpty() && done->first().toBool();
}

bool AtspiParts::selectInContainer(const ObjectRef& tab)
{
    auto parent = m_bus.property(tab, kAccessible, QStringLiteral("Parent"), timeoutOf(tab));
    auto index = ask(tab, kAccessible, QStringLiteral("GetIndexInParent"));
    std::optional<ObjectRef> container = parent ? toObject(*parent, tab.service) : std::nullopt;
    if (!container || !index || index->isEmpty())
        return false;
    auto done = ask(*container, QStringLiteral("org.a11y.atspi.Selection"), QStringLiteral("SelectChild"),
                    {index->first().toInt()});
    return done && !done->isEmpty() && done->first().toBool();
}

void AtspiParts::perform(ElementRef element, const QString& action)
{
    std::optional<ObjectRef> tab = m_elements.resolve(element);
    if (!tab || action != QLatin1String("AXPress"))
        return;
    if (!selectByAction(*tab))
        selectInContainer(*tab);
}

} // namespace zumo::atspi
