#include "bench/Figures.h"

#include <algorithm>
#include <cstdio>

namespace bench {

namespace {

template <typename T>
T MiddleValue(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? T{} : values[values.size() / 2];
}

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

Median MedianOf(const std::vector<ChildFigures>& runs) {
  Median median;
  if (runs.empty()) return median;
  std::vector<ChildFigures> byCpu = runs;
  std::sort(byCpu.begin(), byCpu.end(), [](const ChildFigures& a, const ChildFigures& b) {
    return a.CpuSeconds() < b.CpuSeconds();
  });
  const ChildFigures& middle = byCpu[byCpu.size() / 2];
  median.User = middle.UserSeconds;
  median.System = middle.SystemSeconds;
  median.Cpu = middle.CpuSeconds();
  std::vector<double> walls;
  std::vector<double> timed;
  std::vector<std::int64_t> peaks;
  for (const ChildFigures& run : runs) {
    walls.push_back(run.WallSeconds);
    timed.push_back(run.TimedSeconds);
    peaks.push_back(run.PeakKb);
  }
  median.Wall = MiddleValue(walls);
  median.Timed = MiddleValue(timed);
  median.PeakKb = MiddleValue(peaks);
  return median;
}

std::string SecondsText(double seconds) {
  return Format(seconds < 10 ? "%.2f s" : "%.1f s", seconds);
}

std::string CpuText(const Median& median) {
  return SecondsText(median.Cpu) + Format(" (%.2f user", median.User) +
         Format(" + %.2f system)", median.System);
}

std::string MegabytesText(std::int64_t kb) {
  const double mb = static_cast<double>(kb) / 1024.0;
  return Format(mb < 10 ? "%.1f MB" : "%.0f MB", mb);
}

std::string RatioText(double ratio) {
  return Format(ratio < 10 ? "%.2f×" : "%.0f×", ratio);
}

std::string MicrosecondsText(double seconds) {
  const double micro = seconds * 1e6;
  return Format(micro < 10 ? "%.2f µs" : "%.0f µs", micro);
}

std::string CountText(double count) {
  if (count < 0) return "not counted";
  return Format(count < 10 ? "%.2f" : "%.0f", count);
}

std::string GroupedText(std::uint64_t number) {
  const std::string digits = std::to_string(number);
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped.push_back(',');
    grouped.push_back(digits[i]);
  }
  return grouped;
}

}  // namespace bench
