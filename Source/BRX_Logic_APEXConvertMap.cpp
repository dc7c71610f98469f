#include "BRX_Logic_APEXConvertMap.h"

#include "BRX_Logic_Rounding.h"

#include <cmath>
#include <cstdlib>
#include <limits>

void BRX_Logic_APEXConvertMap::clear()
{
    m_map.clear();
}

bool BRX_Logic_APEXConvertMap::isEmpty() const
{
    return m_map.isEmpty();
}

const QMap<qint16, double>& BRX_Logic_APEXConvertMap::entries() const
{
    return m_map;
}

double BRX_Logic_APEXConvertMap::valueNearestCode(qint16 code) const
{
    double nearest = 0.0;
    int bestDistance = std::numeric_limits<int>::max();
    for (auto it = m_map.cbegin(); it != m_map.cend(); ++it) {
        const int distance = std::abs(int(it.key()) - int(code));
        if (distance < bestDistance) {
            bestDistance = distance;
            nearest = it.value();
        }
    }
    return nearest;
}

qint16 BRX_Logic_APEXConvertMap::codeNearestInLog(double value) const
{
    if (m_map.isEmpty())
        return 0;
    const double logValue = std::log(value);
    qint16 nearest = m_map.firstKey();
    double bestDistance = std::abs(std::log(m_map.first()) - logValue);
    for (auto it = m_map.cbegin(); it != m_map.cend(); ++it) {
        const double distance = std::abs(std::log(it.value()) - logValue);
        if (distance < bestDistance) {
            bestDistance = distance;
            nearest = it.key();
        }
    }
    return nearest;
}

qint16 BRX_Logic_APEXConvertMap::codeFromApex(double apex)
{
    const double code = roundHalfUp(apex * 256.0);
    if (std::isnan(code))
        return 0;
    const double lowest = std::numeric_limits<qint16>::min();
    const double highest = std::numeric_limits<qint16>::max();
    return qint16(qBound(lowest, code, highest));
}

void BRX_Logic_APEXConvertMap::load(const Entry* entries, int count)
{
    m_map.clear();
    for (int index = 0; index < count; ++index)
        m_map.insert(entries[index].code, entries[index].value);
}
