#ifndef BRX_SDK_HOSTBUFFERS_H
#define BRX_SDK_HOSTBUFFERS_H

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstring>
#include <memory>

// How the exports hand the library's texts and bytes to the host: into
// buffers the host owns and sizes, never beyond them.
class BRX_SDK_HostBuffers
{
public:
    // NUL-terminated; false, with an empty text where there is room, when it does not fit.
    static bool copyText(const QByteArray& text, char* out, unsigned int size);
    // Cut to fit, never inside a character.
    static void copyCut(const QString& text, char* out, unsigned int size);
    template <size_t N> static void copyCut(const QString& text, char (&out)[N]) { copyCut(text, out, unsigned(N)); }
    // Copies data into a host buffer of size bytes; *written is its size (also
    // when it does not fit), 0 without data.
    template <typename Size>
    static bool copyOut(const std::unique_ptr<QByteArray>& data, void* buffer, Size size, Size* written)
    {
        const Size needed = data ? Size(data->size()) : 0;
        if (written)
            *written = needed;
        if (!data || !buffer || needed > size)
            return false;
        std::memcpy(buffer, data->constData(), size_t(needed));
        return true;
    }
};

#endif
