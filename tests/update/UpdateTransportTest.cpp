// The updater's network against zumo-vendor over real HTTPS on loopback: a download streamed to
// a private file, and the ways a server can try to lead it astray, each refused with its message
// and nothing left behind.
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "desktop/qt/QtHttpClient.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"
#include "tests/vendor/testkit/VendorServer.h"
#include "update/GuardedDownload.h"
#include "update/HttpUpdateTransport.h"
#include "update/ReleaseMaker.h"

using namespace zumo;
using namespace zumo::test;

namespace {

const QByteArray Image = QByteArray(300000, 'z') + "end";

class Transport : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        vendor = new VendorServer;
        vendor->writeReleaseFile("image.bin", Image);
        ASSERT_TRUE(vendor->start()) << vendor->error().toStdString();
        vendor->writeDataFile("latest.json", Updater::manifestJson("9.0", QUrl(vendor->url("/dl/zumo/image.bin")),
                                                                  QString(64, u'a'), {}));
    }
    static void TearDownTestSuite() { delete std::exchange(vendor, nullptr); }
    void TearDown() override { vendor->clearSwitches(); }

    DownloadOutcome download(const QString& name, double cap)
    {
        std::optional<DownloadOutcome> outcome;
        auto guarded = GuardedDownload::make(cap, "127.0.0.1", [&](DownloadOutcome o) { outcome = o; });
        guarded->start(transport, {QUrl(vendor->url("/dl/zumo/" + name)), 10, false}, tmp.path());
        EXPECT_TRUE(eventsUntil([&] { return outcome.has_value(); }));
        return outcome.value_or(DownloadOutcome{});
    }
    Updater::CheckResult fetch(double timeoutSec = 5)
    {
        std::optional<Updater::CheckResult> result;
        transport.fetchLatestRelease(timeoutSec, [&](Updater::CheckResult r) { result = r; });
        EXPECT_TRUE(eventsUntil([&] { return result.has_value(); }));
        return result.value_or(Updater::CheckResult{});
    }

    static inline VendorServer* vendor = nullptr;
    QTemporaryDir tmp;
    QtHttpClient http{vendor->caPath()};
    HttpUpdateTransport transport{http, {QUrl(vendor->url("/dl/zumo/latest.json")), "127.0.0.1", "Zumo/test", {}}};
};

} // namespace

TEST_F(Transport, downloadsStreamToAPrivateFileAndOnlyTheVendorHostMayRedirect)
{
    const QString elsewhere = QStringLiteral("https://localhost:%1/dl/zumo/image.bin").arg(vendor->port());
    const QString tooLarge = "larger than the allowed size";
    struct Case {
        const char* name;
        QString path, rule;
        double cap;
        QString error;  // empty: the image arrives whole
    } cases[] = {
        {"plain", "image.bin", "", 1e6, ""},
        {"redirect on the vendor host", "moved.bin", "redirect=/dl/zumo/image.bin", 1e6, ""},
        {"redirect to another host", "moved.bin", "redirect=" + QUrl::toPercentEncoding(elsewhere), 1e6,
         "The download was redirected to an address that is not allowed."},
        {"redirect to plain http", "moved.bin",
         "redirect=" + QUrl::toPercentEncoding(QStringLiteral("http://127.0.0.1:%1/dl/zumo/image.bin").arg(vendor->port())),
         1e6, "The download was redirected to an address that is not allowed."},
        {"announced size over the cap", "image.bin", "oversize=50000", 40000, tooLarge},
        {"unannounced size growing past the cap", "image.bin", "oversize=50000&chunked=1", 40000, tooLarge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.rule.isEmpty() || vendor->setSwitch("/dl/zumo/" + c.path, c.rule));
        const DownloadOutcome outcome = download(c.path, c.cap);
        vendor->clearSwitches();
        if (c.error.isEmpty()) {
            EXPECT_EQ(outcome.error.value_or(""), "");
            EXPECT_EQ(readAll(outcome.file), Image);
            EXPECT_EQ(QFileInfo(outcome.file).permissions() & 0x0077, 0) << "readable by others";
            QFile::remove(outcome.file);
        } else {
            EXPECT_EQ(outcome.error.value_or(""), c.error);
            EXPECT_EQ(outcome.file, "");
        }
        EXPECT_TRUE(QDir(tmp.path()).isEmpty()) << "a parked file was left";
    }
}

// The plain manifest and the probe's length: UpdateE2e (its prefetch needs the length).
TEST_F(Transport, theManifestComesWithItsSealIsCappedAndEndsByItsDeadline)
{
    EXPECT_FALSE(fetch().seal);  // none published
    ASSERT_TRUE(vendor->writeDataFile("latest.json.sig", "the seal"));
    const Updater::CheckResult sealed = fetch();
    EXPECT_EQ(sealed.seal.value_or(""), "the seal");
    EXPECT_EQ(sealed.manifest, readAll(vendor->dataDir() + "/latest.json"));
    QFile::remove(vendor->dataDir() + "/latest.json.sig");
    for (const auto& [name, rule] : {std::pair{"drip-fed", "drip=400"}, std::pair{"over 1 MiB", "oversize=1100000"},
                                     std::pair{"redirected", "redirect=/dl/zumo/image.bin"}}) {
        ASSERT_TRUE(vendor->setSwitch("/dl/zumo/latest.json", rule));
        const Updater::CheckResult result = fetch(1);
        EXPECT_FALSE(result.release) << name;
        EXPECT_FALSE(result.failure.isEmpty()) << name;
        vendor->clearSwitches();
    }
}
