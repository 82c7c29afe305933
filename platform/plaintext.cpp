#include "platform/plaintext.h"

namespace kest {

QString singleLine(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        switch (c.category()) {
        case QChar::Other_Control:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            c = u' ';
            break;
        default:
            break;
        }
    }
    return out;
}

} // namespace kest
