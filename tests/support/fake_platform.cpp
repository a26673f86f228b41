#include "fake_platform.h"

#include "platform/send_keys.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <streambuf>

namespace quillpost::test {
namespace {

// Serves a file's bytes, counting them, and fails or never ends as the test asks.
class FakeBuf : public std::streambuf
{
public:
    FakeBuf(std::string contents, std::optional<std::size_t> failAfter, std::optional<char> endless,
        std::shared_ptr<std::size_t> counter, std::shared_ptr<int> openCount)
        : contents_(std::move(contents)),
          failAfter_(failAfter),
          endless_(endless),
          counter_(std::move(counter)),
          openCount_(std::move(openCount))
    {
        ++*openCount_;
    }
    ~FakeBuf() override { --*openCount_; }

protected:
    int_type underflow() override
    {
        if (failAfter_ && pos_ >= *failAfter_)
            throw std::ios_base::failure("disk read error");
        if (endless_) {
            chunk_.assign(64, *endless_);
        } else {
            if (pos_ >= contents_.size())
                return traits_type::eof();
            std::size_t n = std::min<std::size_t>(64, contents_.size() - pos_);
            if (failAfter_)
                n = std::min(n, *failAfter_ - pos_);
            chunk_ = contents_.substr(pos_, n);
        }
        pos_ += chunk_.size();
        *counter_ += chunk_.size();
        setg(chunk_.data(), chunk_.data(), chunk_.data() + chunk_.size());
        return traits_type::to_int_type(chunk_[0]);
    }

private:
    std::string contents_;
    std::optional<std::size_t> failAfter_;
    std::optional<char> endless_;
    std::shared_ptr<std::size_t> counter_;
    std::shared_ptr<int> openCount_;
    std::string chunk_;
    std::size_t pos_ = 0;
};

class FakeStream : public std::istream
{
public:
    explicit FakeStream(std::unique_ptr<FakeBuf> buf)
        : std::istream(buf.get()), buf_(std::move(buf))
    {
    }

private:
    std::unique_ptr<FakeBuf> buf_;
};

} // namespace

void FakePlatform::addFile(const std::string &path, std::string contents)
{
    files_[path].contents = std::move(contents);
}

void FakePlatform::failReadAfter(const std::string &path, std::size_t bytes)
{
    files_[path].failAfter = bytes;
}

void FakePlatform::addEndlessFile(const std::string &path, char fill)
{
    files_[path].endlessFill = fill;
}

std::size_t FakePlatform::bytesRead(const std::string &path) const
{
    return *files_.at(path).bytesRead;
}

int FakePlatform::openFiles() const
{
    int n = 0;
    for (const auto &[path, file] : files_)
        n += *file.openCount;
    return n;
}

Result<WindowId> FakePlatform::appActivate(std::string_view title)
{
    activated.emplace_back(title);
    const bool titled = clientTitle.size() >= title.size()
        && std::equal(title.begin(), title.end(), clientTitle.begin(),
            [](char a, char b) { return std::tolower(a) == std::tolower(b); });
    if (!clientOpen || !titled || clientMissingChecks > 0) {
        if (clientMissingChecks > 0)
            --clientMissingChecks;
        return Error { ErrorKind::NoWindow,
            "No window titled \"" + std::string(title) + "\" is open." };
    }
    return client;
}

Outcome FakePlatform::activate(WindowId window)
{
    if (!clientOpen || window != client)
        return Error { ErrorKind::NoWindow, "The window to type into is no longer open." };
    return Ok {};
}

Result<PickedWindow> FakePlatform::pickWindow()
{
    if (picks.empty())
        return Error { ErrorKind::Cancelled, "No window was chosen." };
    auto picked = std::move(picks.front());
    picks.pop_front();
    return picked;
}

Outcome FakePlatform::sendKeys(WindowId target, std::string_view text)
{
    ++sends_;
    if (!clientOpen || target != client)
        return Error { ErrorKind::NoWindow, "The window to type into is no longer open." };
    std::size_t typed = text.size();
    std::optional<Error> failure;
    if (focusLostAtSend && *focusLostAtSend == sends_) {
        typed = typedBeforeFailure;
        failure = Error { ErrorKind::FocusLost, "The focus is in \"xterm\", not in the client.",
            typedBeforeFailure };
    } else if (typingFailsAtSend && *typingFailsAtSend == sends_) {
        typed = typedBeforeFailure;
        failure = Error { ErrorKind::Typing, "The display refused the keys.", typedBeforeFailure };
    }
    auto strokes = parseSendKeys(text.substr(0, typed));
    if (!strokes)
        return strokes.error();
    if (typed > 0)
        keys.emplace_back(text.substr(0, typed));
    for (const KeyStroke &k : strokes.value())
        arrived += k.isCharacter() ? k.character : k.named == NamedKey::Enter ? '\r' : '?';
    if (failure)
        return *failure;
    return Ok {};
}

void FakePlatform::msgBox(std::string_view prompt, MsgStyle style)
{
    boxes.push_back({ std::string(prompt), style });
    if (whileBoxOpen)
        whileBoxOpen(boxes.back());
}

int FakePlatform::choiceBox(std::string_view prompt, const std::vector<std::string> &offered)
{
    choices.emplace_back(std::string(prompt), offered);
    if (choiceAnswers.empty())
        return -1;
    const std::string answer = choiceAnswers.front();
    choiceAnswers.pop_front();
    const auto it = std::find(offered.begin(), offered.end(), answer);
    return it == offered.end() ? -1 : static_cast<int>(it - offered.begin());
}

std::string FakePlatform::inputBox(std::string_view prompt, std::string_view title)
{
    prompts.emplace_back(prompt, title);
    if (inputAnswers.empty())
        return {};
    std::string answer = inputAnswers.front();
    inputAnswers.pop_front();
    return answer;
}

Result<std::unique_ptr<LineReader>> FakePlatform::openInput(const std::string &path)
{
    if (beforeOpen)
        beforeOpen(path);
    auto it = files_.find(path);
    if (it == files_.end())
        return Error { ErrorKind::File, "Could not open " + path + ": No such file or directory." };
    File &f = it->second;
    auto buf = std::make_unique<FakeBuf>(
        f.contents, f.failAfter, f.endlessFill, f.bytesRead, f.openCount);
    return std::make_unique<LineReader>(std::make_unique<FakeStream>(std::move(buf)), path);
}

void FakeFileDialog::showOpen()
{
    titles.push_back(title);
    if (whileOpen)
        whileOpen();
    if (answers.empty()) {
        name.clear();
        return;
    }
    name = answers.front();
    answers.pop_front();
}

} // namespace quillpost::test

namespace quillpost::test {

Outcome FakePlatform::shell(
    const std::string &program, const std::vector<std::string> &, ShellStyle)
{
    if (std::find(existingFiles.begin(), existingFiles.end(), program) == existingFiles.end())
        return Error { ErrorKind::Launch, "Could not start " + program + "." };
    started.push_back(program);
    return Ok {};
}

Outcome FakePlatform::openUrl(std::string_view url)
{
    if (browserMissing)
        return Error { ErrorKind::Launch, "No web browser is set up on this system." };
    started.emplace_back(url);
    return Ok {};
}

std::string FakePlatform::dir(std::string_view path)
{
    const std::string p(path);
    if (std::find(existingFiles.begin(), existingFiles.end(), p) == existingFiles.end())
        return {};
    return p.substr(p.find_last_of("\\/") + 1);
}

} // namespace quillpost::test
