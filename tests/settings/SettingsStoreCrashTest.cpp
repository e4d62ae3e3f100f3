// A writer killed at arbitrary moments never leaves a broken file nor loses a flushed key.
#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

#include "tests/fakes/FakeDispatcher.h"
#include "settings/SettingsStore.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"

namespace zumo {
namespace {

// Child: writes "<prefix>.<n>" = n forever, flushing each and printing the key once it is saved.
int writerMain(const QStringList& args)
{
    if (args.size() < 2)
        return 2;
    // Changes wait for a timer that never fires, so only the explicit flushes below write.
    FakeDispatcher dispatcher;
    SettingsStore store(args[0], &dispatcher);
    // Some bulk, so that a kill often lands in the middle of writing the file.
    for (int i = 0; i < 200; ++i)
        store.setValue(QStringLiteral("filler.%1").arg(i), QStringLiteral("x").repeated(40));
    for (qint64 n = 0;; ++n) {
        const QString key = args[1] + QLatin1Char('.') + QString::number(n);
        store.setValue(key, n);
        if (!store.flush())
            return 1;
        std::printf("%s\n", qPrintable(key));
        std::fflush(stdout);
    }
}

const test::ChildRegistration writer("settings-writer", &writerMain);

TEST(SettingsStoreCrashTest, everyFlushedKeySurvivesSigkill)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("com.zumo.app.json"));
    QStringList flushed;
    for (int round = 0; round < 20; ++round) {
        QProcess child;
        child.start(test::selfPath(), {QStringLiteral("--child"), QStringLiteral("settings-writer"), path,
                                       QStringLiteral("r%1").arg(round)});
        ASSERT_TRUE(child.waitForStarted(10000));
        // Kill at a different point of the write loop each round, once it has reported so many keys.
        QByteArray out;
        const QDeadlineTimer deadline(20000);
        while (out.count('\n') < 1 + (round * 7) % 13 && child.waitForReadyRead(int(deadline.remainingTime())))
            out += child.readAllStandardOutput();
        child.kill();
        ASSERT_TRUE(child.waitForFinished(10000));
        // Lines the child finished before it died; a cut-off last line was not reported.
        out += child.readAllStandardOutput();
        out.truncate(out.lastIndexOf('\n') + 1);
        for (const QByteArray& line : out.split('\n'))
            if (!line.isEmpty())
                flushed << QString::fromUtf8(line);

        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(test::readAll(path), &error);
        ASSERT_TRUE(error.error == QJsonParseError::NoError && doc.isObject()) << "round " << round;
        const QJsonObject saved = doc.object();
        for (const QString& key : flushed) {
            ASSERT_TRUE(saved.contains(key)) << qPrintable(key) << " lost in round " << round;
            EXPECT_EQ(saved.value(key).toInteger(-1), key.section(QLatin1Char('.'), 1).toLongLong());
        }
    }
    EXPECT_GE(flushed.size(), 20);
    // The next start clears whatever temporary files the kills left beside the file.
    SettingsStore next(path);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("com.zumo.app.json")});
}

} // namespace
} // namespace zumo
