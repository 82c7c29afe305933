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

QString plainToolTip(const QString& text)
{
    if (text.isEmpty())
        return {};
    // Rich text wraps at the tip's width; a title stays on its one line.
    return QStringLiteral("<p style=\"white-space:pre\">") + singleLine(text).toHtmlEscaped()
        + QStringLiteral("</p>");
}

} // namespace kest
