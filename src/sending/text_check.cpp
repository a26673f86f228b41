#include "text_check.h"

#include "platform/send_keys.h"

namespace quillpost {

std::optional<BadByte> firstUntypable(std::string_view line)
{
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (!isPrintableAscii(line[i]))
            return BadByte { i + 1, static_cast<unsigned char>(line[i]) };
    }
    return std::nullopt;
}

std::string describeBadByte(int line, BadByte bad)
{
    return "line " + std::to_string(line) + ", column " + std::to_string(bad.column)
        + " holds a character that cannot be typed (code " + std::to_string(bad.byte) + ")";
}

Result<FileCheck> checkFileToSend(LineReader &reader)
{
    std::size_t total = 0;
    for (;;) {
        auto line = reader.next(kMaxNoteChars - total);
        if (!line)
            return line.error();
        if (!line.value())
            return FileCheck {};
        const std::string &text = *line.value();
        if (auto bad = firstUntypable(text))
            return FileCheck { FileCheck::Verdict::NotText, reader.linesRead(), *bad };
        total += text.size();
        if (total > kMaxNoteChars)
            return FileCheck { FileCheck::Verdict::TooLarge, reader.linesRead(), { 0, 0 } };
    }
}

} // namespace quillpost
