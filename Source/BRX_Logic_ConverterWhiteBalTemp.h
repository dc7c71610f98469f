#ifndef BRX_LOGIC_CONVERTERWHITEBALTEMP_H
#define BRX_LOGIC_CONVERTERWHITEBALTEMP_H

#include "BRX_Logic_ConverterBase.h"

// Colour temperature choices of the white balance, in kelvin.
class BRX_Logic_ConverterWhiteBalTemp : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    explicit BRX_Logic_ConverterWhiteBalTemp(int productId);

    // Rebuilds the table for productId.
    void init(int productId);
};

#endif
