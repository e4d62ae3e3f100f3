#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/fakes/RecordingProcessRunner.h"
#include "tests/support/TestFiles.h"
#include "update/MacUpdateTools.h"

using namespace zumo;
using namespace zumo::Updater;

TEST(MacUpdateTools, signatureChecksRunCodesignAndSpctlWithTheRequirements)
{
    RecordingProcessRunner runner;
    MacUpdateTools tools(runner, "/Applications/Zumo.app", "/Users/u");
    EXPECT_TRUE(tools.isTrustedDiskImage("/w/update.dmg"));
    EXPECT_TRUE(tools.isTrustedApp("/w/stage/Zumo.app"));
    ASSERT_EQ(runner.calls.size(), 3u);
    EXPECT_EQ(runner.calls[0].program, "/usr/bin/codesign");
    EXPECT_EQ(runner.calls[0].args,
              QStringList({"--verify", "-R=anchor apple generic and certificate leaf[subject.OU] = \"K7QW3MZ8PD\"",
                           "/w/update.dmg"}));
    EXPECT_EQ(runner.calls[1].args,
              QStringList({"--verify", "--deep", "--strict",
                           "-R=anchor apple generic and identifier \"com.zumo.app\" and certificate "
                           "leaf[subject.OU] = \"K7QW3MZ8PD\"",
                           "/w/stage/Zumo.app"}));
    EXPECT_EQ(runner.calls[2].program, "/usr/sbin/spctl");
    EXPECT_EQ(runner.calls[2].args, QStringList({"--assess", "--type", "execute", "/w/stage/Zumo.app"}));
}

TEST(MacUpdateTools, anAppFailingCodesignIsNotAssessed)
{
    RecordingProcessRunner runner;
    runner.statuses["/usr/bin/codesign"] = {3};
    MacUpdateTools tools(runner, "/Applications/Zumo.app", "/Users/u");
    EXPECT_FALSE(tools.isTrustedApp("/w/stage/Zumo.app"));
    EXPECT_EQ(runner.calls.size(), 1u);
    runner.statuses["/usr/bin/codesign"] = {0};
    runner.statuses["/usr/sbin/spctl"] = {-1};
    EXPECT_FALSE(tools.isTrustedApp("/w/stage/Zumo.app"));
}

TEST(MacUpdateTools, installScriptIsTheSixteenLines)
{
    const QByteArray script = macInstallScript();
    EXPECT_EQ(script.size(), 472);
    EXPECT_EQ(script.count('\n'), 15);
    EXPECT_FALSE(script.endsWith('\n'));
    EXPECT_TRUE(script.startsWith("#!/bin/sh\nPID=\"$1\"; NEW=\"$2\"; DEST=\"$3\"; WORK=\"$4\"\ni=0\n"));
    EXPECT_TRUE(script.contains("\nif [ -d \"$DEST\" ]; then mv \"$DEST\" \"$BAK\" || { /usr/bin/open \"$DEST\"; exit 1; }; fi\n"));
    EXPECT_TRUE(script.contains("\n  /usr/bin/xattr -dr com.apple.quarantine \"$DEST\" 2>/dev/null\n"));
    EXPECT_TRUE(script.endsWith("\nrm -rf \"$WORK\"\n/usr/bin/open \"$DEST\""));
}

TEST(MacUpdateTools, destinationIsInPlaceOnlyForAWritableRealBundle)
{
    QStringList writable;
    auto isWritable = [&](const QString& dir) { return writable.contains(dir); };
    writable = {"/Users/u/Apps", "/Applications", "/Volumes/Zumo"};
    EXPECT_EQ(macInstallDestination("/Users/u/Apps/Zumo.app", "/Users/u", isWritable), "/Users/u/Apps/Zumo.app");
    EXPECT_EQ(macInstallDestination("/Volumes/Zumo/Zumo.app", "/Users/u", isWritable), "/Applications/Zumo.app");
    EXPECT_EQ(macInstallDestination("/private/var/folders/x/AppTranslocation/1/d/Zumo.app", "/Users/u", isWritable),
              "/Applications/Zumo.app");
    EXPECT_EQ(macInstallDestination("/Users/u/Apps/zumo", "/Users/u", isWritable), "/Applications/Zumo.app");
    writable = {};
    EXPECT_EQ(macInstallDestination("/Volumes/Zumo/Zumo.app", "/Users/u", isWritable),
              "/Users/u/Applications/Zumo.app");
    EXPECT_EQ(macInstallDestination("/opt/Zumo.app", "/Users/u", isWritable), "/Users/u/Applications/Zumo.app");
}

TEST(MacUpdateTools, infoPlistGivesStringsOnly)
{
    QTemporaryDir tmp;
    const QString app = tmp.path() + "/Zumo.app";
    QDir().mkpath(app + "/Contents");
    zumo::test::writeAll(app + "/Contents/Info.plist", R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict>
  <key>CFBundleIdentifier</key><string>com.zumo.app</string>
  <key>Nested</key><dict><key>CFBundleShortVersionString</key><string>9.9</string></dict>
  <key>CFBundleShortVersionString</key><integer>2</integer>
</dict></plist>)");
    RecordingProcessRunner runner;
    MacUpdateTools tools(runner, "/Applications/Zumo.app", "/Users/u");
    const auto facts = tools.readBundleFacts(app);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->identifier, "com.zumo.app");
    EXPECT_FALSE(facts->version);
    zumo::test::writeAll(app + "/Contents/Info.plist", "bplist00 binary");
    EXPECT_FALSE(tools.readBundleFacts(app));
}
