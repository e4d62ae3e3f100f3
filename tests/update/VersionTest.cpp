#include <gtest/gtest.h>

#include "update/Version.h"

using zumo::Updater::isNewerVersion;

TEST(Version, comparesNumbersPieceByPiece)
{
    EXPECT_TRUE(isNewerVersion("2.10", "2.9"));
    EXPECT_FALSE(isNewerVersion("2.9", "2.10"));
    EXPECT_TRUE(isNewerVersion("2.4.1", "2.4"));
    EXPECT_FALSE(isNewerVersion("2.4.0", "2.4"));
    EXPECT_FALSE(isNewerVersion("2.4", "2.4.0"));
    EXPECT_FALSE(isNewerVersion("1..2", "1.2"));
    EXPECT_TRUE(isNewerVersion("1..3", "1.2"));
}

TEST(Version, piecesThatAreNotWholeNumbersCountAsZero)
{
    EXPECT_FALSE(isNewerVersion("3.0-beta", "3.0"));
    EXPECT_FALSE(isNewerVersion("1.2.x", "1.2.0"));
    EXPECT_TRUE(isNewerVersion("1.2.1", "1.2.x"));
    EXPECT_FALSE(isNewerVersion("rc1", "0"));
    EXPECT_FALSE(isNewerVersion("", "0"));
    EXPECT_TRUE(isNewerVersion("0.1", ""));
}

TEST(Version, signedPiecesCompareByValue)
{
    EXPECT_TRUE(isNewerVersion("1.0", "1.-1"));
    EXPECT_FALSE(isNewerVersion("1.-2", "1.-1"));
    EXPECT_FALSE(isNewerVersion("1.-0", "1.0"));
    EXPECT_FALSE(isNewerVersion("1.+5", "1.5"));
    EXPECT_FALSE(isNewerVersion("1.-", "1.0"));
}

TEST(Version, hugePiecesCompareByValueWithoutOverflow)
{
    const QString huge = QStringLiteral("123456789012345678901234567890");
    EXPECT_TRUE(isNewerVersion("2." + huge, "2.99999999999999999999"));
    EXPECT_FALSE(isNewerVersion("2.99999999999999999999", "2." + huge));
    EXPECT_FALSE(isNewerVersion("2.000" + huge, "2." + huge));
    EXPECT_TRUE(isNewerVersion("2." + huge + "1", "2." + huge));
    EXPECT_FALSE(isNewerVersion("2.-" + huge, "2.0"));
    EXPECT_TRUE(isNewerVersion(QString(10000, u'9'), "1"));
}
