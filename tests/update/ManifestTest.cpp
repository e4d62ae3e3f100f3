#include <gtest/gtest.h>

#include "update/DownloadRules.h"
#include "update/Manifest.h"
#include "update/Version.h"

using namespace zumo::Updater;

namespace {

const QString Host = QStringLiteral("pellwick.example");

CheckResult read(const QByteArray& body, int status = 200)
{
    return readManifest(status, body, Host);
}

} // namespace

// A release as the maker's tool writes it is read by UpdateE2e and MakeRelease; here, what the
// reader forgives (an upper-case digest, notes of another type) and what it refuses.
TEST(Manifest, onlyTheDigestsCaseAndTheNotesTypeAreForgiven)
{
    const QByteArray good = R"({"version":"2","url":"https://pellwick.example/a","sha256":"aa"})";
    const QList<std::pair<QByteArray, int>> cases{
        {good, 404},
        {good, 201},
        {"", 200},
        {"[1,2]", 200},
        {"{not json", 200},
        {R"({"url":"https://pellwick.example/a","sha256":"aa"})", 200},
        {R"({"version":2,"url":"https://pellwick.example/a","sha256":"aa"})", 200},
        {R"({"version":"2","url":"https://pellwick.example/a","sha256":null})", 200},
        {R"({"version":"2","url":"http://pellwick.example/a","sha256":"aa"})", 200},  // the rest: DownloadRules
    };
    for (const auto& [body, status] : cases) {
        const CheckResult r = read(body, status);
        EXPECT_FALSE(r.release) << body.constData();
        EXPECT_EQ(r.failure, "The update information could not be read.") << body.constData();
    }
    const CheckResult forgiven = read(R"({"version":"2","url":"https://pellwick.example/a","sha256":"AB","notes":7})");
    ASSERT_TRUE(forgiven.release);
    EXPECT_EQ(forgiven.release->sha256, "ab");
    EXPECT_EQ(forgiven.release->notes, "");
}

TEST(DownloadRules, onlyTheVendorsHttpsHostIsAllowed)
{
    for (const char* url : {"https://pellwick.example/x", "https://PELLWICK.example:8443/x"})
        EXPECT_TRUE(isAllowedUpdateURL(QUrl(url), Host)) << url;
    for (const char* url : {"ftp://pellwick.example/x", "https://www.pellwick.example/x", "/dl/zumo/x", "",
                            "https://pellwick.example.evil.test/a", "https://pellwick.example@evil.test/a",
                            "https://", "not a url"})
        EXPECT_FALSE(isAllowedUpdateURL(QUrl(url), Host)) << url;
}

// Pieces compare as whole numbers of any size; a piece that is not one counts as zero.
TEST(Version, comparesPieceByPieceByValue)
{
    const QString huge = QStringLiteral("123456789012345678901234567890");
    const std::pair<QString, QString> newer[] = {
        {"2.10", "2.9"}, {"2.4.1", "2.4"}, {"1..3", "1.2"}, {"1.2.1", "1.2.x"}, {"0.1", ""},
        {"2." + huge, "2.99999999999999999999"}, {"2." + huge + "1", "2." + huge}, {QString(10000, u'9'), "1"}};
    const std::pair<QString, QString> notNewer[] = {
        {"2.9", "2.10"}, {"2.4.0", "2.4"}, {"2.4", "2.4.0"}, {"3.0-beta", "3.0"}, {"1.2.x", "1.2.0"}, {"", "0"},
        {"1.+5", "1.5"}, {"1.-", "1.0"}, {"2.99999999999999999999", "2." + huge}, {"2.000" + huge, "2." + huge},
        {"2.-" + huge, "2.0"}};
    for (const auto& [a, b] : newer)
        EXPECT_TRUE(isNewerVersion(a, b)) << a.toStdString() << " > " << b.toStdString();
    for (const auto& [a, b] : notNewer)
        EXPECT_FALSE(isNewerVersion(a, b)) << a.toStdString() << " <= " << b.toStdString();
}
