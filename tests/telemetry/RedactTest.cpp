// Redaction of names and paths, and tails decoded with replacement characters.
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "telemetry/Redact.h"
#include "tests/support/TestFiles.h"

namespace zumo {
namespace {

TEST(RedactTest, homePathsNamesAndHostAreMasked)
{
    const RedactionFacts ann{"/home/ann", "Ann Smith", "ann", "kestrel"};
    EXPECT_EQ(redact("/home/ann/Library and /home/bob/x and /Users/bob/y", ann),
              "~/Library and /home/<user>/x and /Users/<user>/y");
    EXPECT_EQ(redact("Ann Smith on kestrel as ann: \"/home/carol\" '/Users/dave'", ann),
              "<user> on <host> as <user>: \"/home/<user>\" '/Users/<user>'");
    // Short values would mangle ordinary words: only the path rule applies.
    const RedactionFacts short_{"", "Al", "al", "pc"};
    EXPECT_EQ(redact("always /home/al/file on pc", short_), "always /home/<user>/file on pc");
    EXPECT_EQ(redact("/Users/ann/Library", {"/Users/ann", "", "ann", ""}), "~/Library");
    EXPECT_EQ(redact("/home/ and /Users/", ann), "/home/ and /Users/");
}

TEST(RedactTest, tailsKeepTheLastBytesAndReplaceBrokenCharacters)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("events.log");
    EXPECT_EQ(readTail(path, 10), "");
    test::writeAll(path, "abc\xE2\x86\x92xyz");  // "→" is three bytes
    EXPECT_EQ(readTail(path, 100), QString::fromUtf8("abc\xE2\x86\x92xyz"));
    EXPECT_EQ(readTail(path, 5), QString(QChar(0xFFFD)) + QChar(0xFFFD) + "xyz");
    EXPECT_EQ(readTail(path, 0), "");

    // A FIFO in the log's place would block the reader (and with it the quit) until written to.
    const QString fifo = dir.filePath("planted.log");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(readTail(fifo, 100), "");
}

} // namespace
} // namespace zumo
