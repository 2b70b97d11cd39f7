#include "connection/values/ParameterText.h"

#include <algorithm>
#include <optional>
#include <set>
#include <unordered_map>

namespace connection {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

bool HoldsPercent(std::string_view text) {
  return text.find('%') != std::string_view::npos;
}

// The markers of a text whose values bring no "%" of their own. Then every
// match of "%name%" is a pair of neighbouring "%" of the current text with
// the name between them, and the current text's "%" are the original ones
// that no earlier replacement took. Each "%" knows its neighbours and the
// text up to the next one (the gap: original text and the values put into
// it); gaps no longer than the longest name are indexed by their text, so
// each parameter goes straight to its matches.
class TMarkerFiller {
 public:
  TMarkerFiller(const std::string& statement, std::size_t longestName)
      : statement_(statement), longest_(longestName) {
    for (std::size_t at = statement.find('%'); at != std::string::npos;
         at = statement.find('%', at + 1))
      signs_.push_back(at);
    const std::size_t count = signs_.size();
    next_.resize(count);
    prev_.resize(count);
    gaps_.resize(count);
    replacedTo_.assign(count, kNone);
    values_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      prev_[i] = i == 0 ? kNone : i - 1;
      next_[i] = i + 1 < count ? i + 1 : kNone;
      if (next_[i] == kNone) continue;
      const std::size_t length = signs_[i + 1] - signs_[i] - 1;
      if (length <= longest_) SetGap(i, statement.substr(signs_[i] + 1, length));
    }
  }

  // Every match of the parameter's marker, left to right, in the text as
  // the earlier parameters left it.
  void Fill(const TParameter& parameter) {
    const auto found = index_.find(parameter.Name);
    if (found == index_.end()) return;
    std::set<std::size_t>& starts = found->second;
    std::size_t from = 0;
    for (auto at = starts.lower_bound(from); at != starts.end(); at = starts.lower_bound(from)) {
      const std::size_t left = *at;
      const std::size_t right = next_[left];
      starts.erase(at);
      gaps_[left].reset();
      from = Replace(left, right, parameter.Value);
      if (from == kNone) break;
    }
  }

  std::string Result() const {
    std::string out;
    std::size_t copied = 0;
    for (std::size_t i = 0; i < signs_.size(); ++i) {
      // The first start met is the outermost replacement; the signs inside
      // it are gone with it.
      if (replacedTo_[i] == kNone || signs_[i] < copied) continue;
      out.append(statement_, copied, signs_[i] - copied);
      out.append(*values_[i]);
      copied = signs_[replacedTo_[i]] + 1;
    }
    out.append(statement_, copied);
    return out;
  }

 private:
  // Replaces the marker between the signs `left` and `right`: both go, and
  // the gap before `left` now runs over the value to the sign after `right`.
  // The sign after `right` is where the parameter's next match may start.
  std::size_t Replace(std::size_t left, std::size_t right, const std::string& value) {
    replacedTo_[left] = right;
    values_[left] = &value;
    const std::size_t before = prev_[left];
    const std::size_t after = next_[right];
    const std::optional<std::string> rightGap = gaps_[right];
    ClearGap(right);
    if (after != kNone) prev_[after] = before;
    if (before != kNone) {
      next_[before] = after;
      std::optional<std::string> merged;
      if (gaps_[before] && after != kNone && rightGap &&
          gaps_[before]->size() + value.size() + rightGap->size() <= longest_)
        merged = *gaps_[before] + value + *rightGap;
      ClearGap(before);
      if (merged) SetGap(before, std::move(*merged));
    }
    return after;
  }

  void SetGap(std::size_t sign, std::string gap) {
    index_[gap].insert(sign);
    gaps_[sign] = std::move(gap);
  }

  void ClearGap(std::size_t sign) {
    if (!gaps_[sign]) return;
    const auto found = index_.find(*gaps_[sign]);
    if (found != index_.end()) found->second.erase(sign);
    gaps_[sign].reset();
  }

  const std::string& statement_;
  std::size_t longest_;
  std::vector<std::size_t> signs_;  // where each "%" of the statement stands
  std::vector<std::size_t> next_;
  std::vector<std::size_t> prev_;
  // The text up to the next sign, when no longer than the longest name.
  std::vector<std::optional<std::string>> gaps_;
  std::unordered_map<std::string, std::set<std::size_t>> index_;
  // For a sign that began a replaced marker: the sign that ended it, and the value.
  std::vector<std::size_t> replacedTo_;
  std::vector<const std::string*> values_;
};

}  // namespace

void ReplaceParameter(std::string& statement, std::string_view name, std::string_view value) {
  std::string marker(1, '%');
  marker.append(name).push_back('%');
  std::string result;
  std::size_t from = 0;
  for (std::size_t at = statement.find(marker); at != std::string::npos;
       at = statement.find(marker, from)) {
    result.append(statement, from, at - from);
    result.append(value);
    from = at + marker.size();
  }
  if (from == 0) return;
  result.append(statement, from);
  statement = std::move(result);
}

std::string FillParameters(std::string statement, const std::vector<TParameter>& parameters) {
  if (parameters.empty() || !HoldsPercent(statement)) return statement;
  const bool plain = std::none_of(parameters.begin(), parameters.end(), [](const TParameter& p) {
    return HoldsPercent(p.Name) || HoldsPercent(p.Value);
  });
  if (!plain) {
    // A value that brings its own "%" can make markers no pass over the
    // original text sees: each parameter in turn, on the whole text.
    for (const TParameter& parameter : parameters)
      ReplaceParameter(statement, parameter.Name, parameter.Value);
    return statement;
  }
  std::size_t longest = 0;
  for (const TParameter& parameter : parameters) longest = std::max(longest, parameter.Name.size());
  TMarkerFiller filler(statement, longest);
  for (const TParameter& parameter : parameters) filler.Fill(parameter);
  return filler.Result();
}

}  // namespace connection
