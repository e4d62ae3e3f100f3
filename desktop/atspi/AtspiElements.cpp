// The handle table of accessible objects.
#include "desktop/atspi/AtspiElements.h"

namespace zumo::atspi {

namespace {

// Handle layout: the part tag, a 31-bit epoch, a 32-bit index.
constexpr ElementRef epochMask = 0x7FFFFFFFu;

ElementRef handle(std::uint32_t epoch, std::uint32_t index)
{
    return partElementTag | ((ElementRef(epoch) & epochMask) << 32) | index;
}

} // namespace

ElementRef AtspiElements::intern(const ObjectRef& object)
{
    std::lock_guard lock(m_mutex);
    if (auto it = m_index.find(object); it != m_index.end())
        return handle(m_epoch, it->second);
    if (m_objects.size() >= m_capacity) {
        m_objects.clear();
        m_index.clear();
        m_epoch = std::uint32_t((m_epoch + 1) & epochMask);
    }
    auto index = std::uint32_t(m_objects.size());
    m_objects.push_back(object);
    m_index.emplace(object, index);
    return handle(m_epoch, index);
}

std::optional<ObjectRef> AtspiElements::resolve(ElementRef element) const
{
    if (!isPartElement(element))
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    if (((element >> 32) & epochMask) != m_epoch)
        return std::nullopt;
    auto index = std::size_t(element & 0xFFFFFFFFu);
    if (index >= m_objects.size())
        return std::nullopt;
    return m_objects[index];
}

} // namespace zumo::atspi
