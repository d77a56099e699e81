// The apartment each thread is in, as RoInitialize enters it.
#pragma once

namespace winsim::winrt {

enum class Apartment { None, SingleThreaded, MultiThreaded };

Apartment currentApartment();
// Puts a thread of winsim's (one that raises events) in the multithreaded apartment, as the
// system's worker threads are.
void enterSystemApartment();

}  // namespace winsim::winrt
