// app.h: the whole program: start-up, the frame loop until the window closes, shutdown.
#pragma once

// Returns the process exit status: 0 after the window closed, 1 when no window or GL context
// could be had (a line beginning with "ERROR::" has then been printed).
int RunVelloran();
