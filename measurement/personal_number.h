// An operator's identifier ("고유번호", ID1 and ID2) is a personal number on many sites: views
// that are printed or shared (the audit report, the site's rows of every PC) show ID2 with all
// but its first character hidden unless the operator asks for the full numbers.
#pragma once

#include <string>

// "1234567" as "1******": every character after the first made '*' (UTF-8 characters, not
// bytes); "" stays "".
std::string MaskedPersonalNumber(const std::string& utf8);
