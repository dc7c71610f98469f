#ifndef BRX_LOGIC_CONVERTERINTERVALFRAMES_H
#define BRX_LOGIC_CONVERTERINTERVALFRAMES_H

#include "BRX_Logic_ConverterBase.h"

// Number of pictures of an interval series.
class BRX_Logic_ConverterIntervalFrames : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    explicit BRX_Logic_ConverterIntervalFrames(int productId);

    // Rebuilds the table for productId.
    void init(int productId);
};

#endif
