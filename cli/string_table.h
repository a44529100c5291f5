// The texts of res/strings.rc for the console program, which has no Windows resources: the
// table is made from the resource script while building (cli/string_table.py), so that the
// script stays the one source of every text.
#pragma once

#include <cstddef>
#include <string>

struct StringEntry {
    int id;
    const char* text;  // UTF-8
};

extern const StringEntry STRING_TABLE[];
extern const size_t STRING_TABLE_SIZE;

// The text of a string-table id in UTF-8; empty for an id that the table lacks.
std::string StringText(int id);

// A box as one line of UTF-8: the inserts in place of "%d", "%s" or "%1", each run of line
// breaks one space.
std::string BoxLine(int textId, const std::string& insert = "", const std::string& second = "");

// The same for a text whose "%1" is a path and whose "%d" and "%s" take `first` and `second`.
std::string BoxLineWithPath(int textId, const std::string& path, const std::string& first = "",
                            const std::string& second = "");
