// What both HTTP clients share: their transfers live on the main thread, as children of one
// context object; requests from other threads are queued there, and a wait for an answer
// (HttpClient::sendAndWait) turns a local event loop there while other threads block.
#pragma once

#include <QObject>
#include <functional>
#include <optional>

#include "platform/HttpClient.h"

namespace zumo {

int httpMs(double seconds);  // a time in seconds as a timer's milliseconds, clamped to a day

// Runs start on context's thread: at once when called there, else queued to it (and dropped
// with context).
void startOnContext(QObject& context, std::function<void()> start);

// Ends the transfers still owned by context without their completions (a client going away).
void dropTransfers(QObject& context);

// start runs on context's thread and returns the transfer it began (or null when it ended at
// once); abandon ends a transfer still running when the wait ran out.
std::optional<HttpResponse> waitForResponse(QObject& context, std::function<QObject*(HttpClient::Completion)> start,
                                            std::function<void(QObject*)> abandon, double maxWaitSec);

} // namespace zumo
