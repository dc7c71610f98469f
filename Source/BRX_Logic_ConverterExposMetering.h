#ifndef BRX_LOGIC_CONVERTEREXPOSMETERING_H
#define BRX_LOGIC_CONVERTEREXPOSMETERING_H

#include "BRX_Logic_ConverterBase.h"

// Exposure metering modes.
class BRX_Logic_ConverterExposMetering : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    BRX_Logic_ConverterExposMetering();

    // Rebuilds the fixed table.
    void init();
};

#endif
