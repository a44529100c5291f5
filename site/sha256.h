// SHA-256 from the platform's own library: CNG (bcrypt) on Windows, nettle natively; the halves
// in site/win32 and site/posix.
#pragma once

#include <string>

// The digest of `bytes` as 64 lower-case hexadecimal digits, as PostgreSQL's
// encode(sha256(...), 'hex') and MariaDB's SHA2(..., 256) write it.
std::string Sha256Hex(const std::string& bytes);
