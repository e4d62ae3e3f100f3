// Displays and a pointer position set by the test; the first display is the main one.
#pragma once

#include <vector>

#include "platform/Screens.h"

namespace zumo {

class FakeScreens final : public Screens {
public:
    std::vector<Screen> list{Screen{QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875)}};
    QPointF pointer{100, 100};

    std::vector<Screen> screens() const override { return list; }
    std::optional<int> mainScreen() const override { return 0; }
    QPointF pointerLocation() const override { return pointer; }
};

} // namespace zumo
