#include "cli/string_table.h"
#include "text/text_inserts.h"

std::string StringText(int id) {
    for (size_t i = 0; i < STRING_TABLE_SIZE; ++i)
        if (STRING_TABLE[i].id == id) return STRING_TABLE[i].text;
    return {};
}

std::string BoxLine(int textId, const std::string& insert, const std::string& second) {
    const std::string text = InsertIntoText(StringText(textId), insert, second);
    std::string line;
    for (char c : text) {
        const bool lineBreak = c == '\n' || c == '\r';
        if (!lineBreak)
            line += c;
        else if (line.empty() || line.back() != ' ')
            line += ' ';
    }
    return line;
}
