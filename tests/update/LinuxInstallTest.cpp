#include <QDirIterator>
#include <QProcess>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/update/UpdateFakes.h"
#include "update/Ed25519.h"
#include "update/FolderSwap.h"
#include "update/LinuxUpdateTools.h"
#include "update/PrivateFiles.h"

using namespace zumo;
using namespace zumo::Updater;
using namespace zumo::test;

namespace {

// Two signed install folders, A at dest and B staged, for the install script and the swap.
class Install : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString dest = tmp.path() + "/Applications/Zumo";
    QString work = tmp.path() + "/zumo-update-X";
    QString fresh = work + "/stage/Zumo";
    QString ran = tmp.path() + "/ran";
    LinuxUpdateTools tools{publicKeyOf(testKey()), LinuxPlace{}};

    void SetUp() override
    {
        ASSERT_TRUE(makeSignedFolder(fresh, "2.4.0"));
        resetDest();
    }
    void resetDest()
    {
        for (const QString& folder : {dest, incomingFolder(dest), replacedFolder(dest)})
            removeTree(folder);
        ASSERT_TRUE(makeSignedFolder(dest, "2.3.0"));
    }

    // Runs <at>/bin/zumo as a start would; the version it says, or "" when nothing ran.
    QByteArray startDest(const QString& at = {})
    {
        QFile::remove(ran);
        QProcess zumo;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ZUMO_TEST_RAN", ran);
        zumo.setProcessEnvironment(env);
        zumo.start((at.isEmpty() ? dest : at) + "/bin/zumo");
        zumo.waitForFinished();
        return readAll(ran).trimmed();
    }
};

struct KillPoint {
    SwapStep step;
    bool exchange;
    bool powerCut;        // also lose what was not flushed: the data of the files just written
    const char* started;  // the version a start runs afterwards
    bool cancel = false;  // a cancel there instead of a kill: it counts until the first rename
};

} // namespace

