// How both HTTP clients wait for an answer (HttpClient::sendAndWait): their transfers live on the
// main thread, so a wait there turns a local event loop and other threads block.
#pragma once

#include <QObject>
#include <functional>
#include <optional>

#include "platform/HttpClient.h"

namespace zumo {

int httpMs(double seconds);  // a time in seconds as a timer's milliseconds, clamped to a day

// start runs on context's thread and returns the transfer it began (or null when it ended at
// once); abandon ends a transfer still running when the wait ran out.
std::optional<HttpResponse> waitForResponse(QObject& context, std::function<QObject*(HttpClient::Completion)> start,
                                            std::function<void(QObject*)> abandon, double maxWaitSec);

} // namespace zumo
