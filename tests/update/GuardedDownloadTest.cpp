#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/update/UpdateFakes.h"
#include "update/GuardedDownload.h"

using namespace zumo;
using namespace zumo::test;

namespace {

class Guarded : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    FakeTransport transport;
    std::vector<DownloadOutcome> outcomes;

    std::shared_ptr<GuardedDownload> start(double cap = 1000)
    {
        auto d = GuardedDownload::make(cap, "pellwick.example", [this](DownloadOutcome o) { outcomes.push_back(o); });
        d->start(transport, {QUrl("https://pellwick.example/z.tar.gz"), 60, true}, tmp.path());
        return d;
    }
    TransferEvents& events() { return *transport.downloads.back().events; }
    QStringList files() const { return QDir(tmp.path()).entryList(QDir::Files); }
};

} // namespace

TEST_F(Guarded, aCleanTransferHandsOverTheParkedFile)
{
    start();
    const QString path = transport.downloads.back().path;
    EXPECT_TRUE(QFileInfo(path).fileName().startsWith("zumo-dl-"));
    EXPECT_TRUE(transport.downloads.back().request.avoidMetered);
    EXPECT_TRUE(events().redirect(QUrl("https://pellwick.example/other")));
    transport.serve("image");
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].file, path);
    EXPECT_EQ(outcomes[0].status, 200);
    EXPECT_FALSE(outcomes[0].error);
}

TEST_F(Guarded, aRedirectElsewhereStopsWithItsMessageEvenWhenTheFileIsGood)
{
    auto d = start();
    EXPECT_FALSE(events().redirect(QUrl("https://cdn.example/z.tar.gz")));
    transport.serve("the right bytes");
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].error, "The download was redirected to an address that is not allowed.");
    EXPECT_EQ(outcomes[0].file, "");
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(Guarded, sizeCapStopsAnnouncedAndGrowingTransfers)
{
    start(1000);
    EXPECT_FALSE(events().progress(10, 1001));  // announced too large: the first report stops it
    events().finished({true, 200, true, "cancelled", 1001});
    start(1000);
    EXPECT_TRUE(events().progress(600, -1));
    EXPECT_TRUE(events().progress(1000, -1));
    EXPECT_FALSE(events().progress(1001, -1));
    transport.serve(QByteArray(1001, 'x'));
    ASSERT_EQ(outcomes.size(), 2u);
    for (const DownloadOutcome& o : outcomes)
        EXPECT_EQ(o.error, "larger than the allowed size");
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(Guarded, aTransportFailureKeepsItsTextAndDropsThePartialFile)
{
    start();
    QFile(transport.downloads.back().path).open(QIODevice::WriteOnly);
    events().finished({false, 0, true, "The request timed out.", -1});
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].error, "The request timed out.");
    EXPECT_TRUE(files().isEmpty());
}
