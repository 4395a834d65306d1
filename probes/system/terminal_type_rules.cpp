#include "probes/system/terminal_type_rules.h"

const char* TerminalVerdictLine(bool battery, bool anyWireless) {
  if (battery && anyWireless) return "●checkType: It is Note. ノート/タブレット \n";
  if (battery) return "●checkType: It is Note or Desktop. ノート/タブレットと推測 \n";
  if (anyWireless) return "●checkType: It is Desktop or Note. デスクトップと推測 \n";
  return "●checkType: It is Desktop. デスクトップ \n";
}

bool PowerStatusSuggestsBattery(unsigned acLine, unsigned batteryFlag, unsigned percent, unsigned long lifeTime,
                                unsigned long fullLifeTime) {
  return acLine == 0 || batteryFlag <= 8 || percent <= 100 || lifeTime != 0xFFFFFFFFul ||
         fullLifeTime != 0xFFFFFFFFul;
}
