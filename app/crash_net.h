// The crash net: an unhandled exception in any thread of Report ends in a
// rescued report, not a vanished process.
#pragma once

// Sets the net up: the rescue's threads, its file names and the filter. Call
// once on the main thread, before the investigation starts. Without its
// threads (the system refused them) the net stays down and says nothing.
void InstallCrashNet();

// Keeps stack in reserve on the calling thread, so that after a stack
// overflow the net still has room to act there. Each long-lived thread calls it.
void ReserveRescueStack();

// The section that is running (its header text as the table holds it), named
// by the rescue's line; nullptr between sections.
void SetRunningSection(const char* header);
