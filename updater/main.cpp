#include "platform/eventlog.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    kest::setEventLogIdent(QStringLiteral("Update"));
    // Without an install folder and launcher on the command line there is
    // nothing to update: the updater was started by hand.
    if (app.arguments().size() < 2)
        return 0;
    return 0;
}
