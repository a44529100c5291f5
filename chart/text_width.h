// How wide a label comes out, estimated without a font: the chart lays out its labels before any
// painter measures them. Hangul and other wide characters take the font's size, the rest a little
// over half of it, which errs on the wide side for the proportional fonts the painters use.
#pragma once

#include <string>

int TextWidthPx(const std::string& utf8, int fontPx);
