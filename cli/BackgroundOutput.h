#pragma once

#include "OutputTarget.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace qbcli {

// Hands a target's writes to a thread of their own, a buffer at a time, so that the cipher's work on one core overlaps
// the copying into the file system on another. The order of the bytes is kept, memory stays within a few buffers, and
// a write that fails raises on the next write or at commit. Commit happens on the caller's thread, once every buffer
// is written; what was given but never committed is still written before the output is destroyed.
class BackgroundOutput : public OutputTarget
{
public:
    explicit BackgroundOutput(OutputTarget& target);
    ~BackgroundOutput() override;
    BackgroundOutput(const BackgroundOutput&) = delete;
    BackgroundOutput& operator=(const BackgroundOutput&) = delete;

    void write(const void* data, std::size_t count) override;
    void commit() override;
    bool isTerminal() const override { return m_target.isTerminal(); }

private:
    static constexpr std::size_t kBufferSize = std::size_t(1) << 20;
    static constexpr std::size_t kBuffers = 3;

    // Queues the buffer being filled and takes a free one, waiting while all are queued.
    void handOver();
    // Waits until every queued buffer is written; raises the writer's failure.
    void drain();
    void writeQueued();

    OutputTarget& m_target;
    std::vector<unsigned char> m_filling;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<unsigned char>> m_queued;
    std::vector<std::vector<unsigned char>> m_free;
    bool m_writing = false;
    bool m_stopping = false;
    std::exception_ptr m_failure;
    std::thread m_writer;
};

} // namespace qbcli