// The installer killed (SIGKILL, nothing of it unwinds) at each point, or the power cut there,
// then a start's rollback: one whole, verified copy at dest, nothing left beside it. Between the
// two fallback renames dest is missing; the rollback finds both copies beside it. A cancel stops
// the swap until its first rename and never after.
TEST_F(Install, aKilledOrCancelledSwapLeavesACopyThatStarts)
{
    const KillPoint points[] = {
        {SwapStep::copyStarted, true, false, "2.3.0"}, {SwapStep::copied, true, true, "2.3.0"},
        {SwapStep::flushed, true, false, "2.3.0"},     {SwapStep::renamed, true, false, "2.4.0"},
        {SwapStep::renamed, false, false, "2.4.0"},  // both copies beside a missing dest
        {SwapStep::copyStarted, true, false, "2.3.0", true}, {SwapStep::copied, true, false, "2.3.0", true},
        {SwapStep::flushed, true, false, "2.4.0", true},
    };
    for (const KillPoint& point : points) {
        SCOPED_TRACE(testing::Message() << int(point.step) << " exchange " << point.exchange << " cancel " << point.cancel);
        resetDest();
        if (point.cancel) {
            bool cancel = false;
            const auto cancelAt = [&cancel, &point](SwapStep step) { cancel = cancel || step == point.step; };
            EXPECT_EQ(swapInFolder(fresh, dest, {true, cancelAt, {}, [&cancel] { return cancel; }}),
                      QByteArray(point.started) == "2.4.0");
            EXPECT_FALSE(QFileInfo::exists(incomingFolder(dest)));  // before any rollback could sweep it
        } else {
            const pid_t child = ::fork();
            if (child == 0) {
                const auto killAt = [&point](SwapStep step) {
                    if (step == point.step)
                        ::raise(SIGKILL);
                };
                swapInFolder(fresh, dest, {point.exchange, killAt, {}, {}});
                ::_exit(0);
            }
            int status = 0;
            ::waitpid(child, &status, 0);
            ASSERT_TRUE(WIFSIGNALED(status));
        }
        if (point.powerCut) {
            for (QDirIterator it(incomingFolder(dest), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
                 it.hasNext();)
                QFile(it.next()).resize(0);
        }
        const Recovery recovery =
            finishInterruptedSwap(dest, [this](const QString& folder) { return tools.isTrustedApp(folder); });
        EXPECT_NE(recovery, Recovery::stuck);
        EXPECT_TRUE(tools.isTrustedApp(dest));
        EXPECT_EQ(startDest(), point.started);
        EXPECT_EQ(QDir(tmp.path() + "/Applications").entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList{"Zumo"});
    }
}

// A file system of its own on a loop device (root only): a copy of its backing file taken at a
// step is its disk as a power cut there leaves it, without what the kernel had not written yet.
struct LoopDisk {
    QString mount;
    bool mountAt(const QString& from, const QString& at)
    {
        mount = at;
        return QDir().mkpath(at) && QProcess::execute("mount", {"-o", "loop", from, at}) == 0;
    }
    ~LoopDisk()
    {
        if (!mount.isEmpty())
            QProcess::execute("umount", {mount});
    }
};

// The power cut at each step, both ways of swapping: the disk as it was then starts A or B
// whole once a start has finished or undone the swap, and nothing is left beside it.
TEST_F(Install, aPowerCutAtAnyStepLeavesACopyThatStarts)
{
    const QString image = tmp.path() + "/disk.img";
    LoopDisk disk;
    if (::geteuid() != 0 || QProcess::execute("mkfs.ext4", {"-q", "-F", image, "32M"}) != 0 ||
        !disk.mountAt(image, tmp.path() + "/disk"))
        GTEST_SKIP() << "needs root and loop devices to cut the power of a file system";
    dest = disk.mount + "/Applications/Zumo";
    // Step 4: when the swap has returned.
    for (int step = int(SwapStep::copyStarted); step <= int(SwapStep::renamed) + 1; ++step) {
        for (const bool exchange : {true, false}) {
            SCOPED_TRACE(testing::Message() << step << " exchange " << exchange);
            resetDest();
            ::sync();  // A was installed long before
            const QString cut = tmp.path() + "/cut.img";
            QFile::remove(cut);
            const pid_t child = ::fork();
            if (child == 0) {
                const auto cutAt = [&](int reached) {
                    if (reached == step && QFile::copy(image, cut))
                        ::raise(SIGKILL);
                };
                swapInFolder(fresh, dest, {exchange, [&](SwapStep reached) { cutAt(int(reached)); }, {}, {}});
                cutAt(int(SwapStep::renamed) + 1);
                ::_exit(0);
            }
            int status = 0;
            ::waitpid(child, &status, 0);
            ASSERT_TRUE(WIFSIGNALED(status));
            LoopDisk after;
            ASSERT_TRUE(after.mountAt(cut, tmp.path() + "/after"));
            const QString cutDest = after.mount + "/Applications/Zumo";
            EXPECT_NE(finishInterruptedSwap(cutDest, [this](const QString& f) { return tools.isTrustedApp(f); }),
                      Recovery::stuck);
            const QByteArray started = startDest(cutDest);
            // Once the swap has returned B is on disk: the install script deletes A next.
            EXPECT_TRUE(started == "2.4.0" || (started == "2.3.0" && step <= int(SwapStep::renamed)))
                << started.toStdString();
            EXPECT_EQ(QDir(after.mount + "/Applications").entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                      QStringList{"Zumo"});
        }
    }
}

// What the earlier script left when killed during its copy: a partial dest and the old copy aside.
TEST_F(Install, anUnverifiedFolderIsSetAsideForTheVerifiedOne)
{
    QDir().rename(dest, dest + ".updating");
    makeInstallFolder(dest, "2.4.0");
    QFile::remove(dest + "/bin/zumo");
    const auto verified = [this](const QString& folder) { return tools.isTrustedApp(folder); };
    EXPECT_EQ(finishInterruptedSwap(dest, verified), Recovery::restored);
    EXPECT_EQ(startDest(), "2.3.0");
    EXPECT_TRUE(QFileInfo::exists(setAsideFolder(dest) + "/lib"));
    EXPECT_EQ(finishInterruptedSwap(dest, verified), Recovery::nothing);
}

// The script runs once the swap is done and the old process has ended: with its own PATH and
// working folder (tools planted in both are never run) it deletes the replaced copy and the work
// folder and starts the new copy.
TEST_F(Install, theScriptFinishesWithItsOwnTools)
{
    ASSERT_TRUE(swapInFolder(fresh, dest));
    const QString script = tmp.path() + "/install.sh";
    writeAll(script, linuxInstallScript());
    const QString trap = tmp.path() + "/trap";
    for (const char* tool : {"rm", "sleep", "kill"}) {
        writeAll(trap + "/" + tool, "#!/bin/sh\ntouch " + tmp.path().toUtf8() + "/trapped\n");
        QFile::setPermissions(trap + "/" + tool, QFile::ReadOwner | QFile::ExeOwner);
    }
    QProcess sh;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ZUMO_TEST_RAN", ran);
    env.insert("PATH", trap + ":.");
    sh.setProcessEnvironment(env);
    sh.setWorkingDirectory(trap);
    // No process has this identifier: the kernel's highest is below it.
    sh.start("/bin/sh", {script, "99999999", fresh, dest, work});
    EXPECT_TRUE(sh.waitForFinished(30000));
    EXPECT_EQ(readAll(ran), "2.4.0\n");
    EXPECT_FALSE(QFileInfo::exists(replacedFolder(dest)));
    EXPECT_FALSE(QFileInfo::exists(work));
    EXPECT_FALSE(QFileInfo::exists(tmp.path() + "/trapped"));
}

// In place only for a writable install folder on lasting media; a packaged copy is the package
// manager's. /usr/local is the administrator's own, never a package's.
TEST(LinuxInstallDestination, inPlaceOnlyForAWritableInstallFolderOnLastingMedia)
{
    const std::pair<LinuxPlace, QString> cases[] = {
        {{"/home/u/opt/Zumo", true, true, false, false, "/home/u"}, "/home/u/opt/Zumo"},
        {{"/home/u/opt/Zumo", true, true, true, false, "/home/u"}, "/home/u/Applications/Zumo"},
        {{"/opt/Zumo", true, false, false, false, "/home/u"}, "/home/u/Applications/Zumo"},
        {{"/home/u/build", false, true, false, false, "/home/u"}, "/home/u/Applications/Zumo"},
    };
    for (const auto& [place, dest] : cases)
        EXPECT_EQ(linuxInstallDestination(place).path, dest) << place.runningFolder.toStdString();
    EXPECT_TRUE(linuxInstallDestination({"/usr", false, false, false, true, "/home/u"}).packageManaged);
    QTemporaryDir tmp;
    ASSERT_TRUE(makeSignedFolder(tmp.path() + "/Zumo", "2.3.0"));
    const LinuxPlace place = observeLinuxPlace(tmp.path() + "/Zumo/bin/zumo", "/home/u");
    EXPECT_EQ(place.runningFolder, tmp.path() + "/Zumo");
    EXPECT_TRUE(place.folderIsBundle && place.parentWritable && !place.fromPackage);
    EXPECT_TRUE(observeLinuxPlace("/usr/bin/zumo", "/home/u").fromPackage);
    EXPECT_FALSE(observeLinuxPlace("/usr/local/bin/zumo", "/home/u").fromPackage);
    EXPECT_TRUE(observeLinuxPlace("/media/u/stick/Zumo/bin/zumo", "/home/u").removableOrTemporary);
}

// Links inside the tree, or in place of the tree itself, are unlinked, never followed.
TEST(PrivateFiles, removeTreeDeletesLinksNotWhatTheyPointAt)
{
    QTemporaryDir tmp;
    const QString outside = tmp.path() + "/outside";
    writeAll(outside + "/precious", "keep me");
    const QString work = tmp.path() + "/zumo-update-A";
    QDir().mkpath(work + "/stage/deep");
    QFile::link(outside, work + "/stage/dirlink");
    QFile::link(outside + "/precious", work + "/filelink");
    EXPECT_TRUE(removeTree(work));
    EXPECT_FALSE(QFileInfo::exists(work));
    QFile::link(outside, work);
    EXPECT_TRUE(removeTree(work));
    EXPECT_TRUE(QFile::exists(outside + "/precious"));
}

TEST(PrivateFiles, leftoversAreOursExceptTheStagedOne)
{
    QTemporaryDir tmp;
    const QString staged = newPrivatePath(tmp.path(), WorkPrefix);
    const QString stale = newPrivatePath(tmp.path(), WorkPrefix);
    const QString parked = newPrivatePath(tmp.path(), ParkedPrefix);
    for (const QString& dir : {staged, stale})
        ASSERT_TRUE(makePrivateDirectory(dir));
    writeAll(parked, "partial");
    writeAll(tmp.path() + "/events.log", "log");
    EXPECT_EQ(QFile(stale).permissions() & 0x0077, 0);
    EXPECT_EQ(removeLeftovers(tmp.path(), staged + "/"), 2);
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList({"events.log", QFileInfo(staged).fileName()}));
}
