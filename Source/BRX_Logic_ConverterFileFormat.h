#ifndef BRX_LOGIC_CONVERTERFILEFORMAT_H
#define BRX_LOGIC_CONVERTERFILEFORMAT_H

#include "BRX_Logic_ConverterBase.h"

// Picture file formats.
class BRX_Logic_ConverterFileFormat : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    explicit BRX_Logic_ConverterFileFormat(int productId);

    // Rebuilds the table for productId.
    void init(int productId);
};

#endif
