#include "cli/string_table.h"
#include "text/text_inserts.h"

std::string StringText(int id) {
    for (size_t i = 0; i < STRING_TABLE_SIZE; ++i)
        if (STRING_TABLE[i].id == id) return STRING_TABLE[i].text;
    return {};
}

namespace {

// Each run of line breaks becomes one space.
std::string OneLine(const std::string& text) {
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

}  // namespace

std::string BoxLine(int textId, const std::string& insert, const std::string& second) {
    return OneLine(InsertIntoText(StringText(textId), insert, second));
}

std::string BoxLineWithPath(int textId, const std::string& path, const std::string& first,
                            const std::string& second) {
    return OneLine(InsertPathIntoText(StringText(textId), path, first, second));
}
