// The signal-monitor thread: whenever the board raises its cancel signal, it
// ends the frame wait in progress.
#pragma once

void MonitorLoop();

// Starts the thread above normal priority.
void StartMonitor();
// Stops it and returns once it has ended; nothing to do when none runs.
void StopMonitor();
