#include "lotteryapp.h"
#include "qttranslations.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvanta抽奖软件"));
    installQtTranslations(app);
    LotteryApp windows;
    windows.start();
    return QApplication::exec();
}
