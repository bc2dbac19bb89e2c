#include "core/FileNames.h"

#include <QTextCodec>

namespace {

constexpr ushort KeptByteBase = 0xDC00;

bool isKeptByte(QChar c)
{
    return c.unicode() >= KeptByteBase + 0x80 && c.unicode() <= KeptByteBase + 0xFF;
}

// UTF-8 where a byte that is not part of a valid sequence is kept as U+DC80 to U+DCFF.
// A sequence cut at the end of a piece waits in the state for the next piece.
class ByteKeepingUtf8 : public QTextCodec
{
public:
    QByteArray name() const override { return QByteArrayLiteral("UTF-8, invalid bytes kept"); }
    // No registered number: the locale is the only way to this codec.
    int mibEnum() const override { return -106; }

protected:
    QString convertToUnicode(const char* in, int length, ConverterState* state) const override
    {
        QByteArray bytes;
        if (state && state->remainingChars > 0) {
            for (int i = 0; i < state->remainingChars; ++i)
                bytes += char(state->state_data[i]);
            state->remainingChars = 0;
        }
        bytes.append(in, length);
        QString text;
        text.reserve(bytes.size());
        const auto byte = [&bytes](int at) { return uchar(bytes.at(at)); };
        int at = 0;
        while (at < bytes.size()) {
            const uchar lead = byte(at);
            if (lead < 0x80) {
                text += QChar(lead);
                ++at;
                continue;
            }
            const int following = lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2
                                : lead >= 0xF0 && lead <= 0xF4                        ? 3
                                                                                      : 0;
            if (following > 0 && at + following >= bytes.size() && state) {
                bool prefix = true;
                for (int i = at + 1; i < bytes.size(); ++i)
                    prefix = prefix && (byte(i) & 0xC0) == 0x80;
                if (prefix) {
                    state->remainingChars = bytes.size() - at;
                    for (int i = 0; i < state->remainingChars; ++i)
                        state->state_data[i] = byte(at + i);
                    break;
                }
            }
            uint code = lead & (0x3F >> following);
            bool valid = following > 0 && at + following < bytes.size();
            for (int i = 1; valid && i <= following; ++i) {
                valid = (byte(at + i) & 0xC0) == 0x80;
                code = (code << 6) | (byte(at + i) & 0x3F);
            }
            static constexpr uint smallest[] = {0, 0x80, 0x800, 0x10000};
            valid = valid && code >= smallest[following] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
            if (!valid) {
                text += QChar(ushort(KeptByteBase + lead));
                ++at;
                continue;
            }
            if (code > 0xFFFF) {
                text += QChar(QChar::highSurrogate(code));
                text += QChar(QChar::lowSurrogate(code));
            } else {
                text += QChar(ushort(code));
            }
            at += following + 1;
        }
        return text;
    }

    QByteArray convertFromUnicode(const QChar* in, int length, ConverterState* state) const override
    {
        QString text;
        if (state && state->remainingChars > 0) {
            text += QChar(ushort(state->state_data[0]));
            state->remainingChars = 0;
        }
        text.append(in, length);
        QByteArray bytes;
        bytes.reserve(text.size() * 3);
        for (int at = 0; at < text.size(); ++at) {
            const QChar c = text.at(at);
            uint code = c.unicode();
            if (c.isHighSurrogate()) {
                if (at + 1 < text.size() && text.at(at + 1).isLowSurrogate()) {
                    code = QChar::surrogateToUcs4(c, text.at(++at));
                } else if (at + 1 == text.size() && state) {
                    state->remainingChars = 1;
                    state->state_data[0] = code;
                    break;
                } else {
                    bytes += '?';
                    continue;
                }
            } else if (isKeptByte(c)) {
                bytes += char(code - KeptByteBase);
                continue;
            } else if (c.isLowSurrogate()) {
                bytes += '?';
                continue;
            }
            if (code < 0x80) {
                bytes += char(code);
            } else if (code < 0x800) {
                bytes += char(0xC0 | (code >> 6));
                bytes += char(0x80 | (code & 0x3F));
            } else if (code < 0x10000) {
                bytes += char(0xE0 | (code >> 12));
                bytes += char(0x80 | ((code >> 6) & 0x3F));
                bytes += char(0x80 | (code & 0x3F));
            } else {
                bytes += char(0xF0 | (code >> 18));
                bytes += char(0x80 | ((code >> 12) & 0x3F));
                bytes += char(0x80 | ((code >> 6) & 0x3F));
                bytes += char(0x80 | (code & 0x3F));
            }
        }
        return bytes;
    }
};

} // namespace

namespace FileNames {

void keepBytes()
{
    // Another locale codec maps every byte already. Qt owns and deletes the codec.
    if (QTextCodec::codecForLocale()->mibEnum() == 106)
        QTextCodec::setCodecForLocale(new ByteKeepingUtf8);
}

QString shown(const QString& text)
{
    QString readable;
    readable.reserve(text.size());
    for (const QChar c : text) {
        if (isKeptByte(c))
            readable += QStringLiteral("\\x%1").arg(c.unicode() - KeptByteBase, 2, 16, QLatin1Char('0'));
        else
            readable += c;
    }
    return readable;
}

} // namespace FileNames
