#include "apppaths.h"
#include "dialogs.h"
#include "instancelock.h"
#include "lotteryapp.h"
#include "qttranslations.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvanta抽奖软件"));
    installQtTranslations(app);
    // One event folder, one running program: a second one would overwrite the first one's results.
    InstanceLock lock(AppPaths::folder());
    if (lock.acquire() == InstanceLock::Result::Held) {
        Dialogs::instance().message(Dialogs::Icon::Warning, Dialogs::kProgramCaption,
                                    InstanceLock::heldMessage(lock.folder()));
        return 1;
    }
    LotteryApp windows;
    windows.start();
    return QApplication::exec();
}
