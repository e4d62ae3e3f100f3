// Reply values of the accessibility bus turned into plain types.
#include "desktop/atspi/AtspiValues.h"

#include <QDBusArgument>
#include <QDBusObjectPath>

namespace zumo::atspi {

namespace {

// The value as a D-Bus argument of exactly this signature; anything else an application sends is
// refused before it is read, since reading a value as the wrong type is not safe. Const, because
// only the const overloads of QDBusArgument read (beginStructure() without it starts writing).
std::optional<const QDBusArgument> argumentOf(const QVariant& value, const char* signature)
{
    if (!value.canConvert<QDBusArgument>())
        return std::nullopt;
    auto argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String(signature))
        return std::nullopt;
    return argument;
}

ObjectRef readObject(const QDBusArgument& argument, const QString& defaultService)
{
    QString service;
    QDBusObjectPath path;
    argument.beginStructure();
    argument >> service >> path;
    argument.endStructure();
    return {service.isEmpty() ? defaultService : service, path.path()};
}

} // namespace

std::optional<ObjectRef> toObject(const QVariant& value, const QString& defaultService)
{
    auto argument = argumentOf(value, "(so)");
    return argument ? std::optional<ObjectRef>(readObject(*argument, defaultService)) : std::nullopt;
}

std::vector<ObjectRef> toObjects(const QVariant& value, const QString& defaultService)
{
    std::vector<ObjectRef> objects;
    auto argument = argumentOf(value, "a(so)");
    if (!argument)
        return objects;
    argument->beginArray();
    while (!argument->atEnd())
        objects.push_back(readObject(*argument, defaultService));
    argument->endArray();
    return objects;
}

std::vector<std::uint32_t> toUints(const QVariant& value)
{
    std::vector<std::uint32_t> numbers;
    if (auto argument = argumentOf(value, "au")) {
        argument->beginArray();
        while (!argument->atEnd()) {
            uint n = 0;
            *argument >> n;
            numbers.push_back(n);
        }
        argument->endArray();
        return numbers;
    }
    // QtDBus may already have turned the array into a list of numbers.
    if (value.metaType() == QMetaType::fromType<QList<uint>>()) {
        for (uint n : value.value<QList<uint>>())
            numbers.push_back(n);
    }
    return numbers;
}

std::optional<QRectF> toRect(const QVariant& value)
{
    auto argument = argumentOf(value, "(iiii)");
    if (!argument)
        return std::nullopt;
    int x = 0, y = 0, width = 0, height = 0;
    argument->beginStructure();
    *argument >> x >> y >> width >> height;
    argument->endStructure();
    return QRectF(x, y, width, height);
}

QStringList toActionNames(const QVariant& value)
{
    QStringList names;
    auto argument = argumentOf(value, "a(sss)");
    if (!argument)
        return names;
    argument->beginArray();
    while (!argument->atEnd()) {
        QString name, localized, keys;
        argument->beginStructure();
        *argument >> name >> localized >> keys;
        argument->endStructure();
        names << name;
    }
    argument->endArray();
    return names;
}

} // namespace zumo::atspi
