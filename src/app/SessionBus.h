// The desktop's message bus (D-Bus), which Qt asks for the screen-reader service as the
// first screen comes up. Where the session has no bus and none can be started (a bare X
// session on a classroom PC, a virtual display), the bus library still tries to start one
// at each start, spawning a helper that is not installed, and the first screen waits for
// that. The program then tells the library at once that there is no bus.
#pragma once
#include <QProcessEnvironment>

namespace tobrel {

// True when the session's bus cannot be found however it is looked for: no address in
// DBUS_SESSION_BUS_ADDRESS, no bus socket in XDG_RUNTIME_DIR, and no dbus-launch on the
// PATH to start or find one for the X display.
bool noSessionBusToFind(const QProcessEnvironment &environment);

// Where noSessionBusToFind: sets DBUS_SESSION_BUS_ADDRESS to "disabled:" for this process,
// so that nothing tries to start a bus. Before the application object is made.
void sayWhenThereIsNoSessionBus();

} // namespace tobrel
