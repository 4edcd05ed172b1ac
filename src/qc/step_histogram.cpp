#include "qc/step_histogram.hpp"

namespace kapolex {

StepHistogram::StepHistogram(std::size_t capacity) : capacity_(capacity) {
  entries_.reserve(capacity);
}

std::size_t StepHistogram::addOther(std::int64_t step, std::int64_t from, std::int64_t count) {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].step == step) {
      entries_[i].count += count;
      last_ = i;
      return i;
    }
  }
  if (entries_.size() == capacity_) return full;
  entries_.push_back({step, count, from, 0});
  last_ = entries_.size() - 1;
  return last_;
}

std::int64_t StepHistogram::mode() const {
  const StepEntry* best = nullptr;
  for (const StepEntry& e : entries_) {
    if (best == nullptr || moreCommon(e, *best)) best = &e;
  }
  return best == nullptr ? 0 : best->step;
}

std::int64_t missingEpochs(std::int64_t step, std::int64_t nominal) {
  if (nominal <= 0 || step <= nominal) return 0;
  const std::int64_t whole = step / nominal;
  const std::int64_t rest = step % nominal;
  // rest < nominal, so twice it cannot overflow.
  const bool beyondHalf = 2 * rest > nominal;
  if (whole == 1 && !beyondHalf) return 0;
  const std::int64_t rounded = whole + (2 * rest >= nominal ? 1 : 0);
  return rounded - 1;
}

bool endsArc(std::int64_t step, std::int64_t nominal) {
  return step < 0 || missingEpochs(step, nominal) >= 2;
}

}  // namespace kapolex
