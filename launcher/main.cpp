#include "platform/deploy.h"
#include "platform/eventlog.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    kest::setEventLogIdent(QStringLiteral("kest"));
    return 0;
}
