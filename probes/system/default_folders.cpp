#include "probes/system/default_folders.h"

#include <string>

#include "base/cp932_rules.h"
#include "log/report_log.h"
#include "probes/system/default_folder_rules.h"
#include "query/module_line_rules.h"
#include "query/platform.h"

void CheckDefaultFoldersWith(SHGetFolderPathAFn query) {
  if (query == nullptr) return;
  int total = 0;
  int failures = 0;
  for (const FolderRow* row = kFolderTable; row->name != nullptr; ++row) {
    if (!row->excluded) ++total;
    char path[MAX_PATH + 1] = {};
    const HRESULT result = query(nullptr, static_cast<int>(row->csidl), nullptr, 0, path);
    const std::string name = PaddedFolderName(row->name);
    if (result == S_OK) {
      path[MAX_PATH] = '\0';
      BlankControls(path);  // the user's shell-folder keys may hold any text
      WriteDetailLine("SHGetFolderPath 成功 %.*s result=%.*s \n", WholeCharsLength(name, 99), name.c_str(),
                      WholeCharsLength(path, 199), path);
    } else {
      WriteDetailLine("SHGetFolderPath 失敗 %x %.*s \n", static_cast<unsigned>(result), WholeCharsLength(name, 99),
                      name.c_str());
      if (!row->excluded) ++failures;
    }
  }
  WriteDetailLine("失敗数 SHGetFolderPath=%d / SHGetSpecialFolderPath=%d / Total=%d \n", failures, 0, total);
  WriteUserLine("%s", failures == 0 ? "●既定フォルダーの取得正常 \n" : "★既定フォルダーの取得一部異常 \n");
}

void CheckDefaultFolders() {
  CheckDefaultFoldersWith(GetLoadedProc<SHGetFolderPathAFn>("shell32.dll", "SHGetFolderPathA"));
}
