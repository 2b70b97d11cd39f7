#pragma once
// Bytes a LOAD DATA LOCAL INFILE statement uploads from memory in place of a
// file. The statement names the upload by Name; the bytes go out only when
// the server asks for exactly the file the statement names and that name is
// Name, so the rule for local files holds unchanged: nothing is sent for a
// name the statement did not give.

#include <cstdint>
#include <span>
#include <string_view>

namespace mysql {

struct TMemoryUpload {
  std::string_view Name;
  std::span<const std::uint8_t> Data;
};

}  // namespace mysql
