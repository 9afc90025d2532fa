// The fixed profile that makes this drill program what it is: its title and its table
// of levels. Everything else reads these values and never hard-codes a level count or
// a level name.
#pragma once
#include <QString>

namespace tobrel {

struct SharedState;

// Title "Tobrel", no worksheet print button, every next level unlocked.
void SetProgramTitle(SharedState &state);
// Six levels and the 24 level names; run at every login. Showing the hub is the
// caller's part.
void ApplyProgramProfileTables(SharedState &state);

} // namespace tobrel
