#include "BRX_SDK_HostBuffers.h"

bool BRX_SDK_HostBuffers::copyText(const QByteArray& text, char* out, unsigned int size)
{
    if (unsigned(text.size()) >= size) {
        if (size > 0)
            out[0] = '\0';
        return false;
    }
    std::memcpy(out, text.constData(), size_t(text.size()) + 1);
    return true;
}

void BRX_SDK_HostBuffers::copyCut(const QString& text, char* out, unsigned int size)
{
    if (!out || size == 0)
        return;
    QByteArray bytes = text.toUtf8();
    if (bytes.size() >= int(size)) {
        int end = int(size) - 1;
        while (end > 0 && (uchar(bytes.at(end)) & 0xC0) == 0x80)
            --end;
        bytes.truncate(end);
    }
    copyText(bytes, out, size);
}
