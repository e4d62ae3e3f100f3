// Other applications' windows and their parts, read and acted on by attribute.
// Every read yields nothing on any failure: a dead element, a type mismatch, no answer in time.
// Attribute names are the accessibility names ("AXTitle", "AXSubrole", "AXMinimized", ...).
#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Workspace.h"

namespace zumo {

// An opaque handle of a window or of one of its parts; 0 is no element.
using ElementRef = std::uint64_t;

class Accessibility {
public:
    virtual ~Accessibility() = default;

    // "AXWindows" of the application; nothing when it does not answer within timeout seconds.
    virtual std::optional<std::vector<ElementRef>> windows(Pid pid, double timeout) = 0;
    // Limits how long later requests to this element may wait for an answer.
    virtual void setTimeout(ElementRef element, double seconds) = 0;
    // Limits how long the requests this thread makes from now on may wait, all together: past
    // `seconds` they yield nothing at once. Nothing lifts the limit. Platforms whose reads never
    // wait on another application ignore it.
    virtual void limitThisThread(std::optional<double>) {}
    virtual std::optional<QString> string(ElementRef element, const QString& attribute) = 0;
    virtual std::optional<bool> boolean(ElementRef element, const QString& attribute) = 0;
    virtual std::optional<double> number(ElementRef element, const QString& attribute) = 0;
    virtual std::optional<ElementRef> element(ElementRef element, const QString& attribute) = 0;
    virtual std::optional<std::vector<ElementRef>> elements(ElementRef element, const QString& attribute) = 0;
    // "AXPosition" and "AXSize" together, in global top-left coordinates.
    virtual std::optional<QRectF> frame(ElementRef element) = 0;
    // The window server's number of a window element, and the window element of a number on any
    // desktop. Nothing where the platform cannot tell; then windows are paired by their frames.
    virtual std::optional<std::uint32_t> windowNumber(ElementRef) { return std::nullopt; }
    virtual std::optional<ElementRef> windowOfNumber(std::uint32_t) { return std::nullopt; }

    // Actions; none reports failure.
    virtual void setBoolean(ElementRef element, const QString& attribute, bool value) = 0;
    virtual void setPosition(ElementRef element, QPointF position) = 0;
    virtual void setSize(ElementRef element, QSizeF size) = 0;
    // Position and size as one request where the platform has one: sent in parts, a window can
    // be told an old size between them. Otherwise the size goes again after the move, since a
    // window server may have clamped the first size to the screen at the old position.
    virtual void setFrame(ElementRef element, const QRectF& frame)
    {
        setSize(element, frame.size());
        setPosition(element, frame.topLeft());
        setSize(element, frame.size());
    }
    virtual void perform(ElementRef element, const QString& action) = 0;  // "AXPress", "AXRaise"
    // "AXFrontmost" of the application element.
    virtual void setFrontmost(Pid pid, double timeout) = 0;
};

} // namespace zumo
