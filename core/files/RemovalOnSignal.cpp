#include "RemovalOnSignal.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qb {

namespace {

// A signal handler reaches nothing but what lives for the whole process, so the registrations are a fixed table. A
// slot's folder is -1 when free and -2 while it is being filled; the handler removes only slots with a folder.
struct Slot
{
    std::atomic<int> folder{-1};
    char name[256];
};

constexpr int kSlots = 32;
constexpr int kFree = -1;
constexpr int kFilling = -2;
Slot g_slots[kSlots];

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void removeAndEnd(int signal)
{
    for (Slot& slot : g_slots) {
        const int folder = slot.folder.load();
        if (folder >= 0)
            ::unlinkat(folder, slot.name, 0);
    }
    // The handler was reset on entry (SA_RESETHAND): raising again ends the process as the signal would have.
    ::raise(signal);
}

} // namespace

void removeTemporaryFilesOnSignals()
{
    for (const int signal : kSignals) {
        struct sigaction current
        {
        };
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action
        {
        };
        action.sa_handler = removeAndEnd;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

RemovalOnSignal::RemovalOnSignal(int folder, const std::string& name)
{
    if (folder < 0 || name.size() >= sizeof g_slots[0].name)
        return;
    for (int index = 0; index < kSlots; ++index) {
        int expected = kFree;
        if (!g_slots[index].folder.compare_exchange_strong(expected, kFilling))
            continue;
        std::memcpy(g_slots[index].name, name.c_str(), name.size() + 1);
        g_slots[index].folder.store(folder);
        m_slot = index;
        return;
    }
}

RemovalOnSignal& RemovalOnSignal::operator=(RemovalOnSignal&& other) noexcept
{
    if (this != &other) {
        release();
        m_slot = other.m_slot;
        other.m_slot = -1;
    }
    return *this;
}

void RemovalOnSignal::release()
{
    if (m_slot >= 0)
        g_slots[m_slot].folder.store(kFree);
    m_slot = -1;
}

} // namespace qb
