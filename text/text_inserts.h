// Filling in a string-table text: its first "%d", "%s" or "%1" takes one insert, the next one
// a second. The window's boxes do it in UTF-16, the console program's in UTF-8.
#pragma once

#include <algorithm>
#include <string>

template <class Char>
std::basic_string<Char> InsertIntoText(std::basic_string<Char> text,
                                       const std::basic_string<Char>& insert,
                                       const std::basic_string<Char>& second) {
    static constexpr Char kMarks[][3] = {{'%', 'd', 0}, {'%', 's', 0}, {'%', '1', 0}};
    size_t from = 0;
    for (const std::basic_string<Char>* piece : {&insert, &second}) {
        size_t at = std::basic_string<Char>::npos;
        for (const Char* mark : kMarks) at = std::min(at, text.find(mark, from));
        if (at == std::basic_string<Char>::npos) break;
        text.replace(at, 2, *piece);
        from = at + piece->size();
    }
    return text;
}
