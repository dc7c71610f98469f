#include "BRX_Logic_SettingsChanges.h"

void BRX_Logic_SettingsChanges::clear()
{
    *this = BRX_Logic_SettingsChanges{};
}

int BRX_Logic_SettingsChanges::count() const
{
    const quint8* flags = reinterpret_cast<const quint8*>(this);
    int set = 0;
    for (size_t i = 0; i < sizeof(*this); ++i)
        set += flags[i] != 0;
    return set;
}
