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

    // Any notation: read whole or refused at a character that is there.
    auto parsed = parseSendKeys(input);
    if (!parsed) {
        FUZZ_CHECK(parsed.error().kind == ErrorKind::Notation);
        FUZZ_CHECK(parsed.error().position < size);
    } else {
        for (const KeyStroke &k : parsed.value())
            FUZZ_CHECK(!k.isCharacter()
                || (k.character >= 32 && k.character <= 126 && (k.modifiers & kShift) == 0));
    }

    // Any printable spool word and text, escaped, are typed back exactly as written, one plain
    // key a character. The word is what comes before the first line break, if there is one.
    std::string spool = "note", text;
    bool inWord = input.find('\n') != std::string::npos;
    for (char c : input) {
        if (c == '\n' && std::exchange(inWord, false))
            spool = std::exchange(text, "");
        else if (c >= 32 && c <= 126)
            text += c;
    }
    auto typed = parseSendKeys(keystrokeLine(spool, text));
    FUZZ_CHECK(typed.ok());
    std::string arrived;
    for (const KeyStroke &k : typed.value()) {
        FUZZ_CHECK(k.isCharacter() && k.modifiers == 0);
        arrived += k.character;
    }
    FUZZ_CHECK(arrived == spool + " + " + text);
    return 0;
}
