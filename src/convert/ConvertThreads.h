#pragma once

#include <functional>

// The converter's threads: work split into parts that run at once, one
// per core.
namespace ConvertThreads {

// How many parts are worth making here: the cores the system offers.
int Cores();

// Runs work(0) .. work(parts - 1) at once, part 0 on the calling thread,
// and returns when all have ended; the first exception a part raised is
// raised again then.
void InParts(int parts, const std::function<void(int part)>& work);

} // namespace ConvertThreads
