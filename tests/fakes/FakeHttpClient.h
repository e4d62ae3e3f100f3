// An HTTP client for unit tests: records every request and answers with what the test's
// responder returns, when the test says so. Single-threaded.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "platform/HttpClient.h"

namespace zumo {

class FakeHttpClient final : public HttpClient {
public:
    // The answer to a request; nothing means the server never answers. Default: 200, empty body.
    std::function<std::optional<HttpResponse>(const HttpRequest&)> respond = [](const HttpRequest&) {
        return std::optional<HttpResponse>(ok(QByteArray()));
    };
    std::vector<HttpRequest> requests;  // every request sent, in order

    void send(HttpRequest request, Completion completion) override
    {
        requests.push_back(request);
        m_pending.emplace_back(std::move(request), std::move(completion));
    }
    std::vector<double> waits;          // the wait of every sendAndWait, in order

    std::optional<HttpResponse> sendAndWait(HttpRequest request, double waitSec) override
    {
        requests.push_back(request);
        waits.push_back(waitSec);
        return respond(request);
    }

    // Answers the requests sent so far (and those their completions send, in turn); a request
    // the responder never answers is dropped.
    void deliver()
    {
        while (!m_pending.empty()) {
            auto [request, completion] = std::move(m_pending.front());
            m_pending.pop_front();
            if (auto response = respond(request))
                completion(*response);
        }
    }

    static HttpResponse ok(QByteArray body, int status = 200)
    {
        HttpResponse r;
        r.status = status;
        r.body = std::move(body);
        r.bodyBytes = r.body.size();
        return r;
    }
    static HttpResponse failure(QString error)
    {
        HttpResponse r;
        r.error = std::move(error);
        return r;
    }

private:
    std::deque<std::pair<HttpRequest, Completion>> m_pending;
};

} // namespace zumo
