// The typed search text, prepared once per keystroke.
#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <vector>

namespace zumo {

struct Query {
    QString whole;                // lower-cased, spaces at both ends removed
    std::vector<QString> tokens;  // runs of word characters, in order
    QString compact;              // the tokens run together
    // The units of whole and compact as unitSetOf folds them, so the scorer can rule a text
    // out without searching it.
    std::uint64_t wholeUnits = 0;
    std::uint64_t compactUnits = 0;
    std::uint64_t wholePairs = 0;  // the neighbouring units of whole, as pairSetOf folds them

    explicit Query(const QString& text);
    Query() = default;
};

// Word characters: 0-9, a-z and every UTF-16 unit of 128 or more. Without branches: the scorer
// asks this for every unit of every title.
inline bool isWordUnit(char16_t unit)
{
    return (char16_t(unit - u'0') < 10) | (char16_t(unit - u'a') < 26) | (unit >= 128);
}

// A unit's bit in a set of units folded into 64 bits.
inline std::uint64_t unitBit(char16_t unit)
{
    return std::uint64_t{1} << (unit & 63);
}

// Which units a text holds, folded into 64 bits: a unit whose bit is clear is not in the text.
inline std::uint64_t unitSetOf(QStringView text)
{
    std::uint64_t set = 0;
    for (const QChar unit : text)
        set |= unitBit(unit.unicode());
    return set;
}

// Which pairs of neighbouring units a text holds, folded into 64 bits: a text missing one of a
// query's pairs cannot hold the query.
inline std::uint64_t pairSetOf(QStringView text)
{
    std::uint64_t set = 0;
    for (qsizetype i = 1; i < text.size(); ++i)
        set |= std::uint64_t{1} << ((text[i - 1].unicode() * 41u + text[i].unicode()) & 63);
    return set;
}

} // namespace zumo
