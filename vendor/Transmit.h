// Sends an Answer through cpp-httplib: the switched delay, then the body from text, a file or
// the generator, streamed in pieces (one byte at a time when drip-fed) and never held whole.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "vendor/Answer.h"

namespace httplib {
struct Response;
}

namespace zumo::vendor {

// Lets delayed and drip-fed answers end at once when the service stops.
class StopSignal {
public:
    // Waits up to ms milliseconds; false when the service is stopping.
    bool sleep(int ms);
    void stop();
    bool stopping() const { return m_stopping; }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::atomic<bool> m_stopping = false;
};

// Waits the answer's delay (on the calling request thread), then fills the response.
void transmit(const Answer& answer, httplib::Response& response, StopSignal& stop);

} // namespace zumo::vendor
