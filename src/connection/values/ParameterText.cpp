#include "connection/values/ParameterText.h"

namespace connection {

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

}  // namespace connection
