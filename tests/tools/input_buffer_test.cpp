#include "fake_byte_source.h"

#include "noteserver/input_buffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillpost::noteserver::test {
namespace {

struct Line
{
    std::string text;
    bool tooLong = false;
    bool operator==(const Line &) const = default;
};

void PrintTo(const Line &line, std::ostream *os)
{
    *os << testing::PrintToString(line.text) << (line.tooLong ? " (too long)" : "");
}

std::vector<Line> allLines(InputBuffer &buffer)
{
    std::vector<Line> lines;
    while (auto line = buffer.takeLine())
        lines.push_back({ line->text, line->tooLong });
    return lines;
}

const std::string k254(254, 'a');

struct Assembly
{
    std::string name;
    std::string bytes; // all read in one go, before any line is taken
    std::vector<Line> lines;
};

void PrintTo(const Assembly &a, std::ostream *os)
{
    *os << a.name;
}

class LineAssembly : public testing::TestWithParam<Assembly>
{
};

TEST_P(LineAssembly, KeepsWhatRomKeeps)
{
    FakeByteSource source;
    source.arrive(GetParam().bytes);
    InputBuffer buffer;
    ASSERT_EQ(buffer.fillFrom(source).status, FillStatus::Ok);
    EXPECT_EQ(allLines(buffer), GetParam().lines);
    EXPECT_EQ(buffer.size(), 0u) << "bytes left behind";
}

INSTANTIATE_TEST_SUITE_P(InputBuffer, LineAssembly,
    testing::Values(Assembly { "CrLf", "note + a\r\n", { { "note + a" } } },
        Assembly { "EachLineEndVariant", "a\nb\rc\r\nd\n\re\r",
            { { "a" }, { "b" }, { "c" }, { "d" }, { "e" } } },
        Assembly { "NulEndsALine", std::string("a\0b\n", 4), { { "a" }, { "b" } } },
        // ROM skips every line end in a row, so empty lines read together vanish.
        Assembly { "EmptyLinesReadTogether", "a\r\n\r\n\n\nb\n", { { "a" }, { "b" } } },
        Assembly { "LoneEmptyLineIsABlank", "\n", { { " " } } },
        Assembly { "BackspaceDeletes", "ab\bc\bd\n", { { "ad" } } },
        Assembly { "BackspaceAtStartDoesNothing", "\b\bx\n", { { "x" } } },
        Assembly { "NonPrintableBytesVanish",
            "a\tb\x01\x7f\x80\xe9\xff"
            "c d\n",
            { { "abc d" } } },
        Assembly { "OnlyNonPrintableIsABlank", "\t\x80\n", { { " " } } },
        Assembly { "Exactly254Kept", k254 + "\n", { { k254 } } },
        Assembly { "The255thCharacterIsCut", k254 + "bc\n", { { k254, true } } },
        // The limit is checked before the byte is looked at.
        Assembly { "DroppedByteAfter254StillTooLong", k254 + "\t\n", { { k254, true } } },
        Assembly { "BackspaceAfter254StillTooLong", k254 + "\b\n", { { k254, true } } },
        Assembly { "DroppedByteAfter253Fits", k254.substr(1) + "\t\n", { { k254.substr(1) } } },
        Assembly { "BackspacesKeepALongRawLineShort",
            std::string(250, 'a') + "\b" + std::string(5, 'b') + "\n",
            { { std::string(249, 'a') + "bbbbb" } } },
        // ROM cuts its buffer after the long line, losing the lines already read behind it.
        Assembly { "LinesBehindATooLongLineAreLost", k254 + "cut\r\nnote + next\r\nmore\n",
            { { k254, true } } }),
    [](const auto &info) { return info.param.name; });

TEST(InputBuffer, WaitsForTheLineEnd)
{
    FakeByteSource source;
    InputBuffer buffer;
    source.arrive("note + hal");
    ASSERT_EQ(buffer.fillFrom(source).status, FillStatus::Ok);
    EXPECT_FALSE(buffer.takeLine());
    source.arrive("f\r");
    ASSERT_EQ(buffer.fillFrom(source).status, FillStatus::Ok);
    EXPECT_EQ(allLines(buffer), std::vector<Line> { { "note + half" } });
}

TEST(InputBuffer, CrAndLfInSeparateReadsMakeAnEmptyCommand)
{
    FakeByteSource source;
    InputBuffer buffer;
    source.arrive("a\r");
    ASSERT_EQ(buffer.fillFrom(source).status, FillStatus::Ok);
    EXPECT_EQ(allLines(buffer), std::vector<Line> { { "a" } });
    source.arrive("\nb\r");
    ASSERT_EQ(buffer.fillFrom(source).status, FillStatus::Ok);
    EXPECT_EQ(allLines(buffer), (std::vector<Line> { { " " }, { "b" } }));
}

TEST(InputBuffer, StopsReadingAtAReadThatEndsALine)
{
    FakeByteSource source(3);
    InputBuffer buffer;
    source.arrive("abcd\nxy\n");
    ASSERT_EQ(buffer.fillFrom(source).status, FillStatus::Ok);
    // Reads "abc", "d\nx" and "y\n": the second ends mid-line, so reading goes on.
    EXPECT_EQ(source.unread(), "");
    source.arrive("ab\ncd\n");
    ASSERT_EQ(buffer.fillFrom(source).status, FillStatus::Ok);
    EXPECT_EQ(source.unread(), "cd\n");
}

std::string linesOfSize(std::size_t total, char end = '\n')
{
    std::string out;
    while (out.size() + 20 < total)
        out += std::string(19, 'x') + end;
    out += std::string(total - out.size() - 1, 'y') + end;
    return out;
}

struct Limit
{
    std::string name;
    std::string bytes;
    FillStatus status;
};

void PrintTo(const Limit &l, std::ostream *os)
{
    *os << l.name;
}

class UnreadLimit : public testing::TestWithParam<Limit>
{
};

TEST_P(UnreadLimit, HoldsAtMost1014Bytes)
{
    FakeByteSource source;
    source.arrive(GetParam().bytes);
    InputBuffer buffer;
    EXPECT_EQ(buffer.fillFrom(source).status, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(InputBuffer, UnreadLimit,
    testing::Values(Limit { "FullEndingOnALineEnd", linesOfSize(1014), FillStatus::Ok },
        Limit { "OneByteMoreCutsALine", linesOfSize(1015), FillStatus::Full },
        Limit { "NoLineEndAtAll", std::string(1014, 'z'), FillStatus::Full },
        Limit { "OneByteShortWithoutLineEnd", std::string(1013, 'z'), FillStatus::Ok },
        // The 1014th byte is the CR, so that read ends a line; the LF waits in the socket.
        Limit { "CrLfSplitAtTheLimit", linesOfSize(1014, '\r') + "\n", FillStatus::Ok }),
    [](const auto &info) { return info.param.name; });

TEST(InputBuffer, MoreInputWhileFullIsAnOverflow)
{
    FakeByteSource source;
    InputBuffer buffer;
    source.arrive(linesOfSize(1014));
    ASSERT_EQ(buffer.fillFrom(source).status, FillStatus::Ok);
    source.arrive("x\n");
    EXPECT_EQ(buffer.fillFrom(source).status, FillStatus::Overflow);

    InputBuffer roomy;
    FakeByteSource other;
    other.arrive(linesOfSize(1013));
    ASSERT_EQ(roomy.fillFrom(other).status, FillStatus::Ok);
    other.arrive("x\n");
    EXPECT_EQ(roomy.fillFrom(other).status, FillStatus::Full);
}

TEST(InputBuffer, ReportsHangUpAndFailure)
{
    FakeByteSource source;
    source.hangUp();
    InputBuffer buffer;
    EXPECT_EQ(buffer.fillFrom(source).status, FillStatus::Eof);

    struct Failing : ByteSource
    {
        ReadResult read(std::span<char>) override
        {
            return { ReadKind::Error, 0, "Connection reset by peer" };
        }
    } failing;
    const FillResult result = buffer.fillFrom(failing);
    EXPECT_EQ(result.status, FillStatus::Error);
    EXPECT_EQ(result.error, "Connection reset by peer");
}

} // namespace
} // namespace quillpost::noteserver::test
