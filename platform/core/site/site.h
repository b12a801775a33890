// Site settings fixed at build time: the company directory server and the
// database account. Plain C++.
#pragma once

#include <string>
#include <string_view>

namespace site {

std::string directoryHost();   // WPV_DIRECTORY_HOST
int directoryPort();           // WPV_DIRECTORY_PORT, 5432 unless set otherwise
std::string databaseUser();    // "vek"
std::string databasePassword();  // unscrambled from WPV_DB_PASSWORD_SCRAMBLED

// The reverse of scripts/scramble-password (hex text in, clear bytes out);
// "" when the text is not well-formed.
std::string unscramble(std::string_view hex);

}  // namespace site
