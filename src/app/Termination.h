#pragma once

#include <functional>

// The ends of the program that do not pass its windows: a termination
// signal (SIGTERM, SIGHUP, SIGINT) and an exit() from inside Qt, as when
// the display is lost. Both run darken first, so the projector goes dark
// as at File › Exit; nothing else is done on the way (no save, no question).
// The only module with the system's signal calls.
namespace Termination {

// From here on: a termination signal runs darken on the event loop and
// then ends the program as the signal would have; an exit() runs darken
// before the program's statics go. Needs the application object.
void Arm(std::function<void()> darken);
// The program ends the normal way: darken is not run at its exit.
void Disarm();

} // namespace Termination
