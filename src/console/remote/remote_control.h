#pragma once
// The remote control, started with the program's option --remote or
// --remote=PORT and off otherwise: a fresh key in the data folder, the
// loopback socket, and "Remote control on 127.0.0.1:PORT" in the
// Information line. When it cannot start the operator is told in a
// "Warning" box, and the program runs on without it.

// Reads the program's command line; call once the main window and the
// devices are up.
void startRemoteControl();
// Closes the connection, sending what is queued as far as it goes at once.
void stopRemoteControl();
