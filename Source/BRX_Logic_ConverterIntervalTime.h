#ifndef BRX_LOGIC_CONVERTERINTERVALTIME_H
#define BRX_LOGIC_CONVERTERINTERVALTIME_H

#include "BRX_Logic_ConverterBase.h"

// Interval between two pictures of an interval series, in seconds.
class BRX_Logic_ConverterIntervalTime : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    explicit BRX_Logic_ConverterIntervalTime(int productId);

    // Rebuilds the table for productId.
    void init(int productId);
};

#endif
