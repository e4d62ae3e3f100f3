#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include "shell/ControlProtocol.h"
#include "platform/WindowParts.h"
#include "shell/ControlRequests.h"

using namespace zumo;

TEST(ControlProtocol, everyRequestSurvivesTheRoundTripThroughItsLine)
{
    for (const ControlRequest& request : {ControlRequest{ControlVerb::sync}, ControlRequest{ControlVerb::list},
                                          ControlRequest{ControlVerb::showSettings},
                                          ControlRequest{ControlVerb::checkUpdates},
                                          ControlRequest{ControlVerb::activate, 0x1e00004},
                                          ControlRequest{ControlVerb::activate, 0x1e00004, 2}}) {
        QByteArray line = requestLine(request);
        ASSERT_TRUE(line.endsWith('\n'));
        line.chop(1);
        EXPECT_EQ(parseRequest(line).request, request) << line.constData();
    }
}

TEST(ControlProtocol, windowIdsAreDecimalOrHexAndNeverZeroOrWiderThan32BitsTabNumbersCountFromOne)
{
    EXPECT_EQ(parseRequest("activate 31457284").request->window, 31457284u);
    EXPECT_EQ(parseRequest("activate 0X1E00004").request->window, 0x1e00004u);
    EXPECT_EQ(parseRequest("activate 0xffffffff").request->window, 0xffffffffu);
    EXPECT_EQ(parseRequest("activate 0x1e00004 3").request, (ControlRequest{ControlVerb::activate, 0x1e00004, 3}));
    EXPECT_EQ(parseRequest("sync\r").request, ControlRequest{ControlVerb::sync});
    for (const char* bad : {"activate 0", "activate 0x", "activate 0x100000000", "activate -5", "activate 12abc",
                            "activate", "activate  1", "activate 1 0", "activate 1 -2", "activate 1 x",
                            "activate 1 2 3", "activate 1 99999999999"})
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

TEST(ControlProtocol, tabRowsNameTheirWindowAndMarkTheSelectedTabOthersHaveNoTab)
{
    const auto row = [](QString title, std::optional<ElementRef> tab, std::optional<std::uint32_t> windowID) {
        Entry entry;
        entry.title = std::move(title);
        entry.window = tab ? ElementRef(0x900) : ElementRef(0x500);
        entry.tab = tab;
        entry.windowID = windowID;
        return entry;
    };
    // The inventory gives the window's number to the selected tab's row only.
    const std::vector<Entry> entries{row(QStringLiteral("Editor"), std::nullopt, 0x500),
                                     row(QStringLiteral("Alpha"), partElementTag | 1, std::nullopt),
                                     row(QStringLiteral("Beta"), partElementTag | 2, 0x900),
                                     row(QStringLiteral("Gamma"), partElementTag | 3, std::nullopt)};
    std::vector<QJsonObject> objects;
    for (const ListedRow& listed : listedRows(entries, {}))
        objects.push_back(QJsonDocument::fromJson(listLine(listed)).object());
    ASSERT_EQ(objects.size(), 4u);
    EXPECT_TRUE(objects[0].value(QStringLiteral("tab")).isNull());
    for (int i = 1; i < 4; ++i) {
        const QJsonObject tab = objects[size_t(i)].value(QStringLiteral("tab")).toObject();
        EXPECT_EQ(tab.value(QStringLiteral("window")).toInteger(), 0x900) << i;
        EXPECT_EQ(tab.value(QStringLiteral("selected")).toBool(), i == 2) << i;
        EXPECT_EQ(tab.value(QStringLiteral("number")).toInt(), i) << i;
    }

    // By the same numbers: the window alone is its selected tab's row, a tab number picks that
    // tab, and a number too high, or a tab of a window without tabs, picks nothing.
    EXPECT_EQ(activatedEntry(entries, 0x500, 0), std::optional<std::size_t>(0));
    EXPECT_EQ(activatedEntry(entries, 0x900, 0), std::optional<std::size_t>(2));
    EXPECT_EQ(activatedEntry(entries, 0x900, 3), std::optional<std::size_t>(3));
    EXPECT_FALSE(activatedEntry(entries, 0x900, 4));
    EXPECT_FALSE(activatedEntry(entries, 0x500, 1));
}
