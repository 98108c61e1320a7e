#pragma once

#include <string>

namespace qb {

// Makes SIGINT, SIGTERM and SIGHUP remove the named temporary files registered at that moment before the process
// ends as the signal would end it, as git does with its temporary files. Both programs call it once at start; a
// signal the process was started to ignore stays ignored.
void removeTemporaryFilesOnSignals();

// A named temporary file registered for removal on those signals for as long as this object lives.
class RemovalOnSignal
{
public:
    RemovalOnSignal() = default;
    // `folder` stays open while the registration lives; a name too long for the table is not registered.
    RemovalOnSignal(int folder, const std::string& name);
    ~RemovalOnSignal() { release(); }
    RemovalOnSignal(RemovalOnSignal&& other) noexcept : m_slot(other.m_slot) { other.m_slot = -1; }
    RemovalOnSignal& operator=(RemovalOnSignal&& other) noexcept;
    RemovalOnSignal(const RemovalOnSignal&) = delete;
    RemovalOnSignal& operator=(const RemovalOnSignal&) = delete;

    void release();

private:
    int m_slot = -1;
};

} // namespace qb
