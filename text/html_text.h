// Text into HTML and SVG: names come from the device and from files, so anything may be in them.
#pragma once

#include <string>

// The text with &, <, >, " and ' as character references, so that it is safe in an element's
// content and in a quoted attribute alike. Bytes that are no UTF-8 and control characters other
// than tab and line ends become U+FFFD: the page stays well-formed and shows that something was
// there.
std::string EscapedHtml(const std::string& text);

// Appends the same to `out`, for writers that build a long page.
void AppendEscapedHtml(std::string& out, const std::string& text);
