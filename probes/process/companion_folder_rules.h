// The name of a companion folder in the temporary folder. Portable.
#pragma once

// "Modlist6-<pid hex>-<hex>", as Report names the folder it extracts the
// companion into: true with the process id of the run that made it. The
// prefix is compared without regard to case, as Windows names compare.
bool ParseCompanionFolderName(const char* name, unsigned long* pid);
