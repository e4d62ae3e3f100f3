// Displays and a pointer position set by the test.
#pragma once

#include <vector>

#include "platform/Screens.h"

namespace zumo {

class FakeScreens final : public Screens {
public:
    std::vector<Screen> list{Screen{QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875)}};
    std::optional<int> main = 0;
    QPointF pointer{100, 100};

    std::vector<Screen> screens() const override { return list; }
    std::optional<int> mainScreen() const override { return main; }
    QPointF pointerLocation() const override { return pointer; }
};

} // namespace zumo
