// The one-time import: what it copies, what it leaves, and how it waits for the earlier product.
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeDispatcher.h"
#include "tests/fakes/FakeWorkspace.h"
#include "settings/Migration.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "tests/support/TestFiles.h"

namespace zumo {
namespace {

class MigrationTest : public ::testing::Test {
protected:
    void writeEarlier(const QJsonObject& object) { test::writeAll(earlierPath, QJsonDocument(object).toJson()); }
    void migrate()
    {
        migrateFromEarlierBundle({store, workspace, clock, earlierPath, [this](double seconds) {
                                      ++loopSteps;
                                      clock.advance(seconds);
                                  }});
    }
    QJsonObject savedFile() const { return QJsonDocument::fromJson(test::readAll(store.filePath())).object(); }

    QTemporaryDir dir;
    QString earlierPath = dir.filePath(QStringLiteral("com.wendle.app.json"));
    FakeDispatcher dispatcher;
    SettingsStore store{dir.filePath(QStringLiteral("com.zumo.app.json")), &dispatcher};
    FakeWorkspace workspace;
    FakeClock clock;
    int loopSteps = 0;
};

TEST_F(MigrationTest, importsNewKeysKeepsOursButTakesTheirStatistics)
{
    store.setValue(QStringLiteral("tileSize"), 2);
    store.setValue(QStringLiteral("stats.auto"), false);
    store.setValue(QStringLiteral("all.switches"), 5);
    writeEarlier(QJsonObject{{"tileSize", 0}, {"showDelay", 0.25}, {"stats.auto", true},
                             {"stats.periodSince", 1700000000.0}, {"all.switches", 900},
                             {"appModes", QJsonObject{{"a.b", "hide"}}}, {"installID", "theirs"},
                             {"logDir", "/tmp/x"}, {"logSig", "sig"}, {"loginDefaultDone", true}});

    migrate();

    EXPECT_EQ(store.value(QStringLiteral("tileSize")).toInt(), 2);
    EXPECT_DOUBLE_EQ(store.value(QStringLiteral("showDelay")).toDouble(), 0.25);
    EXPECT_TRUE(store.value(QStringLiteral("stats.auto")).toBool());
    EXPECT_DOUBLE_EQ(store.value(QStringLiteral("stats.periodSince")).toDouble(), 1700000000.0);
    EXPECT_EQ(store.value(QStringLiteral("all.switches")).toInt(), 5);
    EXPECT_EQ(store.value(QStringLiteral("appModes")).toObject().value(QStringLiteral("a.b")), QStringLiteral("hide"));
    for (const char* skipped : {"installID", "logDir", "logSig", "loginDefaultDone"})
        EXPECT_FALSE(store.contains(QString::fromLatin1(skipped))) << skipped;
    EXPECT_TRUE(Settings(store).migratedWendle());
    // Saved at once, not left to the coalescing timer.
    EXPECT_EQ(savedFile().value(QStringLiteral("migratedWendle")), QJsonValue(true));
    EXPECT_EQ(savedFile().value(QStringLiteral("showDelay")).toDouble(), 0.25);
}

// The earlier product is asked to quit at every start and waited for 1.5 s at most; its file is
// read only once.
TEST_F(MigrationTest, asksTheEarlierProductToQuitEveryTimeWaitsAtMostOneAndAHalfSecondsAndImportsOnce)
{
    workspace.terminateAtOnce = false;
    workspace.add(10, QString::fromLatin1(EarlierBundleId), QStringLiteral("Wendle"));
    workspace.add(11, QStringLiteral("org.example.other"), QStringLiteral("Other"));
    const QDateTime start = clock.now();
    migrate();
    const std::pair<QString, Pid> terminate10{QStringLiteral("terminate"), 10};
    EXPECT_EQ(workspace.calls, std::vector{terminate10});
    EXPECT_EQ(loopSteps, 30);
    EXPECT_EQ(start.msecsTo(clock.now()), 1500);
    EXPECT_TRUE(Settings(store).migratedWendle());

    workspace.terminateAtOnce = true;
    writeEarlier(QJsonObject{{QStringLiteral("showDelay"), 0.5}, {QStringLiteral("stats.auto"), true}});
    migrate();
    EXPECT_EQ(workspace.calls, (std::vector{terminate10, terminate10}));
    EXPECT_FALSE(store.contains(QStringLiteral("showDelay")));
    EXPECT_FALSE(store.contains(QStringLiteral("stats.auto")));
    EXPECT_EQ(loopSteps, 30);
}

TEST_F(MigrationTest, anUnreadableEarlierFileCountsAsAbsentAndIsLeftAlone)
{
    const QByteArray broken = "{\"showDelay\": 0.5,";
    test::writeAll(earlierPath, broken);

    migrate();

    EXPECT_FALSE(store.contains(QStringLiteral("showDelay")));
    EXPECT_TRUE(Settings(store).migratedWendle());
    EXPECT_EQ(test::readAll(earlierPath), broken);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2); // nothing moved aside
}

} // namespace
} // namespace zumo
