// Window parts and browser tabs read from the accessibility bus (AT-SPI), where Firefox,
// Chromium-based browsers, GTK and Qt applications publish their widgets.
#pragma once

#include <map>
#include <mutex>

#include "platform/Clock.h"
#include "platform/WindowParts.h"
#include "desktop/atspi/AtspiBus.h"
#include "desktop/atspi/AtspiElements.h"

namespace zumo::atspi {

// Attributes of part elements: "AXRole" (see attributeRole), "AXTitle" (the accessible name),
// "AXValue" (1 when the part is selected, else 0), "AXChildren". "AXPress" on a tab selects it
// through its action, else through its container's selection. Nothing else is answered; in
// particular a part has no close button, so closing can never reach a window through a tab.
class AtspiParts final : public WindowParts {
public:
    // Seconds each request to an application may wait unless setTimeout says otherwise.
    static constexpr double defaultTimeout = 0.1;

    // `hungFor`: how long an application that did not answer in time is not asked again;
    // `sessionAddress`: see AtspiBus.
    AtspiParts(const Clock& clock, double hungFor, QString sessionAddress = {});

    AtspiBus& bus() { return m_bus; }

    std::optional<std::vector<ElementRef>> windowChildren(const WindowFacts& window) override;

    std::optional<std::vector<ElementRef>> windows(Pid, double) override { return std::nullopt; }
    void setTimeout(ElementRef element, double seconds) override;
    void limitThisThread(std::optional<double> seconds) override { AtspiBus::limitThisThread(seconds); }
    std::optional<QString> string(ElementRef element, const QString& attribute) override;
    std::optional<bool> boolean(ElementRef, const QString&) override { return std::nullopt; }
    std::optional<double> number(ElementRef element, const QString& attribute) override;
    std::optional<ElementRef> element(ElementRef, const QString&) override { return std::nullopt; }
    std::optional<std::vector<ElementRef>> elements(ElementRef element, const QString& attribute) override;
    std::optional<QRectF> frame(ElementRef element) override;

    void setBoolean(ElementRef, const QString&, bool) override {}
    void setPosition(ElementRef, QPointF) override {}
    void setSize(ElementRef, QSizeF) override {}
    void perform(ElementRef element, const QString& action) override;
    void setFrontmost(Pid, double) override {}

private:
    std::optional<ObjectRef> applicationOf(Pid pid);
    std::optional<ObjectRef> frameOf(const ObjectRef& application, const WindowFacts& window);
    std::optional<std::vector<ObjectRef>> children(const ObjectRef& object);
    std::optional<QRectF> extents(const ObjectRef& object);
    bool selectByAction(const ObjectRef& tab);
    bool selectInContainer(const ObjectRef& tab);
    std::optional<QVariantList> ask(const ObjectRef& object, const QString& interface, const QString& method,
                                    const QVariantList& arguments = {});
    double timeoutOf(const ObjectRef& object);

    AtspiBus m_bus;
    AtspiElements m_elements;
    std::mutex m_mutex;
    std::map<ObjectRef, double> m_timeouts;  // those set apart from the default
};

} // namespace zumo::atspi
