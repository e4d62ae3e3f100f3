// The running program checks signatures and unpacks release images in its helper (zumo-net),
// which alone loads OpenSSL and libarchive: Zumo itself stays free of them and of their
// dependencies. This file supplies update/'s verifyEd25519 and extractArchive for the zumo
// executable; tests, tools and the helper link update/native's instead.
#pragma once

namespace zumo {

// Opens the helper beside the running executable; call first thing in main.
void openUpdateHelper();

} // namespace zumo
