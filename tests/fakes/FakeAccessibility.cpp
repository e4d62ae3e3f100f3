// In-memory accessibility tree for unit tests.
#include "tests/fakes/FakeAccessibility.h"

namespace zumo {

namespace {

QString text(double value)
{
    return QString::number(value, 'g', 10);
}

// "AXMinimized" -> "Minimized", so recorded actions read naturally.
QString bare(const QString& attribute)
{
    return attribute.startsWith(QLatin1String("AX")) ? attribute.mid(2) : attribute;
}

} // namespace

ElementRef FakeAccessibility::newElement()
{
    std::lock_guard lock(m_mutex);
    ElementRef id = m_next++;
    m_nodes[id];
    return id;
}

ElementRef FakeAccessibility::addWindow(Pid pid, const QString& title, std::optional<QRectF> frame,
                                        const QString& subrole)
{
    ElementRef id = newElement();
    setString(id, QStringLiteral("AXRole"), QStringLiteral("AXWindow"));
    setString(id, QStringLiteral("AXSubrole"), subrole);
    setString(id, QStringLiteral("AXTitle"), title);
    setFrame(id, frame);
    std::lock_guard lock(m_mutex);
    m_windows[pid].push_back(id);
    return id;
}

ElementRef FakeAccessibility::addChild(ElementRef parent, const QString& role, const QString& title)
{
    ElementRef id = newElement();
    if (!role.isEmpty())
        setString(id, QStringLiteral("AXRole"), role);
    if (!title.isEmpty())
        setString(id, QStringLiteral("AXTitle"), title);
    std::lock_guard lock(m_mutex);
    m_children[parent].push_back(id);
    return id;
}

void FakeAccessibility::setString(ElementRef element, const QString& attribute, const QString& value)
{
    std::lock_guard lock(m_mutex);
    m_nodes[element].strings[attribute] = value;
}

void FakeAccessibility::setBool(ElementRef element, const QString& attribute, bool value)
{
    std::lock_guard lock(m_mutex);
    m_nodes[element].bools[attribute] = value;
}

void FakeAccessibility::setNumber(ElementRef element, const QString& attribute, double value)
{
    std::lock_guard lock(m_mutex);
    m_nodes[element].numbers[attribute] = value;
}

void FakeAccessibility::setFrame(ElementRef element, std::optional<QRectF> frame)
{
    std::lock_guard lock(m_mutex);
    m_nodes[element].frame = frame;
}

void FakeAccessibility::removeAttribute(ElementRef element, const QString& attribute)
{
    std::lock_guard lock(m_mutex);
    Node& node = m_nodes[element];
    node.strings.erase(attribute);
    node.bools.erase(attribute);
    node.numbers.erase(attribute);
    if (attribute == QLatin1String("AXChildren"))
        m_children.erase(element);
}

void FakeAccessibility::setSilent(Pid pid, bool silent)
{
    std::lock_guard lock(m_mutex);
    if (silent)
        m_silent.insert(pid);
    else
        m_silent.erase(pid);
}

void FakeAccessibility::noteRead(ElementRef element, const QString& attribute)
{
    {
        std::lock_guard lock(m_mutex);
        ++m_reads;
    }
    if (onRead)
        onRead(element, attribute);
}

void FakeAccessibility::record(const QString& action)
{
    std::lock_guard lock(m_mutex);
    m_actions << action;
}

std::optional<std::vector<ElementRef>> FakeAccessibility::windows(Pid pid, double timeout)
{
    noteRead(0, QStringLiteral("AXWindows"));
    std::lock_guard lock(m_mutex);
    m_windowsTimeouts.push_back(timeout);
    if (m_silent.count(pid))
        return std::nullopt;
    auto it = m_windows.find(pid);
    if (it == m_windows.end())
        return std::vector<ElementRef>{};
    return it->second;
}

void FakeAccessibility::setTimeout(ElementRef element, double seconds)
{
    std::lock_guard lock(m_mutex);
    m_timeouts[element] = seconds;
}

template <class T>
std::optional<T> FakeAccessibility::read(ElementRef element, const QString& attribute,
                                         std::map<QString, T> Node::*values)
{
    noteRead(element, attribute);
    std::lock_guard lock(m_mutex);
    auto node = m_nodes.find(element);
    if (node == m_nodes.end())
        return std::nullopt;
    auto it = (node->second.*values).find(attribute);
    if (it == (node->second.*values).end())
        return std::nullopt;
    return it->second;
}

std::optional<QString> FakeAccessibility::string(ElementRef element, const QString& attribute)
{
    return read(element, attribute, &Node::strings);
}

std::optional<bool> FakeAccessibility::boolean(ElementRef element, const QString& attribute)
{
    return read(element, attribute, &Node::bools);
}

std::optional<double> FakeAccessibility::number(ElementRef element, const QString& attribute)
{
    return read(element, attribute, &Node::numbers);
}

// No element-valued attribute is ever set: the read is only counted.
std::optional<ElementRef> FakeAccessibility::element(ElementRef element, const QString& attribute)
{
    noteRead(element, attribute);
    return std::nullopt;
}

std::optional<std::vector<ElementRef>> FakeAccessibility::elements(ElementRef element,
                                                                   const QString& attribute)
{
    noteRead(element, attribute);
    std::lock_guard lock(m_mutex);
    if (attribute != QLatin1String("AXChildren"))
        return std::nullopt;
    auto it = m_children.find(element);
    if (it == m_children.end())
        return std::nullopt;
    return it->second;
}

std::optional<QRectF> FakeAccessibility::frame(ElementRef element)
{
    noteRead(element, QStringLiteral("AXFrame"));
    std::lock_guard lock(m_mutex);
    auto node = m_nodes.find(element);
    if (node == m_nodes.end())
        return std::nullopt;
    return node->second.frame;
}

void FakeAccessibility::setBoolean(ElementRef element, const QString& attribute, bool value)
{
    record(QStringLiteral("set%1 %2 %3").arg(bare(attribute)).arg(element).arg(value ? "true" : "false"));
    std::lock_guard lock(m_mutex);
    m_nodes[element].bools[attribute] = value;
}

void FakeAccessibility::setPosition(ElementRef element, QPointF position)
{
    record(QStringLiteral("position %1 %2,%3").arg(element).arg(text(position.x()), text(position.y())));
    std::lock_guard lock(m_mutex);
    auto& frame = m_nodes[element].frame;
    if (frame)
        frame->moveTopLeft(position);
}

void FakeAccessibility::setSize(ElementRef element, QSizeF size)
{
    record(QStringLiteral("size %1 %2x%3").arg(element).arg(text(size.width()), text(size.height())));
    std::lock_guard lock(m_mutex);
    auto& frame = m_nodes[element].frame;
    if (frame)
        frame->setSize(size);
}

void FakeAccessibility::perform(ElementRef element, const QString& action)
{
    record(QStringLiteral("%1 %2").arg(bare(action).toLower()).arg(element));
}

void FakeAccessibility::setFrontmost(Pid pid, double timeout)
{
    record(QStringLiteral("frontmost %1").arg(pid));
    std::lock_guard lock(m_mutex);
    m_frontmostTimeouts.push_back(timeout);
}

} // namespace zumo
