// The desktop/notebook verdict and the power-status estimate. Portable.
#pragma once

const char* TerminalVerdictLine(bool battery, bool anyWireless);

// Whether the power status suggests a battery: offline AC line, a battery flag
// of 8 or less, a known percentage or a known life time.
bool PowerStatusSuggestsBattery(unsigned acLine, unsigned batteryFlag, unsigned percent, unsigned long lifeTime,
                                unsigned long fullLifeTime);
