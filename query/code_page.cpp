#include "query/code_page.h"

#include <windows.h>

#include "base/cp932_rules.h"

void UseSystemLeadBytes() {
  if (GetACP() == CP_UTF8) {
    UseUtf8Text();
    return;
  }
  CPINFO info = {};
  if (!GetCPInfo(CP_ACP, &info)) return;
  SetLeadByteRanges(info.LeadByte, sizeof info.LeadByte);
}
