// The vendor host setting and the address rule built on it.
#include <gtest/gtest.h>

#include "platform/VendorService.h"

namespace zumo {
namespace {

TEST(VendorServiceTest, hostSettingAcceptsOnlyAHostWithAnOptionalPort)
{
    EXPECT_EQ(parseVendorHost("Example.ORG"), "example.org");
    EXPECT_EQ(parseVendorHost("127.0.0.1:8443"), "127.0.0.1:8443");
    EXPECT_EQ(parseVendorHost("[::1]:8443"), "[::1]:8443");
    for (const char* bad : {"", "https://example.org", "example.org/path", "user@example.org", "example.org:0",
                            "example.org:70000", "example.org:", "-bad.org", "a b"})
        EXPECT_EQ(parseVendorHost(bad), "") << bad;
}

TEST(VendorServiceTest, addressesAreHttpsOnTheOneHostAndOnlyThoseCountAsVendor)
{
    EXPECT_EQ(remoteConfigUrl().toString(), "https://" + vendorHost() + "/api/zumo-config");
    EXPECT_TRUE(isVendorUrl(vendorUrl("/dl/zumo/Zumo-2.tar")));
    QUrl plain = vendorUrl("/x");
    plain.setScheme("http");
    EXPECT_FALSE(isVendorUrl(plain));
    QUrl otherPort = vendorUrl("/x");
    otherPort.setPort(otherPort.port(443) + 1);
    EXPECT_FALSE(isVendorUrl(otherPort));
    EXPECT_FALSE(isVendorUrl(QUrl("https://" + vendorHost() + ".evil.example/x")));
    EXPECT_FALSE(isVendorUrl(QUrl("https://me@" + vendorHost() + "/x")));
}

} // namespace
} // namespace zumo
