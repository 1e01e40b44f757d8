// app.h: the whole program: start-up, the frame loop until the window closes, shutdown.
#pragma once

// Returns the process exit status: 0 after the window closed, 1 when no window or GL context
// could be had (a line beginning with "ERROR::" has then been printed). The one argument the
// program reads is `--replay FILE`, which watches a recorded game instead of playing; a replay
// that cannot be read or does not fit this build ends with one line and status 1.
int RunVelloran(int argc, char** argv);
