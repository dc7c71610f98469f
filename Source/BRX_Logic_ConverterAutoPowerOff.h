#ifndef BRX_LOGIC_CONVERTERAUTOPOWEROFF_H
#define BRX_LOGIC_CONVERTERAUTOPOWEROFF_H

#include "BRX_Logic_ConverterBase.h"

// Delay before the camera saves power.
class BRX_Logic_ConverterAutoPowerOff : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    BRX_Logic_ConverterAutoPowerOff();

    // Rebuilds the fixed table.
    void init();
};

#endif
