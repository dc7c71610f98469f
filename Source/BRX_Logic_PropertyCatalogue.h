#ifndef BRX_LOGIC_PROPERTYCATALOGUE_H
#define BRX_LOGIC_PROPERTYCATALOGUE_H

// The 44 numbered properties the host sees: payload, access and whether
// changes are notified. One row per number; the dispatch and the
// notifications are driven by it.
class BRX_Logic_PropertyCatalogue
{
public:
    enum class Payload { None, Int, Bool, Double, IntPair, DoublePair, IntList, DoubleList };
    enum class Access { ReadWrite, ReadOnly, List, Reserved, EmitOnly, WriteOnly, Command };

    // Outcome of the request checks: refused (and logged), accepted without
    // data (the caller answers true and does nothing), or go ahead.
    enum class Verdict { Refused, NoData, Accepted };

    struct Entry {
        int id;
        const char* name;
        Payload payload;
        Access access;
        bool notified;
    };

    static const int kCount = 44;

    // The row of a property number, null outside 0..43.
    static const Entry* find(int property);
    // Exact payload size in bytes; 0 for none and for lists (their size varies).
    static unsigned int payloadSize(Payload payload);

    // The checks of a get and of a set, in the order the host relies on:
    // number, access kind, then data and size. A refusal is logged with flag 0
    // under label (the caller's method label).
    static Verdict checkGet(int property, const void* data, unsigned int size, const char* label);
    static Verdict checkSet(int property, const void* data, unsigned int size, const char* label);
};

#endif
