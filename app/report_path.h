// The file name the save dialog offers.
#pragma once
#include <string>

// The name "save... 保存" suggests: the documents folder, "\" and the end date
// as "%04d%02d%02d.txt"; the bare name when that folder does not exist (it is
// never created) or the whole does not fit in 260 bytes.
std::string SuggestedReportPath();
