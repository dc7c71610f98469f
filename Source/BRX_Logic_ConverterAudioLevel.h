#ifndef BRX_LOGIC_CONVERTERAUDIOLEVEL_H
#define BRX_LOGIC_CONVERTERAUDIOLEVEL_H

#include "BRX_Logic_ConverterBase.h"

// Automatic or manual audio recording level.
class BRX_Logic_ConverterAudioLevel : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    BRX_Logic_ConverterAudioLevel();

    // Rebuilds the fixed table.
    void init();
};

#endif
