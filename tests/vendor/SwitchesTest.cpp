// Test switches as values: what the command line accepts, which rule a path gets, and how a
// rule turns the normal answer into the misbehaving one.
#include <QJsonDocument>
#include <gtest/gtest.h>

#include "vendor/Answer.h"
#include "vendor/Event.h"
#include "vendor/RateLimiter.h"
#include "vendor/Switches.h"

using namespace zumo::vendor;

namespace {

Rule rule(const std::string& text)
{
    std::string error;
    auto parsed = parsePathRule("/x?" + text, &error);
    EXPECT_TRUE(parsed) << error;
    return parsed ? parsed->rule : Rule{};
}

TEST(SwitchesTest, readsEverySwitchAndRefusesWhatItDoesNotKnow)
{
    Rule all = rule("status=503&delay=250&drip=10&oversize=52428800&malformed=truncated&chunked=1&times=2"
                    "&redirect=https%3A%2F%2Felsewhere.example%2Fa%3Fb%3D1%26c");
    EXPECT_EQ(all.status, 503);
    EXPECT_EQ(all.delayMs, 250);
    EXPECT_EQ(all.dripMs, 10);
    EXPECT_EQ(all.oversize, 52428800u);
    EXPECT_EQ(all.malformed, Malformed::Truncated);
    EXPECT_TRUE(all.chunked);
    EXPECT_EQ(all.times, 2);
    EXPECT_EQ(all.redirect, "https://elsewhere.example/a?b=1&c");
    EXPECT_EQ(rule(describeRule(all)).redirect, all.redirect); // a listing reads back the same

    std::string error;
    for (const char* bad : {"/x?status=99", "/x?status=abc", "/x?drip=0", "/x?malformed=weird", "/x?colour=red",
                            "/x?redirect=", "x?status=500", "?status=500"}) {
        EXPECT_FALSE(parsePathRule(bad, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

TEST(SwitchesTest, anExactPathWinsOverTheLongestPrefixAndTimesCountDown)
{
    Switches switches;
    switches.set({"/dl/*", rule("status=500")});
    switches.set({"/dl/zumo/*", rule("status=502")});
    switches.set({"/dl/zumo/latest.json", rule("status=404&times=2")});
    EXPECT_EQ(switches.take("/dl/zumo/Zumo-2.0.tar")->status, 502);
    EXPECT_EQ(switches.take("/dl/other")->status, 500);
    EXPECT_EQ(switches.take("/dl/zumo/latest.json")->status, 404);
    EXPECT_EQ(switches.take("/dl/zumo/latest.json")->status, 404);
    EXPECT_EQ(switches.take("/dl/zumo/latest.json")->status, 502); // used up, the prefix applies again
    EXPECT_FALSE(switches.take("/api/t"));
    switches.clear("");
    EXPECT_TRUE(switches.list().empty());
}

TEST(SwitchesTest, aStatusKeepsTheBodyButBodylessStatusesAndRedirectsDropIt)
{
    Answer normal = textAnswer(200, "{\"pingMinutes\":5}", "application/json");
    EXPECT_EQ(switched(normal, rule("status=500")).text, normal.text);
    EXPECT_EQ(switched(normal, rule("status=304")).bodySize(), 0u);
    Answer moved = switched(normal, rule("redirect=/elsewhere&status=308"));
    EXPECT_EQ(moved.status, 308);
    ASSERT_EQ(moved.headers.size(), 1u);
    EXPECT_EQ(moved.headers[0].first, "Location");
    EXPECT_EQ(moved.headers[0].second, "/elsewhere");
    EXPECT_EQ(switched(normal, rule("redirect=/elsewhere&status=500")).status, 302);
    EXPECT_TRUE(rule("status=500").refuses());
    EXPECT_TRUE(rule("redirect=/x").refuses());
    EXPECT_FALSE(rule("status=201&delay=5").refuses());
}

TEST(SwitchesTest, anOversizedBodyIsAWellFormedObjectOfExactlyTheAskedSize)
{
    Answer big = switched(textAnswer(200, "{}"), rule("oversize=100000"));
    ASSERT_EQ(big.bodySize(), 100000u);
    std::string whole;
    for (uint64_t offset = 0; offset < big.generated; offset += 777)
        whole += generatedBytes(big.generated, offset, 777);
    ASSERT_EQ(whole.size(), 100000u);
    EXPECT_TRUE(QJsonDocument::fromJson(QByteArray::fromStdString(whole)).isObject());
    EXPECT_EQ(generatedBytes(3, 0, 10), "aaa"); // too small for the object: still the asked size
}

TEST(EventBodyTest, readsTheIndexedFieldsOfAnObjectAndRefusesAnythingElse)
{
    auto event = readEvent(R"({"event":"launch","install":"0F-A","version":"2.0"})", 7);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->name, "launch");
    EXPECT_EQ(event->install, "0F-A");
    EXPECT_EQ(event->receivedMs, 7);
    auto odd = readEvent(R"({"event":42,"install":"a\u0000b"})", 7);
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->name, "");
    EXPECT_EQ(odd->install, "ab");
    EXPECT_EQ(readEvent(R"({"event":")" + std::string(500, 'e') + "\"}", 0)->name.size(), 200u);
    for (const char* bad : {"", "[]", "{\"event\":", "null", "\"launch\""})
        EXPECT_FALSE(readEvent(bad, 0)) << bad;
}

TEST(RateLimiterTest, allowsABurstThenTheSteadyRatePerKey)
{
    const int64_t hour = 3600 * 1000;
    RateLimiter limiter(24, 3, 2); // one an hour, three at once, two keys tracked
    const struct {
        const char* key;
        int64_t atMs;
        bool allowed;
    } steps[] = {
        {"a", 0, true},         {"a", 0, true},         {"a", 0, true},
        {"a", 0, false},        // the burst is spent
        {"b", 0, true},         // another key has its own bucket
        {"a", hour / 2, false}, {"a", hour, true}, // one token an hour
        {"a", hour, false},     {"a", hour - 5, false}, // a clock going back gives nothing
        {"c", hour, true},      // a third key: "b" is full again by now and forgotten
        {"a", 10 * hour, true}, {"a", 10 * hour, true}, {"a", 10 * hour, true},
        {"a", 10 * hour, false}, // refilled to the burst, not beyond
    };
    for (const auto& step : steps)
        EXPECT_EQ(limiter.allow(step.key, step.atMs), step.allowed) << step.key << " at " << step.atMs;
    RateLimiter unlimited(0, 0);
    for (int i = 0; i < 100; ++i)
        EXPECT_TRUE(unlimited.allow("a", 0));
}

} // namespace
