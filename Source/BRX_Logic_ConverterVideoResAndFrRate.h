#ifndef BRX_LOGIC_CONVERTERVIDEORESANDFRRATE_H
#define BRX_LOGIC_CONVERTERVIDEORESANDFRRATE_H

#include "BRX_Logic_ConverterBase.h"

// Video resolution and frame rate.
class BRX_Logic_ConverterVideoResAndFrRate : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    explicit BRX_Logic_ConverterVideoResAndFrRate(int productId);

    // Rebuilds the table for productId.
    void init(int productId);
};

#endif
