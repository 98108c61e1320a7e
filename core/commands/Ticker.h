#pragma once

#include <string>

namespace qb {

// The status-line ticker: the line grows by one character per tick, stands complete for one tick,
// is cleared, and starts again.
class Ticker
{
public:
    // The fixed line "Visit My Web Site at " followed by the home page.
    Ticker();
    explicit Ticker(std::string line);

    void start();
    // One tick: takes the status bar's current text and returns its new text.
    std::string Timer1Timer(const std::string& shown);

    // 1-based position of the next character to show.
    int tickerpos() const { return m_tickerpos; }
    const std::string& line() const { return m_line; }

private:
    std::string m_line;
    int m_tickerpos = 1;
};

} // namespace qb
