#pragma once
// What the remote control's requests do. Each is carried out on the UI
// thread through the program's own operations, with every guard a click
// meets, and shown in the Information line as "Remote: ..." (the queries
// status, wait and last_files excepted). A request the console would not
// take now is refused with the reason; switching the laser or the lamp off
// is never refused.
//
// A run ("start_scan", "focus", "wide_view", "iv_sweep", "time_evolution")
// starts from a message posted to the link's window, so that the request
// that asked for it is answered and the connection keeps being served while
// the run waits in the message pump: its "started" answer goes out just
// before the run's own command is given, once the guards have held again.
// Its end is told as the event "run_ended" and answers the "wait"
// requests.

#include "console/remote/remote_link.h"

// The link's handlers, with the hooks that tell the commands of a run's
// records and of its end set; the hooks are taken away again by
// stopRemoteCommands.
RemoteLinkHandlers startRemoteCommands();
void stopRemoteCommands();
