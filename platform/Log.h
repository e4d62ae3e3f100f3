// The one logging call of the program. It depends on nothing, so every folder may log; the event
// log installs itself as the sink when it starts.
#pragma once

#include <QString>
#include <functional>

namespace zumo {

// Hands one message to the sink. Before a sink is installed the first lines are kept (up to
// EarlyLineCap) and given to the first sink installed, so problems found while starting up,
// such as an unreadable settings file, still reach the log. Any thread.
void appLog(const QString& message);

using LogSink = std::function<void(const QString& message)>;
inline constexpr int EarlyLineCap = 64;

// Makes sink the target of appLog (an empty sink detaches). Returns once no appLog call still
// uses the previous sink, so whatever it refers to may be destroyed afterwards.
void installLogSink(LogSink sink);

} // namespace zumo
