// Fuzzes redaction: the input is split into home, real name, login, host and the text; after
// redaction no user part of a /home or /Users path survives.
#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <cstdint>

#include "tests/fuzz/FuzzCheck.h"
#include "telemetry/Redact.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)).split('\x01');
    const auto part = [&](int i) { return i < parts.size() ? QString::fromUtf8(parts[i]) : QString(); };
    const zumo::RedactionFacts facts{part(0), part(1), part(2), part(3)};
    const QString out = zumo::redact(part(4), facts);
    static const QRegularExpression userPath(QStringLiteral(R"re(/(Users|home)/[^/\s"']+)re"));
    for (auto it = userPath.globalMatch(out); it.hasNext();) {
        const QString user = it.next().captured(0).section(QLatin1Char('/'), 2);
        check(user == QLatin1String("<user>"));
    }
    return 0;
}
