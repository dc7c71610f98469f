#ifndef BRX_LOGIC_CONVERTERAUTOREVIEWDURATION_H
#define BRX_LOGIC_CONVERTERAUTOREVIEWDURATION_H

#include "BRX_Logic_ConverterBase.h"

// How long a picture is shown after release, in seconds; -1 holds it.
class BRX_Logic_ConverterAutoreviewDuration : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    BRX_Logic_ConverterAutoreviewDuration();

    // Rebuilds the fixed table.
    void init();
};

#endif
