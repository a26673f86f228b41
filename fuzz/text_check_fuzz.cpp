#include "platform/line_reader.h"
#include "property.h"
#include "sending/text_check.h"

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

using namespace quillpost;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string file(reinterpret_cast<const char *>(data), size);
    LineReader all(std::make_unique<std::istringstream>(file), "fuzz");
    std::vector<std::string> lines;
    std::size_t total = 0;
    bool printable = true;
    while (auto line = all.next().value()) {
        total += line->size();
        printable = printable && !firstUntypable(*line);
        lines.push_back(*line);
    }

    LineReader reader(std::make_unique<std::istringstream>(file), "fuzz");
    auto checked = checkFileToSend(reader);
    FUZZ_CHECK(checked.ok());
    const FileCheck &c = checked.value();
    // A file fits exactly when it is printable and holds at most 4096 characters of line text.
    FUZZ_CHECK((c.verdict == FileCheck::Verdict::Fits) == (printable && total <= kMaxNoteChars));
    if (c.verdict == FileCheck::Verdict::NotText) {
        // The byte named is there and cannot be typed, and it is the first such byte.
        FUZZ_CHECK(c.line >= 1 && static_cast<std::size_t>(c.line) <= lines.size());
        const std::string &line = lines[static_cast<std::size_t>(c.line) - 1];
        FUZZ_CHECK(c.bad.column >= 1 && c.bad.column <= line.size());
        FUZZ_CHECK(static_cast<unsigned char>(line[c.bad.column - 1]) == c.bad.byte);
        FUZZ_CHECK(c.bad.byte < 32 || c.bad.byte > 126);
        for (int i = 0; i + 1 < c.line; ++i)
            FUZZ_CHECK(!firstUntypable(lines[static_cast<std::size_t>(i)]));
    }
    if (c.verdict == FileCheck::Verdict::TooLarge)
        FUZZ_CHECK(total > kMaxNoteChars);
    return 0;
}
