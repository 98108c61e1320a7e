#include "Ticker.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Over L + 2 ticks the status text grows one character per tick, stands complete, clears, and starts over.
TEST(Ticker, GrowsStandsCompleteClearsAndStartsAgain)
{
    EXPECT_EQ(qb::Ticker().line(), "Visit My Web Site at http://www.quillbox.example/");
    for (const std::string& line : {std::string("abc"), qb::Ticker().line()}) {
        qb::Ticker ticker(line);
        ticker.start();
        std::string shown;
        for (std::size_t tick = 1; tick <= line.size(); ++tick) {
            shown = ticker.Timer1Timer(shown);
            EXPECT_EQ(shown, line.substr(0, tick)) << "tick " << tick;
        }
        shown = ticker.Timer1Timer(shown);
        EXPECT_EQ(shown, "");
        EXPECT_EQ(ticker.tickerpos(), 1);
        EXPECT_EQ(ticker.Timer1Timer(shown), line.substr(0, 1));
    }
}

TEST(Ticker, AppendsToWhateverTheStatusBarShowsAndStartRewinds)
{
    qb::Ticker ticker("xyz");
    EXPECT_EQ(ticker.Timer1Timer("typed "), "typed x");
    EXPECT_EQ(ticker.Timer1Timer("x"), "xy");
    ticker.start();
    EXPECT_EQ(ticker.Timer1Timer(""), "x");
}

} // namespace
