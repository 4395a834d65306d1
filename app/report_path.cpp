#include "app/report_path.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "log/report_log.h"
#include "query/platform.h"

std::string SuggestedReportPath() {
  char name[32];
  std::snprintf(name, sizeof name, "%04d%02d%02d.txt", InvestigationEndTime.wYear, InvestigationEndTime.wMonth,
                InvestigationEndTime.wDay);
  const std::string folder = ExistingSpecialFolder(CSIDL_PERSONAL);
  if (folder.empty() || folder.size() + 1 + std::strlen(name) >= MAX_PATH) return name;
  return folder + "\\" + name;
}
