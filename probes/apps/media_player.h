// The Windows Media Player section: the player's executable from its
// installation folder, its version and the language of its version resource.
#pragma once
#include <string>

void CheckWindowsMediaPlayer(const char* upper, const char* lower, const char* languages);
// The full path of wmplayer.exe (or mplayer2.exe); false with a trace line.
bool checkPlayerPath(std::string& path);
