// Names for the soak's lists: Hangul syllables drawn from all 11172 (so the Johab conversion meets
// its whole table, the syllables that code page 949 adds to KS X 1001 included) with a few ASCII
// letters, at most 11 bytes. Each name is made in the two encodings the soak's oracle needs
// without the program's own conversion: Johab from the syllable's parts, code page 949 by iconv.
#pragma once

#include <map>
#include <random>
#include <string>

class NameBook {
public:
    // A new random name, in Johab (what the device holds); its code page 949 text is kept.
    std::string NewName(std::mt19937& random);
    // The code page 949 text of a name made here, as a list shows it.
    const std::string& Shown(const std::string& johab) const;

private:
    std::map<std::string, std::string> m_shown;
};

// A fixed text of the program (UTF-8 here) as the program shows it, in code page 949; and back,
// for a message.
std::string Cp949(const std::string& utf8);
std::string Utf8FromCp949(const std::string& cp949);
