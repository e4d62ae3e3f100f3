// One capture is one D-Bus call and one pipe read; the read has a deadline, since KWin writes the
// pixels from a thread of its own after it answered.
#include "desktop/wayland/KWinScreenShot.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDeadlineTimer>
#include <QScopeGuard>
#include <cerrno>
#include <utility>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "desktop/wayland/WindowList.h"
#include "platform/AwaitFd.h"

namespace zumo::wayland {

namespace {

// Past this a reply is not an image of a screen or a window (8K at 32 bits is 132 MB).
constexpr qint64 MaxImageBytes = 256LL << 20;

// Reads exactly size bytes from fd, or nothing by the deadline.
QByteArray readAllOf(int fd, qint64 size, QDeadlineTimer deadline)
{
    QByteArray data(size, Qt::Uninitialized);
    qint64 got = 0;
    while (got < size) {
        if (!awaitFd(fd, POLLIN, deadline))
            return {};
        const ssize_t n = ::read(fd, data.data() + got, std::size_t(size - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return {};
        got += n;
    }
    return data;
}

} // namespace

QImage kwinScreenShot(const QDBusConnection& bus, const QString& method, QVariantList arguments,
                      std::chrono::milliseconds wait)
{
    const QDeadlineTimer deadline(wait);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return {};
    const auto closeRead = qScopeGuard([fd = ends[0]] { ::close(fd); });
    QDBusMessage reply;
    {
        // Every copy of the writing end (this one, the arguments', the message's) is gone after
        // the call, so a short write ends the read at once instead of at the deadline.
        const QDBusUnixFileDescriptor writeEnd(ends[1]);
        ::close(ends[1]);
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.kde.KWin"), QStringLiteral("/org/kde/KWin/ScreenShot2"),
                                                          QStringLiteral("org.kde.KWin.ScreenShot2"), method);
        arguments << QVariantMap{{QStringLiteral("include-decoration"), true}, {QStringLiteral("include-cursor"), false},
                                 {QStringLiteral("native-resolution"), false}}
                  << QVariant::fromValue(writeEnd);
        call.setArguments(std::exchange(arguments, {}));
        reply = bus.call(call, QDBus::Block, int(std::max<qint64>(deadline.remainingTime(), 1)));
    }
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    const QVariantMap results = qdbus_cast<QVariantMap>(reply.arguments().constFirst());
    const int width = results.value(QStringLiteral("width")).toInt();
    const int height = results.value(QStringLiteral("height")).toInt();
    const qint64 stride = results.value(QStringLiteral("stride")).toLongLong();
    const int format = results.value(QStringLiteral("format")).toInt();
    if (results.value(QStringLiteral("type")).toString() != QLatin1String("raw") || width <= 0 || height <= 0 ||
        format <= QImage::Format_Invalid || format >= QImage::NImageFormats)
        return {};
    const auto imageFormat = QImage::Format(format);
    if (stride < qint64(width) * QImage::toPixelFormat(imageFormat).bitsPerPixel() / 8 || stride > MaxImageBytes ||
        height > MaxImageBytes / stride)
        return {};
    const QByteArray pixels = readAllOf(ends[0], stride * height, deadline);
    if (pixels.isEmpty())
        return {};
    return QImage(reinterpret_cast<const uchar*>(pixels.constData()), width, height, qsizetype(stride), imageFormat).copy();
}

QImage KWinWindowServer::capture(std::uint32_t windowNumber)
{
    const auto snapshot = m_windows.snapshot();
    const Toplevel* t = snapshot->find(windowNumber);
    if (!t || t->handle.isEmpty())
        return {};
    return kwinScreenShot(QDBusConnection::sessionBus(), QStringLiteral("CaptureWindow"), {t->handle}, std::chrono::seconds(1));
}

} // namespace zumo::wayland
