#include "mysql/uMysqlSessionCharset.h"

#include "mysql/uMysqlStatementScanner.h"

namespace mysql {

bool ChoosesSessionCharset(std::string_view statement) {
  TStatementScanner scanner(statement, true);
  if (scanner.Keyword() != "SET") return false;
  const std::string word = scanner.Keyword();
  if (word == "NAMES" || word == "CHARSET") return true;
  return word == "CHARACTER" && scanner.Keyword() == "SET";
}

}  // namespace mysql
