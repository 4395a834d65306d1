#include "probes/system/monitor_rules.h"

#include <cstdio>


int ScalePercent(int pixels, int extent) {
  // A monitor without width or height has no meaningful scale.
  if (extent <= 0) return 0;
  return static_cast<int>(static_cast<double>(pixels) / extent * 100 + 0.5);
}

int ScaleFromDpi(int dpi) { return static_cast<int>(dpi / 96.0 * 100 + 0.5); }

int DpiMagnification(int dpi) { return dpi * 100 / 96; }

DpiChoice ChooseDpiContext(std::uint32_t code) {
  if (code < 0x0A003AD7u) {
    return {-3,
            "高 DPI Type:SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE) (Win10 ～1607)\n"};
  }
  if (code < 0x0A004563u) {
    return {-4,
            "高 DPI Type:SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) (Win10 "
            "1703～1803)\n"};
  }
  return {-5,
          "高 DPI Type:SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_UNAWARE_GDISCALED) (Win10 1809～)\n"};
}

MonitorScaleSummary::MonitorScaleSummary(int dpiX, int dpiY)
    : dpiX_(dpiX), dpiY_(dpiY), mainX_(ScaleFromDpi(dpiX)), mainY_(ScaleFromDpi(dpiY)) {}

std::string MonitorScaleSummary::Add(int index, const MonitorRow& r) {
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  const int scaleX = ScalePercent(r.pixelWidth, width);
  const int scaleY = ScalePercent(r.pixelHeight, height);
  if (r.main) {
    mainX_ = scaleX;
    mainY_ = scaleY;
  }
  if (minX_ == 0 || minX_ > scaleX) minX_ = scaleX;
  if (minY_ == 0 || minY_ > scaleY) minY_ = scaleY;
  if (maxX_ < scaleX) maxX_ = scaleX;
  if (maxY_ < scaleY) maxY_ = scaleY;

  char text[512];
  std::snprintf(text, sizeof text, "%d%%/%d%%%s", scaleX, scaleY, r.main ? "*" : "");
  if (!list_.empty()) list_ += ", ";
  list_ += text;

  std::snprintf(text, sizeof text,
                "モニター %d:[%s] メインモニター:%d 仮想RECT:%5d,%5d,%5d,%5d[%5dx%5d] "
                "ディスプレイ設定RECT:%5d,%5d,%5d,%5d[%5dx%5d] 表示倍率:%d%%,%d%%\n",
                index, r.device.c_str(), r.main ? 1 : 0, r.left, r.top, r.right,
                r.bottom, width, height, r.displayX, r.displayY, r.displayX + r.pixelWidth, r.displayY + r.pixelHeight,
                r.pixelWidth, r.pixelHeight, scaleX, scaleY);
  return text;
}

void MonitorScaleSummary::Finish(int count) {
  allEqual_ = (minX_ == maxX_ && minY_ == maxY_);
  if (count <= 1) {
    minX_ = maxX_ = mainX_;
    minY_ = maxY_ = mainY_;
    allEqual_ = true;
  }
}

namespace {
const char* ModeText(bool dpiAware) { return dpiAware ? "高DPI対策:有" : "高DPI対策:無"; }
}  // namespace

std::string MonitorScaleSummary::SummaryText(bool dpiAware, int count) const {
  char text[512];
  std::snprintf(text, sizeof text,
                "モニター情報(%s) モニター数:[%d] dpi(x/y):[%ddpi/%ddpi] メイン表示倍率(x/y):[%d%%/%d%%] "
                "最小表示倍率(x/y):[%d%%/%d%%] 最大表示倍率(x/y):[%d%%/%d%%]",
                ModeText(dpiAware), count, dpiX_, dpiY_, mainX_, mainY_, minX_, minY_, maxX_, maxY_);
  return text;
}

std::string MonitorScaleSummary::VerdictText(bool dpiAware, int count) const {
  std::string mark = "*Main";
  if (!allEqual_) mark += " ※表示倍率不一致";
  return std::string("●モニター情報(") + ModeText(dpiAware) + ") モニター数:[" + std::to_string(count) +
         "] (x/y){" + list_ + "} " + mark + "\n";
}
