// Tests how typed search text is split into the whole text, word tokens and the compact form.
#include <gtest/gtest.h>

#include "switcher/Query.h"

namespace zumo {
namespace {

using namespace Qt::StringLiterals;

struct QueryCase {
    QString text;
    QString whole;
    std::vector<QString> tokens;
    QString compact;
};

TEST(Query, splitsLowerCasedTextIntoWordTokens)
{
    const std::vector<QueryCase> cases = {
        {u"Mail In-box"_s, u"mail in-box"_s, {u"mail"_s, u"in"_s, u"box"_s}, u"mailinbox"_s},
        {u"  Go  Ma  "_s, u"go  ma"_s, {u"go"_s, u"ma"_s}, u"goma"_s},
        {u"\tTab"_s, u"\ttab"_s, {u"tab"_s}, u"tab"_s}, // only U+0020 is trimmed
        {u"--"_s, u"--"_s, {}, u""_s},                  // punctuation only: no tokens
        {u"v2.0"_s, u"v2.0"_s, {u"v2"_s, u"0"_s}, u"v20"_s},
        {u"Naïve{x}~ÉTÉ\u007f"_s, u"naïve{x}~été\u007f"_s, {u"naïve"_s, u"x"_s, u"été"_s}, u"naïvexété"_s},
        {u""_s, u""_s, {}, u""_s},
    };
    for (const QueryCase& c : cases) {
        const Query query(c.text);
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(query.whole, c.whole);
        EXPECT_EQ(query.tokens, c.tokens);
        EXPECT_EQ(query.compact, c.compact);
    }
}

} // namespace
} // namespace zumo
