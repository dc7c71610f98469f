#ifndef BRX_LOGIC_APEXCONVERTMAP_H
#define BRX_LOGIC_APEXCONVERTMAP_H

#include <QMap>
#include <QtGlobal>

// Nominal values of APEX codes (APEX value x 256), ordered by code, with the
// two nearest-entry searches the APEX converters share.
class BRX_Logic_APEXConvertMap
{
public:
    struct Entry
    {
        qint16 code;
        double value;
    };

    void clear();
    template <int N>
    void load(const Entry (&entries)[N])
    {
        load(entries, N);
    }
    bool isEmpty() const;
    const QMap<qint16, double>& entries() const;

    // Value of the code nearest to code; ties keep the smaller code. 0.0 when empty.
    double valueNearestCode(qint16 code) const;
    // Code whose value is nearest to value in logarithm; ties keep the smaller
    // code. 0 when empty.
    qint16 codeNearestInLog(double value) const;

    // APEX value x 256 rounded half up, held to the qint16 range; NaN gives 0.
    static qint16 codeFromApex(double apex);

private:
    void load(const Entry* entries, int count);

    QMap<qint16, double> m_map;
};

#endif
