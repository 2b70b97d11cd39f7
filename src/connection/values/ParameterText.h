// Filling %name% markers of a statement text with parameter values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace connection {

// Replaces every "%" + name + "%" in the statement with the value text, left
// to right and without overlapping; the match is case-sensitive and the value
// is inserted as it stands (no quoting). An empty name replaces every "%%".
void ReplaceParameter(std::string& statement, std::string_view name, std::string_view value);

struct TParameter {
  std::string Name;
  std::string Value;
};

// ReplaceParameter with each parameter in turn, each on the text as the
// earlier ones left it (so a value may even hold a later parameter's
// marker), in time about linear in the statement's size: where no name and
// no value holds a "%", the markers are found in one pass over the text.
// Throws std::bad_alloc when the result does not fit in memory.
[[nodiscard]] std::string FillParameters(std::string statement,
                                         const std::vector<TParameter>& parameters);

}  // namespace connection
