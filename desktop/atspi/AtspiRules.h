// The pure decisions of the accessibility-bus layer: role names in the attribute vocabulary,
// which window part belongs to an X window, which action selects a tab.
#pragma once

#include <QRectF>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/WindowParts.h"

namespace zumo::atspi {

// The attribute role of an accessible role name ("page tab list" → "AXTabGroup", "page tab" →
// "AXTab", frames → "AXWindow", "split pane" → "AXSplitGroup", plain containers such as
// "panel", "filler", "tool bar" or "section" → "AXGroup"). Any other role is "AXUnknown", so the
// tab search does not wander into page content.
QString attributeRole(const QString& roleName);

// A top-level part of an application, as the tree describes it.
struct FrameCandidate {
    QString name;
    std::optional<QRectF> extents;  // in screen coordinates; absent when unreadable
};

// The frame that is this window: the only one with its title, else among several with that title
// (or, when none has it, among all) the one whose extents are nearest to the window's area or its
// frame, within a few pixels. Nothing when no frame fits, or when two fit equally well (two
// windows of one title in the same place cannot be told apart).
std::optional<std::size_t> matchFrame(const std::vector<FrameCandidate>& frames, const WindowFacts& window);

// The index of the action that selects a tab ("switch", "click", "press", "activate", "select",
// compared without case), or the only action there is; nothing when none fits.
std::optional<int> selectAction(const QStringList& actionNames);

// The "selected" bit of an accessible state set (two 32-bit words, selected is bit 23 of the first).
bool stateSelected(const std::vector<std::uint32_t>& states);

} // namespace zumo::atspi
