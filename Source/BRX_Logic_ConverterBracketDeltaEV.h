#ifndef BRX_LOGIC_CONVERTERBRACKETDELTAEV_H
#define BRX_LOGIC_CONVERTERBRACKETDELTAEV_H

#include "BRX_Logic_ConverterBase.h"

// Exposure difference between bracketed pictures, in milli-EV; cameras
// without a table of their own get the common one.
class BRX_Logic_ConverterBracketDeltaEV : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    explicit BRX_Logic_ConverterBracketDeltaEV(int productId);

    // Rebuilds the table for productId.
    void init(int productId);
};

#endif
