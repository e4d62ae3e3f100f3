// The real dispatcher at quit: background work ends before the parts it uses, without a hang.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSemaphore>
#include <atomic>

#include "desktop/qt/QtDispatcher.h"

namespace zumo {
namespace {

TEST(QtDispatcher, finishingAnswersAWorkerWaitingForTheMainThreadAndRefusesLaterWork)
{
    QtDispatcher dispatcher;
    QSemaphore started;
    std::atomic<bool> hopped{false}, done{false}, later{false};
    // As a snap does: the worker blocks until the main thread has read the screens for it.
    dispatcher.background(Quality::Default, [&] {
        started.release();
        QMetaObject::invokeMethod(
            qApp, [&] { hopped = true; }, Qt::BlockingQueuedConnection);
        done = true;
    });
    started.acquire();
    dispatcher.finishBackground();
    EXPECT_TRUE(hopped);
    EXPECT_TRUE(done);

    dispatcher.background(Quality::Default, [&] { later = true; });
    dispatcher.finishBackground();
    EXPECT_FALSE(later);
}

} // namespace
} // namespace zumo
