#pragma once
// Which statements choose the session's character set. The session repeats
// the last of them on every new connection it makes for the script, so text
// sent after an automatic reconnect is read in the character set the script
// chose instead of the server's default (where Cyrillic text would be stored
// as "?").

#include <string_view>

namespace mysql {

// True for SET NAMES ..., SET CHARACTER SET ... and SET CHARSET ..., also
// inside an executable comment ("/*!40101 SET NAMES cp1251 */").
bool ChoosesSessionCharset(std::string_view statement);

}  // namespace mysql
