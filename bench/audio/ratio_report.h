#pragma once
// A console reporter that also keeps every run's time, so that a benchmark
// program can print ratios between runs of the same invocation.

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.run_type == Run::RT_Iteration && !r.error_occurred) {
        times_[r.benchmark_name()] = r.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Real time per iteration of the named run, in the run's time unit. The
  // name may leave out the suffixes Google Benchmark appends after a '/'
  // ("/iterations:3/manual_time") when only one run matches.
  std::optional<double> Time(const std::string& name) const {
    auto it = times_.find(name);
    if (it != times_.end()) return it->second;
    std::optional<double> found;
    for (auto i = times_.lower_bound(name + "/"); i != times_.end(); ++i) {
      if (i->first.compare(0, name.size() + 1, name + "/") != 0) break;
      if (found) return std::nullopt;  // ambiguous
      found = i->second;
    }
    return found;
  }

  // time(a) / time(b) when both ran.
  std::optional<double> Ratio(const std::string& a, const std::string& b) const {
    auto ta = Time(a), tb = Time(b);
    if (!ta || !tb || *tb <= 0) return std::nullopt;
    return *ta / *tb;
  }

 private:
  std::map<std::string, double> times_;
};
