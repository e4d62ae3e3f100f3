// Applications' windows and their parts as an in-memory tree; records every action asked of them.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "platform/Accessibility.h"

namespace zumo {

// Thread-safe, so builds may run on a worker while the test looks on. Element ids start at 1 and
// are handed out in creation order. Reads of an attribute that was never set yield nothing, as a
// real application does for an attribute it lacks.
class FakeAccessibility final : public Accessibility {
  public:
    // Called at the start of every read with the element and attribute, outside the fake's own
    // lock, so a test can change the tree or call back into the code under test.
    std::function<void(ElementRef, const QString&)> onRead;
    // Every limitThisThread, in order (one thread at a time).
    std::vector<std::optional<double>> limits;

    // --- building the tree ---
    ElementRef newElement();
    // A window of pid with subrole, title and frame, appended to the app's "AXWindows".
    ElementRef addWindow(Pid pid, const QString& title, std::optional<QRectF> frame,
                         const QString& subrole = QStringLiteral("AXStandardWindow"));
    // An element with the role and title under parent's "AXChildren".
    ElementRef addChild(ElementRef parent, const QString& role, const QString& title = {});
    void setString(ElementRef element, const QString& attribute, const QString& value);
    void setBool(ElementRef element, const QString& attribute, bool value);
    void setNumber(ElementRef element, const QString& attribute, double value);
    void setFrame(ElementRef element, std::optional<QRectF> frame);
    void removeAttribute(ElementRef element, const QString& attribute);
    // The app does not answer at all (a hung application).
    void setSilent(Pid pid, bool silent);

    // --- what was asked ---
    // Actions in order: "raise 12", "press 55", "setMinimized 12 false", "setMain 12 true",
    // "frontmost 100", "size 12 720x875", "position 12 720,25".
    QStringList actions() const { return locked(m_actions); }
    // The time-out given for each element by setTimeout, last one wins.
    std::optional<double> timeoutOf(ElementRef element) const
    {
        std::lock_guard lock(m_mutex);
        auto it = m_timeouts.find(element);
        return it == m_timeouts.end() ? std::nullopt : std::optional(it->second);
    }
    // Timeouts passed to windows(), in call order, and the frontmost time-outs likewise.
    std::vector<double> windowsTimeouts() const { return locked(m_windowsTimeouts); }
    std::vector<double> frontmostTimeouts() const { return locked(m_frontmostTimeouts); }
    int reads() const { return locked(m_reads); }

    // --- Accessibility ---
    void limitThisThread(std::optional<double> seconds) override { limits.push_back(seconds); }
    std::optional<std::vector<ElementRef>> windows(Pid pid, double timeout) override;
    void setTimeout(ElementRef element, double seconds) override;
    std::optional<QString> string(ElementRef element, const QString& attribute) override;
    std::optional<bool> boolean(ElementRef element, const QString& attribute) override;
    std::optional<double> number(ElementRef element, const QString& attribute) override;
    std::optional<ElementRef> element(ElementRef element, const QString& attribute) override;
    std::optional<std::vector<ElementRef>> elements(ElementRef element, const QString& attribute) override;
    std::optional<QRectF> frame(ElementRef element) override;
    void setBoolean(ElementRef element, const QString& attribute, bool value) override;
    void setPosition(ElementRef element, QPointF position) override;
    void setSize(ElementRef element, QSizeF size) override;
    void perform(ElementRef element, const QString& action) override;
    void setFrontmost(Pid pid, double timeout) override;

  private:
    struct Node {
        std::map<QString, QString> strings;
        std::map<QString, bool> bools;
        std::map<QString, double> numbers;
        std::optional<QRectF> frame;
    };
    // The attribute from one of the node's maps, once the read is noted.
    template <class T>
    std::optional<T> read(ElementRef element, const QString& attribute, std::map<QString, T> Node::*values);
    template <class T> T locked(const T& value) const
    {
        std::lock_guard lock(m_mutex);
        return value;
    }
    void noteRead(ElementRef element, const QString& attribute);
    void record(const QString& action);

    mutable std::mutex m_mutex;
    ElementRef m_next = 1;
    std::map<ElementRef, Node> m_nodes;
    std::map<ElementRef, std::vector<ElementRef>> m_children;
    std::map<Pid, std::vector<ElementRef>> m_windows;
    std::set<Pid> m_silent;
    std::map<ElementRef, double> m_timeouts;
    std::vector<double> m_windowsTimeouts;
    std::vector<double> m_frontmostTimeouts;
    QStringList m_actions;
    int m_reads = 0;
};

} // namespace zumo
