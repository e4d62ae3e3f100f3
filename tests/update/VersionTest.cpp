#include <gtest/gtest.h>

#include "update/Version.h"

using zumo::Updater::isNewerVersion;

// Pieces compare as whole numbers of any size; a piece that is not one counts as zero.
TEST(Version, comparesPieceByPieceByValue)
{
    const QString huge = QStringLiteral("123456789012345678901234567890");
    const std::pair<QString, QString> newer[] = {
        {"2.10", "2.9"},
        {"2.4.1", "2.4"},
        {"1..3", "1.2"},
        {"1.2.1", "1.2.x"},
        {"0.1", ""},
        {"2." + huge, "2.99999999999999999999"},
        {"2." + huge + "1", "2." + huge},
        {QString(10000, u'9'), "1"},
    };
    const std::pair<QString, QString> notNewer[] = {
        {"2.9", "2.10"},
        {"2.4.0", "2.4"},
        {"2.4", "2.4.0"},
        {"3.0-beta", "3.0"},
        {"1.2.x", "1.2.0"},
        {"", "0"},
        {"1.+5", "1.5"},
        {"1.-", "1.0"},
        {"2.99999999999999999999", "2." + huge},
        {"2.000" + huge, "2." + huge},
        {"2.-" + huge, "2.0"},
    };
    for (const auto& [a, b] : newer)
        EXPECT_TRUE(isNewerVersion(a, b)) << a.toStdString() << " > " << b.toStdString();
    for (const auto& [a, b] : notNewer)
        EXPECT_FALSE(isNewerVersion(a, b)) << a.toStdString() << " <= " << b.toStdString();
}
