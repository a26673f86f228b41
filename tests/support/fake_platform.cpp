#include "fake_platform.h"

#include "platform/send_keys.h"
#include "platform/titles.h"

#include <algorithm>
#include <stdexcept>
#include <streambuf>

namespace quillpost::test {
namespace {

// Serves a file's bytes one at a time, counting them, and fails where the test asks.
class FakeStream : private std::streambuf, public std::istream
{
public:
    explicit FakeStream(FakePlatform::File &file) : std::istream(this), file_(file)
    {
        ++file_.open;
    }
    ~FakeStream() override { --file_.open; }

private:
    using Buf = std::streambuf;
    Buf::int_type underflow() override
    {
        if (pos_ >= file_.failAfter)
            throw std::ios_base::failure("disk read error");
        if (pos_ >= file_.contents.size())
            return Buf::traits_type::eof();
        ++file_.bytesRead;
        byte_ = file_.contents[pos_++];
        setg(&byte_, &byte_, &byte_ + 1);
        return Buf::traits_type::to_int_type(byte_);
    }

    FakePlatform::File &file_;
    char byte_ = 0;
    std::size_t pos_ = 0;
};

template <class T> std::optional<T> takeNext(std::deque<T> &answers)
{
    if (answers.empty())
        return std::nullopt;
    T next = std::move(answers.front());
    answers.pop_front();
    return next;
}

Error closed()
{
    return Error { ErrorKind::NoWindow, "The window to type into is no longer open." };
}

} // namespace

int FakePlatform::openFiles() const
{
    int n = 0;
    for (const auto &[path, file] : files)
        n += file.open;
    return n;
}

Result<WindowId> FakePlatform::appActivate(std::string_view title)
{
    activated.emplace_back(title);
    return findWindow(title);
}

Result<WindowId> FakePlatform::findWindow(std::string_view title)
{
    if (!clientOpen || !startsWithIgnoringCase(clientTitle, title))
        return Error { ErrorKind::NoWindow, "No window titled \"" + std::string(title) + "\"." };
    return client;
}

Result<WindowInfo> FakePlatform::describeWindow(WindowId window)
{
    if (!clientOpen || window != client)
        return closed();
    return WindowInfo { clientTitle, clientClass };
}

Outcome FakePlatform::activate(WindowId window)
{
    if (!clientOpen || window != client)
        return closed();
    return Ok {};
}

Outcome FakePlatform::sendKeys(WindowId target, std::span<const KeyStroke> strokes)
{
    ++sends_;
    if (!clientOpen || target != client)
        return closed();
    if (auto checked = checkStrokes(strokes); !checked)
        return checked;
    const bool fails = sendFailure && sendFailure->atSend == sends_;
    const auto typed
        = strokes.first(fails ? std::min(sendFailure->typed, strokes.size()) : strokes.size());
    for (const KeyStroke &k : typed)
        arrived += k.character;
    if (!fails)
        return Ok {};
    return Error { sendFailure->kind,
        sendFailure->kind == ErrorKind::FocusLost ? "The focus is in \"xterm\", not in the client."
                                                  : "The display refused the keys.",
        typed.size() };
}

bool FakePlatform::msgBox(std::string_view prompt, MsgStyle style)
{
    boxes.push_back({ std::string(prompt), style });
    if (boxes.size() > 100)
        throw std::logic_error("a message box keeps coming back");
    if (whileBoxOpen)
        whileBoxOpen();
    return true;
}

int FakePlatform::choiceBox(
    std::string_view prompt, const std::vector<std::string> &offered, std::size_t preferred)
{
    choices.emplace_back(std::string(prompt), offered);
    const std::string answer = takeNext(choiceAnswers).value_or("");
    if (answer == kEnter)
        return static_cast<int>(preferred);
    const auto it = std::ranges::find(offered, answer);
    return it == offered.end() ? -1 : static_cast<int>(it - offered.begin());
}

std::string FakePlatform::inputBox(std::string_view, std::string_view)
{
    return takeNext(inputAnswers).value_or("");
}

Result<std::unique_ptr<LineReader>> FakePlatform::openInput(const std::string &path)
{
    if (beforeOpen)
        beforeOpen();
    auto it = files.find(path);
    if (it == files.end())
        return Error { ErrorKind::File, "Could not open " + path + ": No such file or directory." };
    return std::make_unique<LineReader>(std::make_unique<FakeStream>(it->second), path);
}

Outcome FakePlatform::shell(
    const std::string &program, const std::vector<std::string> &, ShellStyle)
{
    if (std::ranges::find(existingFiles, program) == existingFiles.end())
        return Error { ErrorKind::Launch, "Could not start " + program + "." };
    started.push_back(program);
    return Ok {};
}

Outcome FakePlatform::openUrl(std::string_view url)
{
    return shell(std::string(url), {}, ShellStyle::NormalFocus);
}

std::string FakePlatform::dir(std::string_view path)
{
    if (std::ranges::find(existingFiles, path) == existingFiles.end())
        return {};
    return std::string(path.substr(path.find_last_of("\\/") + 1));
}

void FakeFileDialog::showOpen()
{
    name = takeNext(answers).value_or("");
}

} // namespace quillpost::test
