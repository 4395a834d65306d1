// Chrome and Edge: the executable behind the registered open command, its
// version, its bitness, the profile walk and the verdict.
#pragma once

bool CheckChrome();
bool CheckEdge();

// The same procedure with the bitness decision given: wow64 is true when
// Report runs on 64-bit Windows.
bool CheckChromeOn(bool wow64);
bool CheckEdgeOn(bool wow64);
