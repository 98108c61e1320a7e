#include "Ticker.h"

#include "ProductInfo.h"

#include <utility>

namespace qb {

Ticker::Ticker() : Ticker(std::string("Visit My Web Site at ") + kHomePage) {}

Ticker::Ticker(std::string line) : m_line(std::move(line)) {}

void Ticker::start()
{
    m_tickerpos = 1;
}

std::string Ticker::Timer1Timer(const std::string& shown)
{
    if (m_tickerpos <= static_cast<int>(m_line.size())) {
        std::string grown = shown;
        grown += m_line[static_cast<std::size_t>(m_tickerpos - 1)];
        ++m_tickerpos;
        return grown;
    }
    m_tickerpos = 1;
    return {};
}

} // namespace qb
