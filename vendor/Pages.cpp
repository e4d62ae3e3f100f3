// The two pages the application opens in a browser: privacy and product. A self-hoster puts
// their own privacy.html / zumo.html in the data folder; these stand in until then.
#include "vendor/Service.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace zumo::vendor {

namespace {

constexpr const char PrivacyPage[] = R"(<!doctype html>
<html lang="en"><head><meta charset="utf-8"><title>Zumo privacy</title></head>
<body><h1>Zumo and your privacy</h1>
<p>Zumo sends usage events only after you agreed at first launch: when it starts, every few
hours while it runs, and when it quits. They carry a random installation identifier, the
version, your settings, usage counters and a description of the machine (no window titles, no
file contents, no keystrokes). Diagnostic logs are redacted before they leave.</p>
<p>Events are kept to improve Zumo and are never sold or shared.</p>
</body></html>
)";

constexpr const char ProductPage[] = R"(<!doctype html>
<html lang="en"><head><meta charset="utf-8"><title>Zumo</title></head>
<body><h1>Zumo</h1>
<p>A keyboard window switcher: hold Alt, press Tab, let go on the window you want.</p>
<p><a href="/dl/zumo/latest.json">Latest release</a> &middot; <a href="/privacy">Privacy</a></p>
</body></html>
)";

} // namespace

Answer Service::page(const std::string& name) const
{
    std::ifstream custom(std::filesystem::path(m_options.dataDir) / (name + ".html"), std::ios::binary);
    std::string html = name == "privacy" ? PrivacyPage : ProductPage;
    if (custom) {
        std::ostringstream bytes;
        bytes << custom.rdbuf();
        html = bytes.str();
    }
    return textAnswer(200, std::move(html), "text/html; charset=utf-8");
}

} // namespace zumo::vendor
