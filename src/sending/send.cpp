#include "send.h"

namespace quillpost {

void Send::start(std::unique_ptr<LineReader> file)
{
    drop();
    file_ = std::move(file);
    enter(State::Sending);
}

void Send::pause()
{
    enter(State::Paused);
}

void Send::resume()
{
    enter(State::Sending);
}

void Send::drop()
{
    file_.reset();
    pending_.reset();
    client.reset();
}

void Send::stop()
{
    drop();
    if (state_ == State::Sending)
        enter(State::Idle);
}

int Send::nextLineNumber() const
{
    if (!file_)
        return 0;
    return file_->linesRead() + (pending_ ? 0 : 1);
}

void Send::enter(State state)
{
    state_ = state;
    pause_.setCaption(state == State::Paused ? kStartCaption : kPauseCaption);
}

} // namespace quillpost
