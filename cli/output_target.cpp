#include "cli/output_target.h"

#include <string>

#include "cli/console.h"
#include "text/code_page.h"
#include "text/utf8.h"

namespace {

bool g_utf8 = false;

// Every write is whole lines, so that a character is never split between two conversions.
class ChosenOutput : public OutputFile {
public:
    explicit ChosenOutput(bool utf8) : m_utf8(utf8) {}

    FileError Create(const std::string& path) override {
        if (path == STANDARD_OUTPUT_PATH) return FileError::None;
        m_file = MakeOutputFile();
        if (const FileError error = m_file->Create(path); error != FileError::None) return error;
        return m_utf8 ? m_file->Write(UTF8_BOM, sizeof UTF8_BOM - 1) : FileError::None;
    }

    FileError Write(const char* bytes, size_t length) override {
        const std::string text(bytes, length);
        if (!m_file)
            return WriteText(Stream::Out, Utf8(text)) ? FileError::None : FileError::Unknown;
        if (!m_utf8) return m_file->Write(bytes, length);
        const std::string converted = Utf8(text);
        return m_file->Write(converted.data(), converted.size());
    }

    void Close() override {
        if (m_file) m_file->Close();
    }

private:
    static std::string Utf8(const std::string& text) {
        return ConvertText(text, CP_KOREAN, CP_UTF8_TEXT);
    }

    bool m_utf8;
    std::unique_ptr<OutputFile> m_file;  // none for standard output
};

}  // namespace

void ChooseOutput(bool utf8) { g_utf8 = utf8; }

std::unique_ptr<OutputFile> MakeChosenOutput() { return std::make_unique<ChosenOutput>(g_utf8); }
