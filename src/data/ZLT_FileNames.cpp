#include "ZLT_FileNames.h"

#include <QStringDecoder>

namespace ZLT_FileNames {

namespace {
constexpr char16_t EscapeBase = 0xDC00;

// The length of the valid UTF-8 sequence at data[i], 0 when there is none.
qsizetype SequenceLength(QByteArrayView data, qsizetype i, char32_t& code)
{
    const auto byte = [&](qsizetype k) { return uchar(data[k]); };
    const uchar lead = byte(i);
    qsizetype length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > data.size())
        return 0;
    for (qsizetype k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}
} // namespace

QString Decode(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    text.clear();
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t code = 0;
        const qsizetype length = SequenceLength(bytes, i, code);
        if (length == 0) {
            text += QChar(char16_t(EscapeBase + uchar(bytes[i])));
            ++i;
            continue;
        }
        text += QString::fromUcs4(&code, 1);
        i += length;
    }
    return text;
}

QByteArray Encode(const QString& name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype start = 0; // of the run of plain text not yet converted
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        const bool paired = i > 0 && name[i - 1].isHighSurrogate();
        if (unit >= EscapeBase + 0x80 && unit <= EscapeBase + 0xFF && !paired) {
            bytes += QStringView(name).sliced(start, i - start).toUtf8();
            bytes += char(unit - EscapeBase);
            start = i + 1;
        }
    }
    bytes += QStringView(name).sliced(start).toUtf8();
    return bytes;
}

} // namespace ZLT_FileNames
