#include "platform/send_keys.h"
#include "property.h"
#include "sending/keystroke_line.h"

#include <cstdint>
#include <string>
#include <utility>

using namespace quillpost;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);

    // Any notation: read whole into keys every backend can type, or refused at a character that
    // is there.
    auto parsed = keyStrokes(input);
    if (!parsed) {
        FUZZ_CHECK(parsed.error().kind == ErrorKind::Notation);
        FUZZ_CHECK(parsed.error().position < size);
    } else {
        FUZZ_CHECK(checkStrokes(parsed.value()).ok());
    }

    // Any printable spool word and text: the notation shown and the strokes typed describe the
    // same text, one stroke a character. The word is what comes before the first line break, if
    // there is one.
    std::string spool = "note", text;
    bool inWord = input.find('\n') != std::string::npos;
    for (char c : input) {
        if (c == '\n' && std::exchange(inWord, false))
            spool = std::exchange(text, "");
        else if (c >= 32 && c <= 126)
            text += c;
    }
    const std::string shown = keystrokeLine(spool, text);
    auto typed = keyStrokes(shown);
    FUZZ_CHECK(typed.ok());
    FUZZ_CHECK(typed.value() == strokesOf(spool + " + " + text));
    // Read as a person reads the status box: a braced character is that character.
    std::string read;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const bool braced = shown[i] == '{' && i + 2 < shown.size() && shown[i + 2] == '}';
        read += shown[braced ? i + 1 : i];
        i += braced ? 2 : 0;
    }
    FUZZ_CHECK(read == spool + " += " + text);
    return 0;
}
