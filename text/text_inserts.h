// Filling in a string-table text: its first "%d", "%s" or "%1" takes one insert, the next one
// a second; or its "%1" a path and its "%d" and "%s" two more. The window's boxes do it in
// UTF-16, the console program's in UTF-8.
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

// "%1" is the path, "%d" and "%s" (or the marks after the path) `first` and `second`. The path
// goes in last, so that a "%d" in a file name stays as it is.
template <class Char>
std::basic_string<Char> InsertPathIntoText(std::basic_string<Char> text,
                                           const std::basic_string<Char>& path,
                                           const std::basic_string<Char>& first,
                                           const std::basic_string<Char>& second) {
    static constexpr Char kPathMark[] = {'%', '1', 0};
    constexpr Char kHeld = 1;  // stands for the path meanwhile
    const size_t at = text.find(kPathMark);
    if (at != std::basic_string<Char>::npos) text.replace(at, 2, 1, kHeld);
    text = InsertIntoText(text, first, second);
    const size_t held = text.find(kHeld);
    if (held != std::basic_string<Char>::npos) text.replace(held, 1, path);
    return text;
}
