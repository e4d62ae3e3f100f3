// Parsing and matching of the test switches: see Switches.h.
#include "vendor/Switches.h"

#include <QUrl>
#include <QUrlQuery>
#include <type_traits>

namespace zumo::vendor {

namespace {

struct Names {
    const char* name;
    Malformed kind;
};
constexpr Names MalformedNames[] = {{"truncated", Malformed::Truncated}, {"notjson", Malformed::NotJson},
                                    {"notobject", Malformed::NotObject}, {"empty", Malformed::Empty},
                                    {"binary", Malformed::Binary}};

// A whole decimal number within [low, high]; none otherwise.
std::optional<uint64_t> number(const QString& text, uint64_t low, uint64_t high)
{
    bool ok = false;
    qulonglong value = text.toULongLong(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

bool setField(Rule& rule, const QString& key, const QString& value)
{
    auto into = [&](auto& field, uint64_t low, uint64_t high) {
        auto n = number(value, low, high);
        if (n)
            field = static_cast<std::remove_reference_t<decltype(field)>>(*n);
        return n.has_value();
    };
    if (key == u"status") {
        int status = 0;
        bool ok = into(status, 200, 599);
        rule.status = status;
        return ok;
    }
    if (key == u"delay")
        return into(rule.delayMs, 0, 600000);
    if (key == u"drip")
        return into(rule.dripMs, 1, 60000);
    if (key == u"oversize") {
        uint64_t size = 0;
        bool ok = into(size, 1, uint64_t(1) << 40);
        rule.oversize = size;
        return ok;
    }
    if (key == u"times")
        return into(rule.times, 0, 1000000);
    if (key == u"chunked")
        return into(rule.chunked, 0, 1);
    if (key == u"redirect") {
        rule.redirect = value.toStdString();
        return !value.isEmpty();
    }
    for (const Names& entry : MalformedNames) {
        if (key == u"malformed" && value == QLatin1String(entry.name)) {
            rule.malformed = entry.kind;
            return true;
        }
    }
    return false;
}

} // namespace

std::optional<Rule> parseRule(const QUrlQuery& query, std::string* error)
{
    Rule rule;
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == u"path")
            continue;
        if (!setField(rule, key, value)) {
            *error = "bad switch " + key.toStdString() + "=" + value.toStdString() +
                     " (known: status=200..599, delay=ms, drip=ms, redirect=url, oversize=bytes, "
                     "malformed=truncated|notjson|notobject|empty|binary, chunked=0|1, times=n)";
            return std::nullopt;
        }
    }
    return rule;
}

std::optional<PathRule> parsePathRule(const std::string& text, std::string* error)
{
    auto mark = text.find('?');
    std::string path = text.substr(0, mark);
    if (path.empty() || path[0] != '/') {
        *error = "a switch starts with the path it applies to, e.g. /api/zumo-config?status=500: " + text;
        return std::nullopt;
    }
    QUrlQuery query(mark == std::string::npos ? QString() : QString::fromStdString(text.substr(mark + 1)));
    auto rule = parseRule(query, error);
    if (!rule)
        return std::nullopt;
    return PathRule{path, *rule};
}

std::string describeRule(const Rule& rule)
{
    QUrlQuery query;
    auto add = [&](const char* key, const QString& value) { query.addQueryItem(QLatin1String(key), value); };
    if (rule.status)
        add("status", QString::number(*rule.status));
    if (rule.delayMs)
        add("delay", QString::number(rule.delayMs));
    if (rule.dripMs)
        add("drip", QString::number(rule.dripMs));
    if (!rule.redirect.empty())
        add("redirect", QString::fromStdString(rule.redirect));
    if (rule.oversize)
        add("oversize", QString::number(*rule.oversize));
    for (const Names& entry : MalformedNames) {
        if (rule.malformed == entry.kind)
            add("malformed", QLatin1String(entry.name));
    }
    if (rule.chunked)
        add("chunked", QStringLiteral("1"));
    if (rule.times)
        add("times", QString::number(rule.times));
    return query.toString(QUrl::FullyEncoded).toStdString();
}

void Switches::set(const PathRule& rule)
{
    std::lock_guard lock(m_mutex);
    m_rules[rule.path] = rule.rule;
}

void Switches::clear(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    if (path.empty())
        m_rules.clear();
    else
        m_rules.erase(path);
}

std::optional<Rule> Switches::take(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    auto found = m_rules.find(path);
    if (found == m_rules.end()) {
        size_t longest = 0;
        for (auto it = m_rules.begin(); it != m_rules.end(); ++it) {
            const std::string& key = it->first;
            bool prefix = !key.empty() && key.back() == '*' && path.compare(0, key.size() - 1, key, 0, key.size() - 1) == 0;
            if (prefix && key.size() > longest) {
                longest = key.size();
                found = it;
            }
        }
    }
    if (found == m_rules.end())
        return std::nullopt;
    Rule rule = found->second;
    if (rule.times > 0 && --found->second.times == 0)
        m_rules.erase(found);
    return rule;
}

std::vector<PathRule> Switches::list() const
{
    std::lock_guard lock(m_mutex);
    std::vector<PathRule> rules;
    for (const auto& [path, rule] : m_rules)
        rules.push_back({path, rule});
    return rules;
}

} // namespace zumo::vendor
