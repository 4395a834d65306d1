// Companion folders that a run which died left in the temporary folder.
#pragma once

// Removes each "Modlist6-<pid>-*" folder of the temporary folder whose run no
// longer exists and that is plainly Report's own: open to its owner only, and
// holding nothing but Modlist6.exe. Anything else there is left alone.
void RemoveDeadCompanionFolders();
