// Applications' windows and their parts as an in-memory tree; records every action asked of them.
#pragma once

#include <QStringList>
#include <QVariant>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <set>

#include "platform/Accessibility.h"

namespace zumo {

// Reads are thread-safe, so builds may run on a worker while the test looks on; the tree is built
// before. Element ids start at 1 in creation order. An attribute never set, or set with another
// type, reads as nothing, as a real application answers for an attribute it lacks.
class FakeAccessibility final : public Accessibility {
  public:
    // Called at the start of every read, outside the lock: a test may change the tree or call
    // back into the code under test.
    std::function<void(ElementRef, const QString&)> onRead;
    std::vector<std::optional<double>> limits;  // every limitThisThread, in order
    std::set<Pid> silent;                        // apps that never answer (hung)

    ElementRef newElement() { return m_next++; }
    // A window of pid appended to its "AXWindows"; an empty subrole leaves "AXSubrole" unset.
    ElementRef addWindow(Pid pid, const QString& title, std::optional<QRectF> frame,
                         const QString& subrole = QStringLiteral("AXStandardWindow"))
    {
        const ElementRef id = addChild(0, QStringLiteral("AXWindow"), title);
        if (!subrole.isEmpty())
            set(id, "AXSubrole", subrole);
        m_frames[id] = frame;
        m_windows[pid].push_back(id);
        return id;
    }
    // An element with the role and title (each unset when empty) under parent's "AXChildren".
    ElementRef addChild(ElementRef parent, const QString& role, const QString& title = {})
    {
        const ElementRef id = newElement();
        if (!role.isEmpty())
            set(id, "AXRole", role);
        if (!title.isEmpty())
            set(id, "AXTitle", title);
        if (parent)
            m_children[parent].push_back(id);
        return id;
    }
    void set(ElementRef element, const char* attribute, const QVariant& value)
    {
        m_values[{element, QString::fromLatin1(attribute)}] = value;
    }

    // Actions in order: "raise 12", "setMinimized 12 false", "frontmost 100", "size 12 720x875".
    QStringList actions() const
    {
        std::lock_guard lock(m_mutex);
        return m_actions;
    }
    std::optional<double> timeoutOf(ElementRef element) const
    {
        std::lock_guard lock(m_mutex);
        auto it = m_timeouts.find(element);
        return it == m_timeouts.end() ? std::nullopt : std::optional(it->second);
    }
    int reads() const { return m_reads; }

    void limitThisThread(std::optional<double> seconds) override { limits.push_back(seconds); }
    std::optional<std::vector<ElementRef>> windows(Pid pid, double) override
    {
        noteRead(0, QStringLiteral("AXWindows"));
        if (silent.count(pid))
            return std::nullopt;
        auto it = m_windows.find(pid);
        return it == m_windows.end() ? std::vector<ElementRef>{} : it->second;
    }
    void setTimeout(ElementRef element, double seconds) override
    {
        std::lock_guard lock(m_mutex);
        m_timeouts[element] = seconds;
    }
    std::optional<QString> string(ElementRef e, const QString& a) override { return read<QString>(e, a); }
    std::optional<bool> boolean(ElementRef e, const QString& a) override { return read<bool>(e, a); }
    std::optional<double> number(ElementRef e, const QString& a) override { return read<double>(e, a); }
    std::optional<ElementRef> element(ElementRef e, const QString& a) override
    {
        noteRead(e, a);
        return std::nullopt;
    }
    std::optional<std::vector<ElementRef>> elements(ElementRef e, const QString& a) override
    {
        noteRead(e, a);
        auto it = m_children.find(e);
        if (a != QLatin1String("AXChildren") || it == m_children.end())
            return std::nullopt;
        return it->second;
    }
    std::optional<QRectF> frame(ElementRef e) override
    {
        noteRead(e, QStringLiteral("AXFrame"));
        auto it = m_frames.find(e);
        return it == m_frames.end() ? std::nullopt : it->second;
    }
    void setBoolean(ElementRef e, const QString& a, bool value) override
    {
        record(QStringLiteral("set%1 %2 %3").arg(a.mid(2)).arg(e).arg(value ? "true" : "false"));
        std::lock_guard lock(m_mutex);
        m_values[{e, a}] = value;
    }
    void setPosition(ElementRef e, QPointF p) override
    {
        record(QStringLiteral("position %1 %2,%3").arg(e).arg(p.x()).arg(p.y()));
    }
    void setSize(ElementRef e, QSizeF s) override
    {
        record(QStringLiteral("size %1 %2x%3").arg(e).arg(s.width()).arg(s.height()));
    }
    void perform(ElementRef e, const QString& action) override { record(action.mid(2).toLower() + ' ' + QString::number(e)); }
    void setFrontmost(Pid pid, double) override { record(QStringLiteral("frontmost %1").arg(pid)); }

  private:
    template <class T> std::optional<T> read(ElementRef element, const QString& attribute)
    {
        noteRead(element, attribute);
        auto it = m_values.find({element, attribute});
        const bool whole = std::is_same_v<T, double> && it != m_values.end() && it->second.typeId() == QMetaType::Int;
        if (it == m_values.end() || (it->second.typeId() != qMetaTypeId<T>() && !whole))
            return std::nullopt;
        return it->second.value<T>();
    }
    void noteRead(ElementRef element, const QString& attribute)
    {
        ++m_reads;
        if (onRead)
            onRead(element, attribute);
    }
    void record(const QString& action)
    {
        std::lock_guard lock(m_mutex);
        m_actions << action;
    }

    mutable std::mutex m_mutex;
    ElementRef m_next = 1;
    std::map<std::pair<ElementRef, QString>, QVariant> m_values;
    std::map<ElementRef, std::optional<QRectF>> m_frames;
    std::map<ElementRef, std::vector<ElementRef>> m_children;
    std::map<Pid, std::vector<ElementRef>> m_windows;
    std::map<ElementRef, double> m_timeouts;
    QStringList m_actions;
    std::atomic<int> m_reads = 0;
};

} // namespace zumo
