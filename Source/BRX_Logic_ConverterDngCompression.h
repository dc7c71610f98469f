#ifndef BRX_LOGIC_CONVERTERDNGCOMPRESSION_H
#define BRX_LOGIC_CONVERTERDNGCOMPRESSION_H

#include "BRX_Logic_ConverterBase.h"

// Compression of DNG pictures on or off.
class BRX_Logic_ConverterDngCompression : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    BRX_Logic_ConverterDngCompression();

    // Rebuilds the fixed table.
    void init();
};

#endif
