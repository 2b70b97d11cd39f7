// Reading the numeric parts of a server's version text.
#pragma once

#include <string_view>

namespace connection {

// Compares the leading dot-separated numbers of two version texts ("10.11.6-
// MariaDB" reads as 10, 11, 6; missing parts count as 0). Negative, zero or
// positive as a is below, equal to or above b.
int CompareVersions(std::string_view a, std::string_view b);

// Whether the text starts with a number, that is, names a version at all.
bool HasVersionNumber(std::string_view version);

}  // namespace connection
