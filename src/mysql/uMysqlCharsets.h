#pragma once
// The character sets a connection can be given by name: which names are
// safe to put into a statement, and which the handshake can carry as the
// number of their default collation.

#include <cstdint>
#include <optional>
#include <string_view>

namespace mysql {

// The longest character set name a server has.
inline constexpr std::size_t kMaxCharsetNameLength = 32;

// Letters, digits and '_' only, at most kMaxCharsetNameLength of them (empty
// counts as well formed): such a name can stand in SET NAMES unquoted and
// never end the statement early.
bool IsWellFormedCharsetName(std::string_view name);

// Whether `name`, in any letter case, is the character set whose lower-case
// name is `known`.
bool IsCharsetNamed(std::string_view name, std::string_view known);

// The number the handshake gives the character set `name` (any letter case)
// on a server of `serverVersion`, or none when the name has no number every
// such server knows (it is then chosen with SET NAMES, which a server that
// does not know it refuses). Character sets that cannot be a client's
// (ucs2, utf16, utf32) have none, so the server refuses them rather than
// falling back to its default in silence.
std::optional<std::uint8_t> HandshakeCharsetNumber(std::string_view name,
                                                   std::string_view serverVersion);

// The character set of a collation number, for those the session must know
// by name (see LayoutOfCharset); empty for every other number.
std::string_view CharsetOfCollation(std::uint32_t number);

}  // namespace mysql
