// What the note server does beyond what Quillpost's own preflight predicts of it: where it cuts,
// drops and spam-logs a line is checked against the preflight by its fuzz target, and what it
// stores by the server proofs.
#include "noteserver/note_interpreter.h"
#include "noteserver/options.h"
#include "noteserver/session.h"
#include "noteserver/string_source.h"
#include "spools/spools.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace quillpost::noteserver::test {
namespace {

// One player's connection: each line arrives on its own and is run on the next pulse.
struct Connection
{
    explicit Connection(bool spamDisconnect = false)
        : session(interpreter, "127.0.0.1:5000", { "Player", spamDisconnect }, log)
    {
    }

    std::string run(const std::string &line)
    {
        source.unread += line + "\n";
        const PulseResult result = session.pulse(&source);
        closed = closed || result.close;
        return result.output;
    }

    NoteBoard board;
    NoteInterpreter interpreter { Options {}.spools, board };
    std::ostringstream log;
    StringSource source;
    Session session;
    bool closed = false;
};

const std::string kOk = "Ok.\n\r> ";

TEST(Session, SpamIsLoggedAndOptionallyDisconnects)
{
    for (const bool disconnect : { false, true }) {
        Connection c(disconnect);
        std::string answers;
        for (int i = 0; i < 26; ++i)
            answers += c.run("note + same");
        EXPECT_NE(c.log.str().find("127.0.0.1:5000 input spamming! note + same"), std::string::npos)
            << c.log.str();
        EXPECT_EQ(c.closed, disconnect);
        EXPECT_TRUE(answers.ends_with(disconnect ? "*** PUT A LID ON IT!!! ***\n\r" : kOk));
        EXPECT_EQ(c.session.player().draft->text.size(), (disconnect ? 25u : 26u) * 6);
    }
}

TEST(Session, DefaultSpoolsTakeEveryWordQuillpostTypes)
{
    for (const SpoolRow &row : kSpoolRows)
        EXPECT_EQ(Connection().run(std::string(row.word) + " + line"), kOk) << row.word;
}

} // namespace
} // namespace quillpost::noteserver::test
