// Reply values of the accessibility bus (object references, state words, extents, action lists)
// as plain types.
#pragma once

#include <QRectF>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <optional>
#include <vector>

#include "desktop/atspi/AtspiElements.h"

namespace zumo::atspi {

// Reply values as plain types; nothing when the value has another shape.
std::optional<ObjectRef> toObject(const QVariant& value, const QString& defaultService);
std::vector<ObjectRef> toObjects(const QVariant& value, const QString& defaultService);
std::vector<std::uint32_t> toUints(const QVariant& value);
std::optional<QRectF> toRect(const QVariant& value);
QStringList toActionNames(const QVariant& value);

} // namespace zumo::atspi
