#pragma once
// Which local file a statement asks to upload. A server may ask for any file
// during a statement; the client sends one only when the statement it just
// sent is a LOAD DATA (or LOAD XML) LOCAL INFILE that names exactly that file,
// so a hostile server cannot read the user's files.

#include <cstddef>
#include <string_view>

namespace mysql {

// The size of the data packets of an upload (the last may be shorter).
inline constexpr std::size_t kLocalFileBlock = 0xF000;

// True when `statement` is LOAD DATA|XML [LOW_PRIORITY|CONCURRENT] LOCAL
// INFILE followed by a quoted name equal to `fileName`. The quoted name is
// compared as the server reads it, with and without backslash escapes (the
// server's NO_BACKSLASH_ESCAPES mode is not known to the client).
bool StatementNamesLocalFile(std::string_view statement, std::string_view fileName);

}  // namespace mysql
