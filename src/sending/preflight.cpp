#include "preflight.h"

#include <algorithm>

namespace quillpost {

void Preflight::add(std::string_view line)
{
    if (disconnected_)
        return;
    ++lines_;
    // The server sees what the sender types: the spool word, " + ", the line.
    const std::size_t prefix = spool_.size() + 3;
    if (client_) {
        const std::string typed = spool_ + " + " + std::string(line);
        if (!client_->separator.empty() && typed.find(client_->separator) != std::string::npos) {
            findings_.push_back(
                { Finding::Kind::Split, lines_, 0, 0, std::string(commandIn(*client_, typed)) });
            anyForClient_ = true;
        }
        if (const std::size_t at = typed.find_first_of(client_->escapes); at != std::string::npos) {
            findings_.push_back(
                { Finding::Kind::Escaped, lines_, client_->escapes.find(typed[at]) });
            anyForClient_ = true;
        }
        if (const std::string_view alias = aliasTaking(*client_, typed); !alias.empty()) {
            const auto which = std::find(client_->aliases.begin(), client_->aliases.end(), alias);
            findings_.push_back({ Finding::Kind::Taken, lines_,
                static_cast<std::size_t>(which - client_->aliases.begin()) });
            anyForClient_ = true;
        }
    }
    if (prefix + line.size() >= RomLimits::kInputBuffer) {
        findings_.push_back(
            { Finding::Kind::Disconnect, lines_, RomLimits::kInputBuffer - prefix, line.size() });
        anyCut_ = true;
        disconnected_ = true;
        return;
    }
    std::string input = spool_ + " + " + std::string(line);
    if (input.size() > RomLimits::kInputLine) {
        input.resize(RomLimits::kInputLine);
        const std::size_t kept = input.size() > prefix ? input.size() - prefix : 0;
        findings_.push_back({ Finding::Kind::Cut, lines_, kept, line.size() });
        anyCut_ = true;
    }

    if (input == lastInput_) {
        if (++repeats_ == RomLimits::kSpamRepeats)
            findings_.push_back(
                { Finding::Kind::Spam, lines_, static_cast<std::size_t>(runStart_), 0 });
    } else {
        lastInput_ = input;
        repeats_ = 0;
        runStart_ = lines_;
    }

    std::string_view text = std::string_view(input).substr(std::min(prefix, input.size()));
    const std::size_t blanks = text.find_first_not_of(' ');
    if (blanks != 0 && !text.empty())
        findings_.push_back({ Finding::Kind::LeadingBlanks, lines_ });
    text.remove_prefix(blanks == std::string_view::npos ? text.size() : blanks);
    if (text.find('~') != std::string_view::npos)
        findings_.push_back({ Finding::Kind::Tilde, lines_ });

    if (noteSize_ + text.size() >= RomLimits::kNoteSize)
        findings_.push_back({ Finding::Kind::TooLong, lines_ });
    else
        noteSize_ += text.size() + 2;
}

std::string describeFindings(const std::vector<Finding> &findings, std::string_view lineBreak,
    const ClientHabits *client, std::size_t shown)
{
    const std::string clientName(client ? client->name : "the client");
    const auto describe = [&](const Finding &f) {
        std::string item = "line " + std::to_string(f.line) + ": ";
        switch (f.kind) {
        case Finding::Kind::Cut:
            item += "cut after " + std::to_string(f.detail) + " characters (it has "
                + std::to_string(f.length) + ")";
            break;
        case Finding::Kind::Disconnect:
            item += "so long (" + std::to_string(f.length) + " characters; "
                + std::to_string(f.detail)
                + " are enough) that the server would disconnect you, and the rest of the note "
                  "would be lost";
            break;
        case Finding::Kind::TooLong:
            item += "refused as too long: the note would reach 4096 characters";
            break;
        case Finding::Kind::LeadingBlanks:
            item += "leading blanks dropped";
            break;
        case Finding::Kind::Tilde:
            item += "\"~\" turned into \"-\"";
            break;
        case Finding::Kind::Split:
            item += clientName + " splits it at \"" + std::string(client ? client->separator : "")
                + "\" and sends the parts as commands of their own";
            if (!f.command.empty())
                item += "; \"" + f.command + "\" runs in " + clientName + " itself";
            break;
        case Finding::Kind::Escaped:
            item += clientName + " reads the \""
                + std::string(client ? client->escapes.substr(f.detail, 1) : "")
                + "\" in it as an escape, which changes the line";
            break;
        case Finding::Kind::Taken:
            item += clientName + " takes it for its own alias \""
                + std::string(client ? client->aliases[f.detail] : "") + "...\" and never sends it";
            break;
        case Finding::Kind::Spam:
            item = "lines " + std::to_string(f.detail) + " to " + std::to_string(f.line) + ": "
                + std::to_string(RomLimits::kSpamRepeats + 1)
                + " identical lines in a row, which the server takes for spam (some servers "
                  "disconnect you)";
            break;
        }
        return item + std::string(lineBreak);
    };
    std::string out;
    for (std::size_t i = 0; i < findings.size() && i < shown; ++i)
        out += describe(findings[i]);
    if (findings.size() <= shown)
        return out;
    const bool lastDisconnects = findings.back().kind == Finding::Kind::Disconnect;
    out += "... and " + std::to_string(findings.size() - shown - lastDisconnects) + " more."
        + std::string(lineBreak);
    if (lastDisconnects)
        out += describe(findings.back());
    return out;
}

std::vector<std::string> wrapLine(std::string_view line, std::size_t columns)
{
    columns = std::max<std::size_t>(columns, 1); // a cut of nothing would never end
    std::vector<std::string> out;
    const auto dropBlanks
        = [&] { line.remove_prefix(std::min(line.find_first_not_of(' '), line.size())); };
    while (line.size() > columns) {
        std::size_t cut = line.rfind(' ', columns);
        if (cut != std::string_view::npos && line.find_first_not_of(' ') >= cut) {
            dropBlanks(); // only leading blanks before the cut
            continue;
        }
        if (cut == std::string_view::npos)
            cut = columns;
        out.emplace_back(line.substr(0, cut));
        line.remove_prefix(cut);
        dropBlanks();
    }
    if (!line.empty() || out.empty())
        out.emplace_back(line);
    return out;
}

} // namespace quillpost
