// The tab bar as browsers publish it: a "page tab list" whose "page tab" children say which one
// is selected and select themselves on "Press". Qt 6.4's own tab bar leaves the selected state out.
#pragma once

// Installed before the first window shows; tab bars then get this interface.
void installTabBarAccessible();
