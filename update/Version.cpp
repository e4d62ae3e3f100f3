#include "update/Version.h"

#include <QStringList>
#include <algorithm>

namespace zumo::Updater {
namespace {

// A whole number of any size: its sign and its digits without leading zeros ("" for zero).
struct Piece {
    int sign = 0;
    QString digits;
};

Piece readPiece(const QString& text)
{
    QStringView rest(text);
    int sign = 1;
    if (rest.startsWith(u'+') || rest.startsWith(u'-')) {
        sign = rest.front() == u'-' ? -1 : 1;
        rest = rest.mid(1);
    }
    if (rest.isEmpty())
        return {};
    for (QChar c : rest) {
        if (c < u'0' || c > u'9')
            return {};
    }
    while (rest.startsWith(u'0'))
        rest = rest.mid(1);
    if (rest.isEmpty())
        return {};
    return {sign, rest.toString()};
}

// -1, 0 or 1 as a is below, equal to or above b.
int compare(const Piece& a, const Piece& b)
{
    if (a.sign != b.sign)
        return a.sign < b.sign ? -1 : 1;
    int magnitude = 0;
    if (a.digits.size() != b.digits.size())
        magnitude = a.digits.size() < b.digits.size() ? -1 : 1;
    else
        magnitude = std::clamp(a.digits.compare(b.digits), -1, 1);
    return a.sign < 0 ? -magnitude : magnitude;
}

} // namespace

bool isNewerVersion(const QString& candidate, const QString& current)
{
    const QStringList a = candidate.split(u'.', Qt::SkipEmptyParts);
    const QStringList b = current.split(u'.', Qt::SkipEmptyParts);
    const qsizetype n = std::max(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const Piece pa = i < a.size() ? readPiece(a[i]) : Piece{};
        const Piece pb = i < b.size() ? readPiece(b[i]) : Piece{};
        if (const int order = compare(pa, pb); order != 0)
            return order > 0;
    }
    return false;
}

} // namespace zumo::Updater
