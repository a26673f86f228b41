#include "line_reader.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace quillpost {

LineReader::LineReader(std::unique_ptr<std::istream> in, std::string path)
    : in_(std::move(in)), path_(std::move(path))
{
}

int LineReader::getByte()
{
    if (carryPos_ < carry_.size())
        return static_cast<unsigned char>(carry_[carryPos_++]);
    return in_->get();
}

int LineReader::peekByte()
{
    if (carryPos_ < carry_.size())
        return static_cast<unsigned char>(carry_[carryPos_]);
    return in_->peek();
}

Result<std::optional<std::string>> LineReader::next(std::size_t maxChars)
{
    constexpr int kEof = std::char_traits<char>::eof();
    auto readError = [this] {
        return Error { ErrorKind::File,
            "Could not read " + path_ + " after line " + std::to_string(linesRead_) + "." };
    };
    if (!startChecked_) {
        startChecked_ = true;
        for (int i = 0; i < 3; ++i) {
            const int c = in_->get();
            if (c == kEof)
                break;
            carry_.push_back(static_cast<char>(c));
        }
        if (carry_ == "\xEF\xBB\xBF")
            carry_.clear();
    }

    std::string line;
    bool any = false;
    for (;;) {
        const int c = getByte();
        if (c == kEof)
            break;
        any = true;
        if (c == '\n')
            break;
        if (c == '\r') {
            if (peekByte() == '\n')
                getByte();
            break;
        }
        line.push_back(static_cast<char>(c));
        if (line.size() > maxChars)
            break;
    }
    if (in_->bad())
        return readError();
    if (!any)
        return std::optional<std::string> {};
    ++linesRead_;
    return std::optional<std::string> { std::move(line) };
}

Result<std::unique_ptr<LineReader>> openLineReader(const std::string &path)
{
    auto failure = [&](const std::string &reason) {
        return Error { ErrorKind::File, "Could not open " + path + ": " + reason + "." };
    };
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return failure("it is a folder, not a file");
    errno = 0;
    auto file = std::make_unique<std::ifstream>(path, std::ios::binary);
    if (!file->is_open())
        return failure(errno != 0 ? std::strerror(errno) : "it cannot be opened");
    return std::make_unique<LineReader>(std::move(file), path);
}

} // namespace quillpost
