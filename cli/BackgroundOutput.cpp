#include "BackgroundOutput.h"

#include <algorithm>
#include <cstring>

namespace qbcli {

BackgroundOutput::BackgroundOutput(OutputTarget& target) : m_target(target)
{
    m_filling.reserve(kBufferSize);
    for (std::size_t i = 1; i < kBuffers; ++i) {
        m_free.emplace_back();
        m_free.back().reserve(kBufferSize);
    }
    m_writer = std::thread([this] { writeQueued(); });
}

BackgroundOutput::~BackgroundOutput()
{
    {
        // What was given before a command stopped still goes out: to a stream, the pieces a reader had verified.
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_filling.empty() && !m_failure)
            m_queued.push_back(std::move(m_filling));
        m_stopping = true;
    }
    m_changed.notify_all();
    m_writer.join();
}

void BackgroundOutput::write(const void* data, std::size_t count)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (count > 0) {
        const std::size_t taken = std::min(count, kBufferSize - m_filling.size());
        m_filling.insert(m_filling.end(), bytes, bytes + taken);
        bytes += taken;
        count -= taken;
        if (m_filling.size() == kBufferSize)
            handOver();
    }
}

void BackgroundOutput::commit()
{
    if (!m_filling.empty())
        handOver();
    drain();
    m_target.commit();
}

void BackgroundOutput::handOver()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_failure)
        std::rethrow_exception(m_failure);
    m_queued.push_back(std::move(m_filling));
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return !m_free.empty() || m_failure; });
    if (m_failure)
        std::rethrow_exception(m_failure);
    m_filling = std::move(m_free.back());
    m_free.pop_back();
    m_filling.clear();
}

void BackgroundOutput::drain()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return (m_queued.empty() && !m_writing) || m_failure; });
    if (m_failure)
        std::rethrow_exception(m_failure);
}

void BackgroundOutput::writeQueued()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_queued.empty() || m_stopping; });
        if (m_queued.empty())
            return;
        std::vector<unsigned char> buffer = std::move(m_queued.front());
        m_queued.pop_front();
        m_writing = true;
        lock.unlock();
        std::exception_ptr failure;
        try {
            m_target.write(buffer.data(), buffer.size());
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        m_writing = false;
        if (failure && !m_failure)
            m_failure = failure;
        m_free.push_back(std::move(buffer));
        m_changed.notify_all();
        if (m_failure)
            return;
    }
}

} // namespace qbcli
