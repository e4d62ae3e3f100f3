#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include "shell/ControlProtocol.h"

using namespace zumo;

TEST(ControlProtocol, everyRequestSurvivesTheRoundTripThroughItsLine)
{
    for (const ControlRequest& request : {ControlRequest{ControlVerb::sync}, ControlRequest{ControlVerb::list},
                                          ControlRequest{ControlVerb::showSettings},
                                          ControlRequest{ControlVerb::activate, 0x1e00004}}) {
        QByteArray line = requestLine(request);
        ASSERT_TRUE(line.endsWith('\n'));
        line.chop(1);
        EXPECT_EQ(parseRequest(line).request, request) << line.constData();
    }
}

TEST(ControlProtocol, windowIdsAreDecimalOrHexAndNeverZeroOrWiderThan32Bits)
{
    EXPECT_EQ(parseRequest("activate 31457284").request->window, 31457284u);
    EXPECT_EQ(parseRequest("activate 0X1E00004").request->window, 0x1e00004u);
    EXPECT_EQ(parseRequest("activate 0xffffffff").request->window, 0xffffffffu);
    EXPECT_EQ(parseRequest("sync\r").request, ControlRequest{ControlVerb::sync});
    for (const char* bad : {"activate 0", "activate 0x", "activate 0x100000000", "activate -5", "activate 12abc",
                            "activate", "activate 1 2", "activate  1"})
        EXPECT_FALSE(parseRequest(bad).request) << bad;
}

TEST(ControlProtocol, malformedRequestsAreRefusedWithASentenceThatShowsNoControlCharacters)
{
    const ParsedRequest unknown = parseRequest("rm -rf \x1b[2J");
    ASSERT_FALSE(unknown.request);
    EXPECT_TRUE(unknown.error.startsWith(QStringLiteral("unknown request \"rm -rf ?[2J\"")));
    EXPECT_TRUE(unknown.error.contains(QStringLiteral("activate <id>")));
    EXPECT_EQ(parseRequest("list everything").error, QStringLiteral("list takes no arguments"));
    EXPECT_TRUE(parseRequest(QByteArray(200, 'x')).error.contains(QStringLiteral("…")));
    EXPECT_FALSE(parseRequest("").request);
    EXPECT_FALSE(parseRequest("SYNC").request);
}

TEST(ControlProtocol, repliesCarryTheirStatusAndBodyAndAnErrorStaysOnOneLine)
{
    const auto ok = parseReply(okReply("a\nb\n"));
    ASSERT_TRUE(ok);
    EXPECT_TRUE(ok->ok);
    EXPECT_EQ(ok->body, "a\nb\n");
    const auto error = parseReply(errorReply(QStringLiteral("two\nlines")));
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->ok);
    EXPECT_EQ(error->error, QStringLiteral("two lines"));
    EXPECT_FALSE(parseReply("ok"));            // cut off before its line feed
    EXPECT_FALSE(parseReply("maybe\nbody"));   // not a status line
}

TEST(ControlProtocol, aListedRowIsOneJsonObjectWithNullForWhatIsUnknown)
{
    ListedRow row;
    row.row = 3;
    row.window = 0x1e00004;
    row.app = QStringLiteral("Editor");
    row.bundleId = QStringLiteral("org.example.Editor");
    row.title = QStringLiteral("notes \"draft\"\nline");
    row.minimized = true;
    const QByteArray line = listLine(row);
    ASSERT_TRUE(line.endsWith('\n'));
    EXPECT_EQ(line.count('\n'), 1);
    const QJsonObject object = QJsonDocument::fromJson(line).object();
    EXPECT_EQ(object.value(QStringLiteral("row")).toInt(), 3);
    EXPECT_EQ(object.value(QStringLiteral("window")).toInteger(), 0x1e00004);
    EXPECT_EQ(object.value(QStringLiteral("title")).toString(), row.title);
    EXPECT_TRUE(object.value(QStringLiteral("desktop")).isNull());
    EXPECT_TRUE(object.value(QStringLiteral("minimized")).toBool());

    row.window.reset();
    row.desktop = 1;
    const QJsonObject appRow = QJsonDocument::fromJson(listLine(row)).object();
    EXPECT_TRUE(appRow.value(QStringLiteral("window")).isNull());
    EXPECT_EQ(appRow.value(QStringLiteral("desktop")).toInt(), 1);
}
