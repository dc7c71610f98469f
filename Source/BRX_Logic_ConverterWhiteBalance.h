#ifndef BRX_LOGIC_CONVERTERWHITEBALANCE_H
#define BRX_LOGIC_CONVERTERWHITEBALANCE_H

#include "BRX_Logic_ConverterBase.h"

// White-balance modes; the codes differ between camera families.
class BRX_Logic_ConverterWhiteBalance : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    explicit BRX_Logic_ConverterWhiteBalance(int productId);

    // Rebuilds the table for productId.
    void init(int productId);
};

#endif
