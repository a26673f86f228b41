#include "platform/line_reader.h"
#include "property.h"

#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

using namespace quillpost;

namespace {

LineReader over(const std::string &bytes)
{
    return LineReader(std::make_unique<std::istringstream>(bytes), "fuzz");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string file(reinterpret_cast<const char *>(data), size);

    // The lines, each followed by the break it ended at, give the file back: every break is
    // CR LF, LF or a CR not followed by LF, only the last line may lack one, and nothing else
    // is lost but a byte order mark at the very start.
    LineReader reader = over(file);
    std::string_view rest(file);
    if (rest.starts_with("\xEF\xBB\xBF"))
        rest.remove_prefix(3);
    int lines = 0;
    for (;;) {
        auto line = reader.next();
        FUZZ_CHECK(line.ok());
        if (!line.value())
            break;
        ++lines;
        const std::string &text = *line.value();
        FUZZ_CHECK(text.find_first_of("\r\n") == std::string::npos);
        FUZZ_CHECK(rest.starts_with(text));
        rest.remove_prefix(text.size());
        if (rest.starts_with("\r\n"))
            rest.remove_prefix(2);
        else if (rest.starts_with("\n") || rest.starts_with("\r"))
            rest.remove_prefix(1);
        else
            FUZZ_CHECK(rest.empty());
    }
    FUZZ_CHECK(rest.empty());
    FUZZ_CHECK(reader.linesRead() == lines);

    // With a limit, a line comes back whole or as its first limit + 1 characters.
    const std::size_t limit = size > 0 ? data[0] % 64 : 0;
    LineReader whole = over(file), limited = over(file);
    for (;;) {
        auto a = whole.next();
        auto b = limited.next(limit);
        FUZZ_CHECK(a.ok() && b.ok() && a.value().has_value() == b.value().has_value());
        if (!a.value())
            break;
        FUZZ_CHECK(*b.value() == a.value()->substr(0, limit + 1));
        if (a.value()->size() > limit)
            break; // the limited reader is mid-line now
    }
    return 0;
}
