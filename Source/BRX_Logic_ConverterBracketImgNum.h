#ifndef BRX_LOGIC_CONVERTERBRACKETIMGNUM_H
#define BRX_LOGIC_CONVERTERBRACKETIMGNUM_H

#include "BRX_Logic_ConverterBase.h"

// Number of pictures of a bracketing series.
class BRX_Logic_ConverterBracketImgNum : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    BRX_Logic_ConverterBracketImgNum();

    // Rebuilds the fixed table.
    void init();
};

#endif
