#ifndef BRX_LOGIC_CONVERTERSATURATION_H
#define BRX_LOGIC_CONVERTERSATURATION_H

#include "BRX_Logic_ConverterBase.h"

// Saturation of the picture style.
class BRX_Logic_ConverterSaturation : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    BRX_Logic_ConverterSaturation();

    // Rebuilds the fixed table.
    void init();
};

#endif
