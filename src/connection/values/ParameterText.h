// Filling %name% markers of a statement text with parameter values.
#pragma once

#include <string>
#include <string_view>

namespace connection {

// Replaces every "%" + name + "%" in the statement with the value text, left
// to right and without overlapping; the match is case-sensitive and the value
// is inserted as it stands (no quoting). An empty name replaces every "%%".
void ReplaceParameter(std::string& statement, std::string_view name, std::string_view value);

}  // namespace connection
