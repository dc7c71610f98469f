#ifndef BRX_LOGIC_CONVERTERVIDEOFILEFORMAT_H
#define BRX_LOGIC_CONVERTERVIDEOFILEFORMAT_H

#include "BRX_Logic_ConverterBase.h"

// Video container format.
class BRX_Logic_ConverterVideoFileFormat : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    explicit BRX_Logic_ConverterVideoFileFormat(int productId);

    // Rebuilds the table for productId.
    void init(int productId);
};

#endif
