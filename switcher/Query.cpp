// Prepares the typed search text once per keystroke: lower-cased whole text, word tokens, compact form.
#include "switcher/Query.h"

namespace zumo {

Query::Query(const QString& text)
{
    const QString lower = text.toLower();
    const QStringView units(lower);

    // Only U+0020 is trimmed: other white space is part of what the user typed.
    qsizetype begin = 0;
    qsizetype end = units.size();
    while (begin < end && units[begin] == u' ')
        ++begin;
    while (end > begin && units[end - 1] == u' ')
        --end;
    whole = units.sliced(begin, end - begin).toString();

    qsizetype i = 0;
    while (i < units.size()) {
        if (!isWordUnit(units[i].unicode())) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        while (i < units.size() && isWordUnit(units[i].unicode()))
            ++i;
        tokens.push_back(units.sliced(start, i - start).toString());
        compact += tokens.back();
    }
    wholeUnits = unitSetOf(whole);
    compactUnits = unitSetOf(compact);
    wholePairs = pairSetOf(whole);
}

} // namespace zumo
