// Display scale arithmetic and the monitor section's texts. Portable.
#pragma once
#include <cstdint>
#include <string>

// Percent of pixels over extent, rounded; 0 for an extent of 0 or less.
int ScalePercent(int pixels, int extent);
// The scale a DPI stands for (96 = 100 %), rounded.
int ScaleFromDpi(int dpi);
// The truncated magnification of the Analysis dpi line.
int DpiMagnification(int dpi);

struct DpiChoice {
  long context;      // DPI_AWARENESS_CONTEXT value: -3, -4 or -5
  const char* line;  // the Support line that names it
};
DpiChoice ChooseDpiContext(std::uint32_t osVersionCode);

struct MonitorRow {
  int left, top, right, bottom;
  int displayX, displayY, pixelWidth, pixelHeight;
  bool main;
  std::string device;
};

// Collects the per-monitor scales and gives the summary and verdict texts.
class MonitorScaleSummary {
 public:
  MonitorScaleSummary(int dpiX, int dpiY);
  // Adds one monitor and gives its line (index from 0).
  std::string Add(int index, const MonitorRow& row);
  // Settles the summary for the counted number of monitors.
  void Finish(int count);
  std::string SummaryText(bool dpiAware, int count) const;  // no line end
  std::string VerdictText(bool dpiAware, int count) const;
  int mainX() const { return mainX_; }
  int mainY() const { return mainY_; }
  bool allEqual() const { return allEqual_; }

 private:
  int dpiX_, dpiY_;
  int mainX_, mainY_;
  int minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0;
  std::string list_;
  bool allEqual_ = true;
};
