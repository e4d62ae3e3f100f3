// The typed search text, prepared once per keystroke.
#pragma once

#include <QString>
#include <vector>

namespace zumo {

struct Query {
    QString whole;                // lower-cased, spaces at both ends removed
    std::vector<QString> tokens;  // runs of word characters, in order
    QString compact;              // the tokens run together

    explicit Query(const QString& text);
    Query() = default;
};

// Word characters: 0-9, a-z and every UTF-16 unit of 128 or more.
inline bool isWordUnit(char16_t unit)
{
    return (unit >= u'0' && unit <= u'9') || (unit >= u'a' && unit <= u'z') || unit >= 128;
}

} // namespace zumo
