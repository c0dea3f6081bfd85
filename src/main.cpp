#include "lotteryapp.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvanta抽奖软件"));
    LotteryApp windows;
    windows.start();
    return QApplication::exec();
}
